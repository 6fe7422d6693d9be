#pragma once

#include <windows.h>

#include <json/json.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "InstallProgress.h"
#include "ProductInfo.h"
#include "ResultCode.h"
#include "TrustRules.h"

class SessionManager;

// The customer's products: fetched from the server, checked against the
// inspection rules, reported back, and installed by downloading and running
// their installers. Used only from the agent controller's worker thread; the
// install operations block it for as long as an installer runs.
class PackageManager {
public:
    PackageManager();
    virtual ~PackageManager();
    PackageManager(const PackageManager&) = delete;
    PackageManager& operator=(const PackageManager&) = delete;

    // Stores the session manager (not owned) and builds the two URLs.
    void SetSessionManager(SessionManager* sessionManager);
    // Empties the products, forgets the session manager and the last check.
    void Reset();

    // The product check: list, inspection files, installed states, status
    // report, customer fields to the configuration store. On success the
    // list is copied into `productsOut`. Its result is remembered: after a
    // failed check (or before any) the install operations return it and
    // install nothing.
    int CheckProduct(std::vector<PRODUCT_INFO>& productsOut);
    int GetLicense();
    int SetLicenseStatus();
    int LoadInspectionData();
    int LoadInstallerInfoEx();
    bool IsInstalled(const std::wstring& productCode);
    // Downloads one product's installer into the download folder and runs it
    // when it passes the product's pins; one that fails them is deleted unrun.
    int DownloadUrl(const PRODUCT_INFO& product);
    // `started`, when set, is called once the start of the installer has
    // been tried, before any wait.
    int RunInstaller(const INSTALLER_INFO& info, const std::wstring& installerPath,
                     const std::function<void()>& started = {});
    // Installs every product not installed; stops at the first failure to
    // download or run; -9007 when one is still missing afterwards.
    int InstallAllProduct();

    // Receives the progress of the installations on the worker thread: every
    // downloaded piece and every step. It must return quickly.
    using ProgressSink = std::function<void(const InstallProgress&)>;
    void SetProgressSink(ProgressSink sink) { progressSink_ = std::move(sink); }

    // The folder that holds "inspection_data"; the program folder unless set.
    void SetDataDirectory(const std::wstring& directory) { dataDirectory_ = directory; }
    // "<temp folder>PavoAgent_download"; "" when the temp folder is unknown.
    static std::wstring DownloadDirectory();
    static bool IsNativeX64();

    const std::vector<PRODUCT_INFO>& GetProducts() const { return products_; }
    const std::wstring& GetCompanyName() const { return coNm_; }
    const std::wstring& GetLicenseUrl() const { return licenseUrl_; }

private:
    int PostToServer(const wchar_t* function, const std::wstring& url,
                     const std::vector<std::pair<std::wstring, std::string>>& fields, std::wstring* body);
    std::wstring InspectionPath(const wchar_t* fileName) const;
    // The product's pins against the downloaded file, read through `held`;
    // false (and logged) when the installer must not run.
    bool IsTrustedInstaller(const PRODUCT_INFO& product, HANDLE held, const std::wstring& installerPath);
    int RunProductCheck(std::vector<PRODUCT_INFO>& productsOut);
    void ReportProgress(InstallProgress::Step step, uint64_t received = 0, uint64_t total = 0, bool hasTotal = false);

    Json::Value inspectionData_;
    std::map<std::wstring, INSTALLER_INFO> installerInfo_;
    std::map<std::wstring, TrustRules::InstallerPins> installerPins_;
    SessionManager* sessionManager_ = nullptr;
    std::vector<PRODUCT_INFO> products_;
    std::map<std::wstring, std::string> listedSha256_;
    std::wstring customerId_;
    std::wstring customerName_;
    std::wstring coNm_;
    std::wstring licenseUrl_;
    std::wstring licenseStatusUrl_;
    std::wstring dataDirectory_;
    int lastCheckResult_ = AgentResult::kFailed;
    ProgressSink progressSink_;
    // The product being installed and its place in an install-all (count 0
    // for a single product).
    std::wstring progressProduct_;
    int progressIndex_ = 0;
    int progressCount_ = 0;
};
