#include "LocalFileBlock.h"

#include <windows.h>

#include <urlmon.h>

#include <string>

#include "Lumen/LogManager.h"
#include "ScopedCom.h"

namespace Lumen {

const wchar_t* const LocalFileBlock::kProtocols[] = {L"file", L"its", L"ms-its", L"mk"};
const int LocalFileBlock::kProtocolCount = 4;

namespace {

// {d94893bf-f2ff-4b20-af04-a75d1c4d9495}: names the refusing handler to urlmon.
const CLSID kRefusingProtocolClsid = {0xd94893bf, 0xf2ff, 0x4b20, {0xaf, 0x04, 0xa7, 0x5d, 0x1c, 0x4d, 0x94, 0x95}};

std::wstring Printable(const wchar_t* url)
{
    std::wstring shown = url != nullptr ? std::wstring(url).substr(0, 300) : std::wstring();
    for (auto& c : shown) {
        if (c < 0x20 || c == 0x7F) c = L'?';
    }
    return shown;
}

// A protocol that starts nothing.
class RefusingProtocol : public IInternetProtocol {
public:
    virtual ~RefusingProtocol() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IInternetProtocolRoot) &&
            !IsEqualIID(riid, IID_IInternetProtocol)) {
            return E_NOINTERFACE;
        }
        *object = static_cast<IInternetProtocol*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG left = ::InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }
    HRESULT STDMETHODCALLTYPE Start(LPCWSTR url, IInternetProtocolSink*, IInternetBindInfo*, DWORD, HANDLE_PTR) override
    {
        LogManager::GetInstance()->Info(L"[%s, %d] 파일 경로의 내용은 가져오지 않습니다 : %s", L"LocalFileBlock",
                                        __LINE__, Printable(url).c_str());
        return INET_E_INVALID_URL;
    }
    HRESULT STDMETHODCALLTYPE Continue(PROTOCOLDATA*) override { return E_UNEXPECTED; }
    HRESULT STDMETHODCALLTYPE Abort(HRESULT, DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Terminate(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Suspend() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Resume() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Read(void*, ULONG, ULONG* read) override
    {
        if (read != nullptr) *read = 0;
        return INET_E_DOWNLOAD_FAILURE;
    }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_FAIL; }
    HRESULT STDMETHODCALLTYPE LockRequest(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE UnlockRequest() override { return S_OK; }

private:
    LONG refs_ = 1;
};

class RefusingFactory : public IClassFactory {
public:
    virtual ~RefusingFactory() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory)) return E_NOINTERFACE;
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG left = ::InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override
    {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        // urlmon asks again without aggregation.
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        auto* protocol = new RefusingProtocol();
        const HRESULT hr = protocol->QueryInterface(riid, object);
        protocol->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    LONG refs_ = 1;
};

// The registration shared by all live instances.
int g_users = 0;
IClassFactory* g_factory = nullptr;

}  // namespace

LocalFileBlock::LocalFileBlock()
{
    if (g_users > 0) {
        ++g_users;
        active_ = true;
        return;
    }
    IInternetSession* rawSession = nullptr;
    HRESULT hr = ::CoInternetGetSession(0, &rawSession, 0);
    ScopedCom<IInternetSession> session(SUCCEEDED(hr) ? rawSession : nullptr);
    if (!session) {
        LogManager::GetInstance()->Error(L"[%s, %d] 파일 경로 차단을 등록하지 못했습니다, hr : 0x%08x", L"LocalFileBlock",
                                         __LINE__, static_cast<unsigned>(hr));
        return;
    }
    auto* factory = new RefusingFactory();
    int registered = 0;
    for (int i = 0; i < kProtocolCount; ++i) {
        hr = session.Get()->RegisterNameSpace(factory, kRefusingProtocolClsid, kProtocols[i], 0, nullptr, 0);
        if (FAILED(hr)) break;
        ++registered;
    }
    if (registered < kProtocolCount) {
        LogManager::GetInstance()->Error(L"[%s, %d] 파일 경로 차단을 등록하지 못했습니다, hr : 0x%08x", L"LocalFileBlock",
                                         __LINE__, static_cast<unsigned>(hr));
        for (int i = 0; i < registered; ++i) session.Get()->UnregisterNameSpace(factory, kProtocols[i]);
        factory->Release();
        return;
    }
    g_factory = factory;
    g_users = 1;
    active_ = true;
}

LocalFileBlock::~LocalFileBlock()
{
    if (!active_ || --g_users > 0) return;
    IInternetSession* rawSession = nullptr;
    if (SUCCEEDED(::CoInternetGetSession(0, &rawSession, 0)) && rawSession != nullptr) {
        ScopedCom<IInternetSession> session(rawSession);
        for (int i = 0; i < kProtocolCount; ++i) session.Get()->UnregisterNameSpace(g_factory, kProtocols[i]);
    }
    g_factory->Release();
    g_factory = nullptr;
}

}  // namespace Lumen
