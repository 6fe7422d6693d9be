#include "ConfigManager.h"

#include <windows.h>
#include <objbase.h>
#include <wbemidl.h>

#include <json/json.h>

#include <algorithm>
#include <memory>
#include <sstream>

#include "ConfigDocument.h"
#include "MachinePassphrase.h"
#include "Lumen/AES.h"
#include "Lumen/FileUtils.h"
#include "Lumen/LogManager.h"
#include "Lumen/PathUtils.h"
#include "Lumen/ScopedLock.h"
#include "Lumen/StringUtils.h"

using Lumen::LogManager;
using Lumen::ScopedLock;
using Lumen::Utf8ToWide;
using Lumen::WideToUtf8;

namespace {

ConfigManager* g_instance = nullptr;

template <typename T>
struct ComReleaser {
    void operator()(T* p) const
    {
        if (p != nullptr) p->Release();
    }
};
template <typename T>
using ComPtr = std::unique_ptr<T, ComReleaser<T>>;

void LogLoadError(int line, const std::wstring& detail)
{
    LogManager::GetInstance()->Error(L"[%s, %d] 환경설정 로딩에 실패했습니다. (%s)", L"ConfigManager::LoadConfig", line,
                                     detail.c_str());
}

void LogSaveError(int line, const std::wstring& detail)
{
    LogManager::GetInstance()->Error(L"[%s, %d] 환경설정 저장에 실패했습니다. (%s)", L"ConfigManager::SaveConfig", line,
                                     detail.c_str());
}

// Creates the folder and any missing parents.
void CreateFolders(const std::wstring& folder)
{
    if (folder.empty() || ::GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES) return;
    std::wstring trimmed = folder;
    while (!trimmed.empty() && trimmed.back() == L'\\') trimmed.pop_back();
    const size_t slash = trimmed.rfind(L'\\');
    if (slash != std::wstring::npos) CreateFolders(trimmed.substr(0, slash + 1));
    ::CreateDirectoryW(trimmed.c_str(), nullptr);
}

// Writes `bytes` to a new file beside `path` and moves it over `path` in one
// step. Returns a description of the failure, or "" on success.
std::wstring ReplaceFileContents(const std::wstring& path, const unsigned char* bytes, DWORD length)
{
    const std::wstring temporary = path + L".tmp";
    HANDLE file = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return Lumen::FormatWide(L"file open error : %d", static_cast<int>(::GetLastError()));
    DWORD written = 0;
    const BOOL wrote = ::WriteFile(file, bytes, length, &written, nullptr) && written == length;
    const DWORD writeError = ::GetLastError();
    const BOOL flushed = wrote && ::FlushFileBuffers(file);
    ::CloseHandle(file);
    if (!wrote || !flushed) {
        ::DeleteFileW(temporary.c_str());
        return Lumen::FormatWide(L"file write error : %d", static_cast<int>(writeError));
    }
    if (!::MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = ::GetLastError();
        ::DeleteFileW(temporary.c_str());
        return Lumen::FormatWide(L"file replace error : %d", static_cast<int>(error));
    }
    return {};
}

}  // namespace

// The read that PrefetchMachinePassphrase starts, for the process's store.
static MachinePassphrase g_passphrase([](const std::function<bool()>& beforeQuery) {
    return ConfigManager::ReadMachinePassphrase(beforeQuery);
});

ConfigManager* ConfigManager::GetInstance()
{
    if (g_instance == nullptr) g_instance = new ConfigManager(DefaultFilePath(), [] { return g_passphrase.Get(); });
    return g_instance;
}

void ConfigManager::PrefetchMachinePassphrase()
{
    if (Lumen::FileExists(DefaultFilePath())) g_passphrase.Start(true);
}

void ConfigManager::ReleaseMachinePassphrase()
{
    g_passphrase.Start(true);  // nothing when started already
    g_passphrase.Release();
}

void ConfigManager::DestroyInstance()
{
    delete g_instance;
    g_instance = nullptr;
}

ConfigManager::ConfigManager(std::wstring filePath, std::string passphrase)
    : filePath_(std::move(filePath)), passphrase_(std::move(passphrase))
{
}

ConfigManager::ConfigManager(std::wstring filePath, std::function<std::string()> passphraseSource)
    : filePath_(std::move(filePath)), passphraseSource_(std::move(passphraseSource))
{
}

const std::string& ConfigManager::Passphrase()
{
    std::call_once(passphraseTaken_, [this] {
        if (passphraseSource_) passphrase_ = passphraseSource_();
        passphraseSource_ = nullptr;
    });
    return passphrase_;
}

std::wstring ConfigManager::DefaultFilePath()
{
    return Lumen::JoinPath(Lumen::GetModuleDirectory(), L"config\\config.cfg");
}

std::string ConfigManager::ReadMachinePassphrase(const std::function<bool()>& beforeQuery)
{
    if (FAILED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return {};
    std::wstring serial;
    {
        ComPtr<IWbemLocator> locator;
        ComPtr<IWbemServices> services;
        ComPtr<IEnumWbemClassObject> results;
        HRESULT hr = ::CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                                            RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
        // Set already (by COM itself, or by something else in the process):
        // the levels the query needs are set on its own proxy below.
        if (hr == RPC_E_TOO_LATE) hr = S_OK;
        // The process's security is set from here on; the costly query may wait.
        if (SUCCEEDED(hr) && beforeQuery && !beforeQuery()) hr = E_ABORT;
        IWbemLocator* rawLocator = nullptr;
        if (SUCCEEDED(hr))
            hr = ::CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                    reinterpret_cast<void**>(&rawLocator));
        locator.reset(rawLocator);
        IWbemServices* rawServices = nullptr;
        BSTR nameSpace = ::SysAllocString(L"ROOT\\CIMV2");
        if (SUCCEEDED(hr) && locator)
            hr = locator->ConnectServer(nameSpace, nullptr, nullptr, nullptr, 0, nullptr, nullptr, &rawServices);
        ::SysFreeString(nameSpace);
        services.reset(rawServices);
        if (SUCCEEDED(hr) && services)
            hr = ::CoSetProxyBlanket(services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                                     RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
        IEnumWbemClassObject* rawResults = nullptr;
        BSTR language = ::SysAllocString(L"WQL");
        BSTR query = ::SysAllocString(L"SELECT * FROM Win32_BaseBoard");
        if (SUCCEEDED(hr) && services)
            hr = services->ExecQuery(language, query, WBEM_FLAG_RETURN_IMMEDIATELY | WBEM_FLAG_FORWARD_ONLY, nullptr,
                                     &rawResults);
        ::SysFreeString(language);
        ::SysFreeString(query);
        results.reset(rawResults);
        while (SUCCEEDED(hr) && results) {
            IWbemClassObject* rawObject = nullptr;
            ULONG returned = 0;
            if (FAILED(results->Next(WBEM_INFINITE, 1, &rawObject, &returned)) || returned == 0) break;
            ComPtr<IWbemClassObject> object(rawObject);
            VARIANT value;
            ::VariantInit(&value);
            const bool found = SUCCEEDED(object->Get(L"SerialNumber", 0, &value, nullptr, nullptr)) &&
                               value.vt == VT_BSTR && value.bstrVal != nullptr;
            if (found) serial = value.bstrVal;
            ::VariantClear(&value);
            if (found) break;
        }
    }
    ::CoUninitialize();
    return WideToUtf8(serial);
}

void ConfigManager::LoadConfig()
{
    if (::GetFileAttributesW(filePath_.c_str()) == INVALID_FILE_ATTRIBUTES) return;
    std::string content;
    if (!Lumen::ReadWholeFile(filePath_, content)) {
        LogLoadError(__LINE__, Lumen::FormatWide(L"file read error : %d", static_cast<int>(::GetLastError())));
        return;
    }
    Lumen::AES aes;
    if (!aes.Init(Passphrase())) {
        LogLoadError(__LINE__, L"Crypt 모듈 초기화 오류");
        return;
    }
    int length = static_cast<int>(content.size());
    Lumen::AESImpl::Buffer buffer(new unsigned char[content.size() + 1], std::default_delete<unsigned char[]>());
    std::copy(content.begin(), content.end(), buffer.get());
    if (aes.GetImpl()->Decrypt(buffer, length) != 0) {
        LogLoadError(__LINE__, L"환경설정 복호화 오류");
        return;
    }

    ConfigValues values;
    std::string error;
    if (!ParseConfigDocument(reinterpret_cast<const char*>(buffer.get()), static_cast<size_t>(length), &values,
                             &error)) {
        LogLoadError(__LINE__, L"환경 설정 parsing 오류");
        return;
    }
    // Each value read is stored, also when a later one was bad.
    if (values.userId) SetUserId(*values.userId);
    if (values.password) SetPassword(*values.password);
    if (values.autoLogin) SetAutoLogin(*values.autoLogin);
    if (values.installing) SetInstalling(*values.installing);
    if (values.testMode) SetTestMode(*values.testMode);
    if (values.notice) {
        ScopedLock lock(&lock_);
        settings_.notice = *values.notice;
    }
    if (!error.empty()) LogLoadError(__LINE__, Utf8ToWide(error));
}

void ConfigManager::SaveConfig()
{
    try {
        CreateFolders(Lumen::DirectoryOf(filePath_));

        Settings copy;
        {
            ScopedLock lock(&lock_);
            copy = settings_;
        }
        Json::Value root(Json::objectValue);
        root["id"] = WideToUtf8(copy.userId);
        root["password"] = WideToUtf8(copy.password);
        root["isAutoLogin"] = copy.autoLogin;
        root["isInstalling"] = copy.installing;
        root["isTestMode"] = copy.testMode;
        Json::Value notice(Json::objectValue);
        notice["title"] = WideToUtf8(copy.notice.title);
        notice["body"] = WideToUtf8(copy.notice.body);
        notice["id"] = static_cast<Json::Int64>(copy.notice.id);
        notice["date"] = WideToUtf8(copy.notice.date);
        root["notice"] = notice;
        const std::string text = Json::writeString(Json::StreamWriterBuilder(), root);

        Lumen::AES aes;
        if (!aes.Init(Passphrase())) {
            LogSaveError(__LINE__, L"Crypt 모듈 초기화 오류");
            return;
        }
        int length = static_cast<int>(text.size());
        Lumen::AESImpl::Buffer buffer(new unsigned char[text.size() + 1], std::default_delete<unsigned char[]>());
        std::copy(text.begin(), text.end(), buffer.get());
        if (aes.GetImpl()->Encrypt(buffer, length) != 0) {
            LogSaveError(__LINE__, L"환경설정 암호화 오류");
            return;
        }
        const std::wstring failure = ReplaceFileContents(filePath_, buffer.get(), static_cast<DWORD>(length));
        if (!failure.empty()) LogSaveError(__LINE__, failure);
    } catch (const std::exception& e) {
        LogSaveError(__LINE__, Utf8ToWide(e.what()));
    }
}

#define PAVO_CONFIG_ACCESSORS(Type, Getter, Setter, field) \
    Type ConfigManager::Getter()                           \
    {                                                      \
        ScopedLock lock(&lock_);                           \
        return settings_.field;                            \
    }                                                      \
    void ConfigManager::Setter(const Type& value)          \
    {                                                      \
        ScopedLock lock(&lock_);                           \
        settings_.field = value;                           \
    }

std::wstring ConfigManager::GetCustomerId()
{
    ScopedLock lock(&lock_);
    return settings_.customerId;
}

std::wstring ConfigManager::GetCustomerName()
{
    ScopedLock lock(&lock_);
    return settings_.customerName;
}

std::wstring ConfigManager::GetCompanyName()
{
    ScopedLock lock(&lock_);
    return settings_.companyName;
}

void ConfigManager::SetCustomerInfo(const std::wstring& customerId, const std::wstring& customerName,
                                    const std::wstring& companyName)
{
    {
        ScopedLock lock(&lock_);
        settings_.customerId = customerId;
        settings_.customerName = customerName;
        settings_.companyName = companyName;
    }
    Notify(IConfigChangeHandler::kCustomerChanged);
}

bool ConfigManager::IsTestMode()
{
    ScopedLock lock(&lock_);
    return settings_.testMode;
}

void ConfigManager::SetTestMode(bool value)
{
    ScopedLock lock(&lock_);
    settings_.testMode = value;
}

bool ConfigManager::IsAutoLogin()
{
    ScopedLock lock(&lock_);
    return settings_.autoLogin;
}

void ConfigManager::SetAutoLogin(bool value)
{
    ScopedLock lock(&lock_);
    settings_.autoLogin = value;
}

PAVO_CONFIG_ACCESSORS(std::wstring, GetUserId, SetUserId, userId)
PAVO_CONFIG_ACCESSORS(std::wstring, GetPassword, SetPassword, password)

#undef PAVO_CONFIG_ACCESSORS

bool ConfigManager::IsInstalling()
{
    ScopedLock lock(&lock_);
    return settings_.installing;
}

void ConfigManager::SetInstalling(bool value)
{
    ScopedLock lock(&lock_);
    settings_.installing = value;
}

NOTICE_INFO ConfigManager::GetNotice()
{
    ScopedLock lock(&lock_);
    return settings_.notice;
}

void ConfigManager::SetNotice(const NOTICE_INFO& notice)
{
    bool changed = false;
    {
        ScopedLock lock(&lock_);
        if (notice.id != settings_.notice.id) {
            settings_.notice = notice;
            changed = true;
        }
    }
    if (changed) Notify(IConfigChangeHandler::kNoticeChanged);
}

void ConfigManager::RegisterChangeHandler(IConfigChangeHandler* handler)
{
    ScopedLock lock(&lock_);
    if (std::find(handlers_.begin(), handlers_.end(), handler) == handlers_.end()) handlers_.push_back(handler);
}

std::vector<IConfigChangeHandler*> ConfigManager::HandlersCopy()
{
    ScopedLock lock(&lock_);
    return handlers_;
}

void ConfigManager::Notify(int kind)
{
    // Called with the lock released: a handler may read the settings.
    for (IConfigChangeHandler* handler : HandlersCopy()) handler->OnConfigChanged(kind);
}
