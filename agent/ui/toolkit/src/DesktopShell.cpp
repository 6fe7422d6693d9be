#include "DesktopShell.h"

#include <windows.h>

#include <exdisp.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "Lumen/LogManager.h"
#include "ScopedCom.h"
#include "ShellAddress.h"

namespace Lumen {

namespace {

// COM for the length of one call, when the thread has none yet.
class ComScope {
public:
    ComScope() : hr_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope()
    {
        if (SUCCEEDED(hr_)) ::CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT hr_;
};

class ScopedVariant {
public:
    ScopedVariant() { ::VariantInit(&v_); }
    ~ScopedVariant() { ::VariantClear(&v_); }
    ScopedVariant(const ScopedVariant&) = delete;
    ScopedVariant& operator=(const ScopedVariant&) = delete;
    VARIANT* Get() { return &v_; }
    VARIANT& Ref() { return v_; }

private:
    VARIANT v_;
};

// The desktop folder view's shell object (IShellDispatch2), or null with
// the failing step's result in *hr (S_FALSE: no desktop window).
ScopedCom<IShellDispatch2> FindDesktopDispatch(HRESULT* hr)
{
    IShellWindows* rawWindows = nullptr;
    *hr = ::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_ALL, IID_IShellWindows,
                             reinterpret_cast<void**>(&rawWindows));
    ScopedCom<IShellWindows> windows(SUCCEEDED(*hr) ? rawWindows : nullptr);
    if (!windows) return {};

    ScopedVariant location;
    location.Ref().vt = VT_I4;
    location.Ref().lVal = CSIDL_DESKTOP;
    ScopedVariant root;
    LONG desktopHwnd = 0;
    IDispatch* rawDesktop = nullptr;
    *hr = windows.Get()->FindWindowSW(location.Get(), root.Get(), SWC_DESKTOP, &desktopHwnd, SWFO_NEEDDISPATCH,
                                      &rawDesktop);
    ScopedCom<IDispatch> desktop(*hr == S_OK ? rawDesktop : nullptr);
    if (*hr != S_OK && rawDesktop != nullptr) rawDesktop->Release();
    if (!desktop) {
        if (SUCCEEDED(*hr)) *hr = S_FALSE;
        return {};
    }

    auto provider = QueryCom<IServiceProvider>(desktop.Get(), IID_IServiceProvider);
    IShellBrowser* rawBrowser = nullptr;
    *hr = provider ? provider.Get()->QueryService(SID_STopLevelBrowser, IID_IShellBrowser,
                                                  reinterpret_cast<void**>(&rawBrowser))
                   : E_NOINTERFACE;
    ScopedCom<IShellBrowser> browser(SUCCEEDED(*hr) ? rawBrowser : nullptr);
    if (!browser) return {};

    IShellView* rawView = nullptr;
    *hr = browser.Get()->QueryActiveShellView(&rawView);
    ScopedCom<IShellView> view(SUCCEEDED(*hr) ? rawView : nullptr);
    if (!view) return {};

    IDispatch* rawBackground = nullptr;
    *hr = view.Get()->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, reinterpret_cast<void**>(&rawBackground));
    ScopedCom<IDispatch> background(SUCCEEDED(*hr) ? rawBackground : nullptr);
    if (!background) return {};

    auto folderView = QueryCom<IShellFolderViewDual>(background.Get(), IID_IShellFolderViewDual);
    IDispatch* rawApplication = nullptr;
    *hr = folderView ? folderView.Get()->get_Application(&rawApplication) : E_NOINTERFACE;
    ScopedCom<IDispatch> application(SUCCEEDED(*hr) ? rawApplication : nullptr);
    if (!application) return {};

    auto dispatch = QueryCom<IShellDispatch2>(application.Get(), IID_IShellDispatch2);
    if (!dispatch) *hr = E_NOINTERFACE;
    return dispatch;
}

// The address as the log shows it: controls replaced, long ones cut.
std::wstring Printable(const std::wstring& address)
{
    std::wstring shown = address.substr(0, 300);
    for (auto& c : shown) {
        if (c < 0x20 || c == 0x7F) c = L'?';
    }
    return address.size() > shown.size() ? shown + L"..." : shown;
}

}  // namespace

bool DesktopShell::Open(const std::wstring& address)
{
    auto* log = LogManager::GetInstance();
    if (!ShellAddress::IsOpenable(address)) {
        log->Error(L"[%s, %d] 열 수 없는 주소입니다 (http, https, mailto만 엽니다) : %s", L"DesktopShell::Open",
                   __LINE__, Printable(address).c_str());
        return false;
    }
    ComScope com;
    HRESULT hr = S_OK;
    ScopedCom<IShellDispatch2> shell = FindDesktopDispatch(&hr);
    if (!shell) {
        log->Error(L"[%s, %d] 데스크톱 셸이 없어 주소를 열지 않았습니다 (hr 0x%08x) : %s", L"DesktopShell::Open",
                   __LINE__, static_cast<unsigned>(hr), Printable(address).c_str());
        return false;
    }
    BSTR file = ::SysAllocStringLen(address.data(), static_cast<UINT>(address.size()));
    if (file == nullptr) return false;
    ScopedVariant arguments;
    ScopedVariant folder;
    ScopedVariant operation;
    operation.Ref().vt = VT_BSTR;
    operation.Ref().bstrVal = ::SysAllocString(L"open");
    ScopedVariant show;
    show.Ref().vt = VT_I4;
    show.Ref().lVal = SW_SHOWNORMAL;
    hr = operation.Ref().bstrVal != nullptr
             ? shell.Get()->ShellExecute(file, arguments.Ref(), folder.Ref(), operation.Ref(), show.Ref())
             : E_OUTOFMEMORY;
    ::SysFreeString(file);
    if (FAILED(hr)) {
        log->Error(L"[%s, %d] 셸이 주소를 열지 못했습니다 (hr 0x%08x) : %s", L"DesktopShell::Open", __LINE__,
                   static_cast<unsigned>(hr), Printable(address).c_str());
        return false;
    }
    log->Info(L"[%s, %d] 셸로 주소를 열었습니다 : %s", L"DesktopShell::Open", __LINE__, Printable(address).c_str());
    return true;
}

}  // namespace Lumen
