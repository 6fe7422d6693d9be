#include "PackageManager.h"

#include <windows.h>
#include <sddl.h>
#include <shellapi.h>

#include <cwchar>

#include "AuthenticodeSigner.h"
#include "BodyMasking.h"
#include "ConfigManager.h"
#include "FormPost.h"
#include "HttpClient.h"
#include "Lumen/FileUtils.h"
#include "Lumen/LogManager.h"
#include "Lumen/PathUtils.h"
#include "Lumen/SessionUtils.h"
#include "Lumen/StringUtils.h"
#include "Lumen/UniqueHandle.h"
#include "PackageRules.h"
#include "ResourceManager.h"
#include "ResultCode.h"
#include "SessionManager.h"
#include "Sha256.h"

using Lumen::LogManager;
using Lumen::ScopedHandle;
using Lumen::ScopedServiceHandle;
using Lumen::Utf8ToWide;
using Lumen::WideToUtf8;

namespace {

constexpr const wchar_t* kInspectionFolder = L"inspection_data";
constexpr const wchar_t* kInspectionFile = L"inspection_data.json";
constexpr const wchar_t* kInstallerInfoFile = L"additional_installer_info.json";
constexpr const wchar_t* kDownloadFolder = L"PavoAgent_download";
constexpr DWORD kTempPathLength = 520;
constexpr int kAppearTries = 10;
constexpr DWORD kAppearIntervalMs = 500;
constexpr size_t kHashPieceSize = 1024 * 1024;

struct LocalMemoryTraits {
    using Type = HLOCAL;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr; }
    static void Close(Type h) noexcept { ::LocalFree(h); }
};
using ScopedLocalMemory = Lumen::UniqueHandle<LocalMemoryTraits>;

// Full control for SYSTEM and the Administrators, inherited by everything
// inside; nothing is inherited from the user's temporary folder, which the
// user's unelevated programs can write.
constexpr const wchar_t* kDownloadFolderSddl = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

// Opens a file or folder itself (a reparse point is not followed) and keeps it
// from being renamed or deleted while the handle is open.
ScopedHandle HoldEntry(const std::wstring& path)
{
    return ScopedHandle(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                      nullptr));
}

bool IsPlainFolder(HANDLE held)
{
    BY_HANDLE_FILE_INFORMATION information = {};
    if (!::GetFileInformationByHandle(held, &information)) return false;
    return (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
           (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

// A junction or symbolic link goes itself; its target is never touched.
void RemoveLink(const std::wstring& path, DWORD attributes)
{
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        ::RemoveDirectoryW(path.c_str());
    else
        ::DeleteFileW(path.c_str());
}

// Deletes a folder with everything in it; errors are ignored. Reparse points
// are removed, never followed: a junction planted in the folder must not make
// the elevated agent delete another folder's contents. Each folder is held
// open while its contents go, so it cannot be swapped for a link meanwhile.
void DeleteTree(const std::wstring& folder)
{
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        RemoveLink(folder, attributes);
        return;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ::SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(folder.c_str());
        return;
    }
    {
        ScopedHandle held = HoldEntry(folder);
        if (!held || !IsPlainFolder(held.Get())) {
            held.Reset();
            ::RemoveDirectoryW(folder.c_str());
            return;
        }
        WIN32_FIND_DATAW entry = {};
        Lumen::ScopedFindHandle find(::FindFirstFileW(Lumen::JoinPath(folder, L"*").c_str(), &entry));
        if (find) {
            do {
                const std::wstring name = entry.cFileName;
                if (name == L"." || name == L"..") continue;
                const std::wstring path = Lumen::JoinPath(folder, name);
                if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                    RemoveLink(path, entry.dwFileAttributes);
                } else if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    DeleteTree(path);
                } else {
                    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                    ::DeleteFileW(path.c_str());
                }
            } while (::FindNextFileW(find.Get(), &entry));
        }
    }
    // A link put here after the handle closed is removed as a link.
    ::RemoveDirectoryW(folder.c_str());
}

// Creates the download folder so that only SYSTEM and the Administrators can
// write it, and holds it open against renaming until the installer has
// started. Fails when the name exists already: a folder that could not be
// deleted, or one planted meanwhile, is not the agent's own.
ScopedHandle CreatePrivateFolder(const std::wstring& folder, DWORD* error)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kDownloadFolderSddl, SDDL_REVISION_1, &descriptor,
                                                                nullptr)) {
        *error = ::GetLastError();
        return ScopedHandle();
    }
    const ScopedLocalMemory descriptorOwner(descriptor);
    SECURITY_ATTRIBUTES attributes = {};
    attributes.nLength = sizeof(attributes);
    attributes.lpSecurityDescriptor = descriptor;
    attributes.bInheritHandle = FALSE;
    if (!::CreateDirectoryW(folder.c_str(), &attributes)) {
        *error = ::GetLastError();
        return ScopedHandle();
    }
    ScopedHandle held = HoldEntry(folder);
    if (!held) {
        *error = ::GetLastError();
        return ScopedHandle();
    }
    if (!IsPlainFolder(held.Get())) {
        *error = ERROR_REPARSE_ATTRIBUTE_CONFLICT;
        return ScopedHandle();
    }
    return held;
}

// The SHA-256 of the file behind `file`, read from its start; "" on a read error.
std::string HashHeldFile(HANDLE file)
{
    LARGE_INTEGER start = {};
    if (!::SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return {};
    Sha256 hash;
    std::vector<char> buffer(kHashPieceSize);
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) return {};
        if (read == 0) break;
        if (!hash.Update(buffer.data(), read)) return {};
    }
    return hash.Hex();
}

bool IsSuccessStatus(const std::wstring& status)
{
    const int code = _wtoi(status.c_str());
    return code >= 200 && code <= 299;
}

}  // namespace

PackageManager::PackageManager() : dataDirectory_(Lumen::GetModuleDirectory())
{
    Reset();
}

PackageManager::~PackageManager() = default;

void PackageManager::SetSessionManager(SessionManager* sessionManager)
{
    sessionManager_ = sessionManager;
    ResourceManager* resources = ResourceManager::GetInstance();
    const std::wstring host = resources->GetString(L"Pavo_HOST_URL");
    licenseUrl_ = host + resources->GetString(L"SUB_URL_GET_LICENSE");
    licenseStatusUrl_ = host + resources->GetString(L"SUB_URL_SET_LICENSE_STATUS");
}

void PackageManager::Reset()
{
    products_.clear();
    sessionManager_ = nullptr;
    lastCheckResult_ = AgentResult::kFailed;
}

std::wstring PackageManager::InspectionPath(const wchar_t* fileName) const
{
    return Lumen::JoinPath(Lumen::JoinPath(dataDirectory_, kInspectionFolder), fileName);
}

int PackageManager::PostToServer(const wchar_t* function, const std::wstring& url,
                                 const std::vector<std::pair<std::wstring, std::string>>& fields, std::wstring* body)
{
    if (!PostForm(url, fields, body)) {
        LogManager::GetInstance()->Error(L"[%s, %d] 서버 접속에 실패했습니다. result : %d", function, __LINE__,
                                         AgentResult::kFailed);
        return AgentResult::kFailed;
    }
    return AgentResult::kOk;
}

int PackageManager::GetLicense()
{
    // Without a session there is no token to send.
    if (sessionManager_ == nullptr) return AgentResult::kFailed;
    std::wstring body;
    int result = PostToServer(L"PackageManager::GetLicense", licenseUrl_, {{L"token", sessionManager_->GetToken()}},
                              &body);
    if (result < 0) return result;
    PackageRules::LicenseData data;
    result = PackageRules::ParseLicense(WideToUtf8(body), &data);
    // Products read before a fault stay, as the server sent them.
    products_.insert(products_.end(), data.products.begin(), data.products.end());
    listedSha256_ = data.sha256;
    if (result < 0) {
        LogManager::GetInstance()->Error(L"[%s, %d] 응답 데이터 파싱 에러. result : %d", L"PackageManager::GetLicense",
                                         __LINE__, result);
        LogManager::GetInstance()->Error(L"%s", MaskSecretMembers(body).c_str());
        return result;
    }
    customerId_ = data.customerId;
    customerName_ = data.customerName;
    coNm_ = data.coNm;
    return result;
}

int PackageManager::SetLicenseStatus()
{
    if (sessionManager_ == nullptr) return AgentResult::kFailed;
    std::wstring body;
    int result = PostToServer(
        L"PackageManager::SetLicenseStatus", licenseStatusUrl_,
        {{L"token", sessionManager_->GetToken()}, {L"LicenseList", PackageRules::MakeLicenseList(products_)}}, &body);
    if (result < 0) return result;
    result = PackageRules::ParseLicenseStatus(WideToUtf8(body));
    if (result < 0) {
        LogManager::GetInstance()->Error(L"[%s, %d] 응답 데이터 파싱 에러. result : %d",
                                         L"PackageManager::SetLicenseStatus", __LINE__, result);
        LogManager::GetInstance()->Error(L"%s", MaskSecretMembers(body).c_str());
    }
    return result;
}

int PackageManager::LoadInspectionData()
{
    inspectionData_ = Json::Value();
    const std::wstring path = InspectionPath(kInspectionFile);
    if (!Lumen::FileExists(path)) return AgentResult::kNoInspectionData;
    std::string text, error;
    Json::Value root;
    if (!Lumen::ReadWholeFile(path, text)) {
        error = "cannot read " + WideToUtf8(path);
    } else if (PackageRules::ParseJsonText(text, &root, &error) && PackageRules::ValidateRules(root, &error)) {
        inspectionData_ = root;
        return AgentResult::kOk;
    }
    LogManager::GetInstance()->Error(L"[%s, %d] 점검항목 데이터 로딩에 실패했습니다. (%s)",
                                     L"PackageManager::LoadInspectionData", __LINE__, Utf8ToWide(error).c_str());
    return AgentResult::kFailed;
}

int PackageManager::LoadInstallerInfoEx()
{
    installerInfo_.clear();
    installerPins_.clear();
    const std::wstring path = InspectionPath(kInstallerInfoFile);
    if (!Lumen::FileExists(path)) return AgentResult::kNoInspectionData;
    std::string text, error;
    Json::Value root;
    if (!Lumen::ReadWholeFile(path, text)) {
        error = "cannot read " + WideToUtf8(path);
    } else if (!PackageRules::ParseJsonText(text, &root, &error)) {
        // error holds the parser's message
    } else if (!root.isNull() && !root.isObject()) {
        error = "the root is not an object";
    } else {
        for (const PRODUCT_INFO& product : products_) {
            Json::Value member(Json::objectValue);
            const std::string code = WideToUtf8(product.productCode);
            if (root.isMember(code)) member[code] = root[code];
            if (!PackageRules::ValidateRules(member, &error)) break;
            TrustRules::InstallerPins pins;
            if (!TrustRules::InstallerPinsFor(root, product.productCode, &pins, &error)) break;
            installerInfo_[product.productCode] = PackageRules::InstallerInfoFor(root, product.productCode);
            installerPins_[product.productCode] = pins;
        }
        if (error.empty()) return AgentResult::kOk;
    }
    LogManager::GetInstance()->Error(L"[%s, %d] 인스톨러 정보 로딩에 실패했습니다. (%s)",
                                     L"PackageManager::LoadInstallerInfoEx", __LINE__, Utf8ToWide(error).c_str());
    return AgentResult::kFailed;
}

bool PackageManager::IsInstalled(const std::wstring& productCode)
{
    if (PackageRules::IsEmptyInspection(inspectionData_)) return false;
    std::vector<std::wstring> services;
    try {
        services = PackageRules::ServiceRulesFor(inspectionData_, productCode);
    } catch (const std::exception&) {
        return false;
    }
    if (services.empty()) return true;
    ScopedServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return false;
    for (const std::wstring& name : services) {
        ScopedServiceHandle service(::OpenServiceW(manager.Get(), name.c_str(), SERVICE_QUERY_STATUS));
        if (!service) return false;
    }
    return true;
}

int PackageManager::CheckProduct(std::vector<PRODUCT_INFO>& productsOut)
{
    lastCheckResult_ = RunProductCheck(productsOut);
    return lastCheckResult_;
}

int PackageManager::RunProductCheck(std::vector<PRODUCT_INFO>& productsOut)
{
    products_.clear();
    listedSha256_.clear();
    customerId_.clear();
    customerName_.clear();
    coNm_.clear();
    int result = GetLicense();
    if (result < 0) return result;
    result = LoadInspectionData();
    if (result < 0) return result;
    result = LoadInstallerInfoEx();
    if (result < 0) return result;
    // A root that is not an object cannot name products: as good as empty.
    if (PackageRules::IsEmptyInspection(inspectionData_) || !inspectionData_.isObject())
        return AgentResult::kNoInspectionData;
    for (PRODUCT_INFO& product : products_) product.installed = IsInstalled(product.productCode);
    result = SetLicenseStatus();
    if (result < 0) return result;
    ConfigManager::GetInstance()->SetCustomerInfo(customerId_, customerName_, coNm_);
    productsOut = products_;
    return AgentResult::kOk;
}

void PackageManager::ReportProgress(InstallProgress::Step step, uint64_t received, uint64_t total, bool hasTotal)
{
    if (!progressSink_) return;
    InstallProgress progress;
    progress.productCode = progressProduct_;
    progress.step = step;
    progress.received = received;
    progress.total = total;
    progress.hasTotal = hasTotal;
    progress.index = progressIndex_;
    progress.count = progressCount_;
    progressSink_(progress);
}

std::wstring PackageManager::DownloadDirectory()
{
    wchar_t buffer[kTempPathLength] = {};
    const DWORD length = ::GetTempPathW(kTempPathLength, buffer);
    if (length == 0 || length >= kTempPathLength) return {};
    return Lumen::JoinPath(buffer, kDownloadFolder);
}

bool PackageManager::IsNativeX64()
{
    using GetNativeSystemInfoFn = void(WINAPI*)(LPSYSTEM_INFO);
    SYSTEM_INFO info = {};
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    auto getNative = kernel != nullptr ? reinterpret_cast<GetNativeSystemInfoFn>(
                                             reinterpret_cast<void*>(::GetProcAddress(kernel, "GetNativeSystemInfo")))
                                       : nullptr;
    if (getNative != nullptr)
        getNative(&info);
    else
        ::GetSystemInfo(&info);
    return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
}

int PackageManager::DownloadUrl(const PRODUCT_INFO& product)
{
    // Installed states from a failed check are not known: nothing is installed
    // on their strength.
    if (lastCheckResult_ < 0) return lastCheckResult_;
    // The name comes from the server: one that could leave the download
    // folder or that Windows would take for something else is refused before
    // anything is touched.
    std::wstring fileName;
    const std::wstring folder = DownloadDirectory();
    if (!PackageRules::InstallerFileName(product.url, product.productCode, coNm_, &fileName)) {
        LogManager::GetInstance()->Error(L"[%s, %d] 설치 파일 이름이 올바르지 않습니다. url : %s",
                                         L"PackageManager::DownloadUrl", __LINE__, product.url.c_str());
        return AgentResult::kFailed;
    }
    const std::wstring installerPath = Lumen::JoinPath(folder, fileName);
    progressProduct_ = product.productCode;
    ReportProgress(InstallProgress::Step::Downloading);
    bool downloaded = false;
    // From the download until the installer has started, the folder cannot be
    // renamed and the installer cannot be written, replaced or deleted.
    ScopedHandle folderHold;
    ScopedHandle installerHold;
    if (!folder.empty()) {
        DeleteTree(folder);
        DWORD error = 0;
        folderHold = CreatePrivateFolder(folder, &error);
        if (!folderHold) {
            LogManager::GetInstance()->Error(L"[%s, %d] 다운로드 폴더를 만들지 못했습니다. error : %d",
                                             L"PackageManager::DownloadUrl", __LINE__, static_cast<int>(error));
        } else {
            Lumen::HttpClient client;
            client.SetUserAgent(kAgentUserAgent);
            client.SetUrl(product.url);
            client.SetDownloadPath(installerPath);
            client.SetProgressCallback([this](uint64_t received, uint64_t total, bool hasTotal) {
                ReportProgress(InstallProgress::Step::Downloading, received, total, hasTotal);
            });
            // Any status but 2xx brings an error page, not the installer.
            downloaded = ApplyServerPins(&client) && client.Request(L"GET") && IsSuccessStatus(client.GetStatusCode());
            LogCertificateRejection(client, product.url);
            // The client wrote it without sharing write or delete; from here a
            // read-only hold that shares neither keeps it as it was written.
            if (downloaded) {
                installerHold.Reset(::CreateFileW(installerPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                  OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
                downloaded = installerHold.IsValid();
            }
            // What is checked is what runs: the hold keeps the file as checked.
            if (downloaded && !IsTrustedInstaller(product, installerHold.Get(), installerPath)) {
                installerHold.Reset();
                downloaded = false;
            }
            if (!downloaded) ::DeleteFileW(installerPath.c_str());
        }
    }
    if (!downloaded) {
        LogManager::GetInstance()->Error(L"[%s, %d] 서버 접속에 실패했습니다. result : %d",
                                         L"PackageManager::DownloadUrl", __LINE__, AgentResult::kFailed);
        LogManager::GetInstance()->Error(L"%s", product.url.c_str());
        return AgentResult::kFailed;
    }
    const INSTALLER_INFO& info = installerInfo_[product.productCode];
    return RunInstaller(info, installerPath, [&] {
        installerHold.Reset();
        folderHold.Reset();
        ReportProgress(InstallProgress::Step::Installing);
    });
}

bool PackageManager::IsTrustedInstaller(const PRODUCT_INFO& product, HANDLE held,
                                        const std::wstring& installerPath)
{
    const TrustRules::InstallerPins& pins = installerPins_[product.productCode];
    const std::string& listSha256 = listedSha256_[product.productCode];
    if (pins.sha256.empty() && pins.signers.empty() && listSha256.empty()) return true;

    const std::string actual = HashHeldFile(held);
    TrustRules::SignerCheck signer;
    if (!pins.signers.empty()) signer = AuthenticodeSigner::Check(installerPath, held);
    TrustRules::Mismatch mismatch;
    if (!actual.empty() && TrustRules::CheckInstaller(pins, listSha256, actual, signer, &mismatch)) return true;
    if (actual.empty()) mismatch = {"sha256", "", "the file could not be read"};
    LogManager::GetInstance()->Error(
        L"[%s, %d] 설치 파일 검증에 실패하여 실행하지 않습니다. product : %s, rule : %s, expected : %s, actual : %s",
        L"PackageManager::DownloadUrl", __LINE__, product.productCode.c_str(), Utf8ToWide(mismatch.rule).c_str(),
        Utf8ToWide(mismatch.expected).c_str(), Utf8ToWide(mismatch.actual).c_str());
    return false;
}

int PackageManager::RunInstaller(const INSTALLER_INFO& info, const std::wstring& installerPath,
                                 const std::function<void()>& started)
{
    SHELLEXECUTEINFOW execute = {};
    execute.cbSize = sizeof(execute);
    execute.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    execute.lpVerb = L"runas";
    execute.lpFile = installerPath.c_str();
    execute.nShow = SW_HIDE;
    const BOOL launched = ::ShellExecuteExW(&execute);
    ScopedHandle installer(execute.hProcess);
    if (started) started();
    if (!launched) return AgentResult::kFailed;
    if (installer) ::WaitForSingleObject(installer.Get(), INFINITE);
    installer.Reset();

    const std::wstring list = PackageRules::ChooseProcessList(info, IsNativeX64());
    if (!list.empty() || !info.mutexName.empty()) ReportProgress(InstallProgress::Step::Waiting);
    for (const std::wstring& name : PackageRules::SplitTrimmed(list, L';')) {
        bool found = false;
        for (int attempt = 0; attempt < kAppearTries && !found; ++attempt) {
            ::Sleep(kAppearIntervalMs);
            ScopedHandle process = Lumen::SessionUtils::FindProcessByName(name);
            if (process) {
                ::WaitForSingleObject(process.Get(), INFINITE);
                found = true;
            }
        }
        if (!found) return AgentResult::kFailed;
    }

    if (info.mutexName.empty()) return AgentResult::kOk;
    for (int attempt = 0; attempt < kAppearTries; ++attempt) {
        ::Sleep(kAppearIntervalMs);
        ScopedHandle mutex(::OpenMutexW(MUTEX_ALL_ACCESS, FALSE, info.mutexName.c_str()));
        if (mutex) {
            // An abandoned mutex is ours as well: keeping it would block the next
            // installer that waits for it.
            const DWORD waited = ::WaitForSingleObject(mutex.Get(), INFINITE);
            if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) ::ReleaseMutex(mutex.Get());
            return AgentResult::kOk;
        }
    }
    return AgentResult::kFailed;
}

int PackageManager::InstallAllProduct()
{
    if (lastCheckResult_ < 0) return lastCheckResult_;
    int attempted = 0;
    int missing = 0;
    progressCount_ = 0;
    for (const PRODUCT_INFO& product : products_)
        if (!product.installed) ++progressCount_;
    for (const PRODUCT_INFO& product : products_) {
        if (product.installed) continue;
        ++attempted;
        progressIndex_ = attempted;
        const int result = DownloadUrl(product);
        if (result < 0) {
            progressIndex_ = progressCount_ = 0;
            return result;
        }
        if (!IsInstalled(product.productCode)) ++missing;
    }
    progressIndex_ = progressCount_ = 0;
    return attempted > 0 && missing > 0 ? AgentResult::kInstallIncomplete : AgentResult::kOk;
}
