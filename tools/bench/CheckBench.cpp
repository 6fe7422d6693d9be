// Product-check benchmark (scripts/bench-check.sh runs it; not a test): logs
// in as "bench" against the reference server and times CheckProduct, then its
// parts on their own: the two server round trips, reading the inspection
// files, and the service look-ups. Half of the inspected services exist: the
// program registers them at the start and removes them at the end.
//
//   PavoCheckBench.exe PORT DATA_FOLDER PRODUCTS ROUNDS
// One line per measurement: "<name> <round> <ms>".
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "Lumen/UniqueHandle.h"
#include "PackageManager.h"
#include "ResourceManager.h"
#include "SessionManager.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point since)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

std::wstring ServiceName(int i)
{
    wchar_t name[32];
    swprintf(name, 32, L"PavoBench%02d", i);
    return name;
}

bool WriteText(const std::wstring& path, const std::string& text)
{
    Lumen::ScopedHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    return file && ::WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: PavoCheckBench PORT DATA_FOLDER PRODUCTS ROUNDS\n");
        return 2;
    }
    const std::string port = std::to_string(_wtoi(argv[1]));
    const std::wstring folder = argv[2];
    const int products = _wtoi(argv[3]);
    const int rounds = _wtoi(argv[4]);

    const std::string strings =
        "{\"language\": \"ENG\", \"strings\": [{\"key\": \"Pavo_HOST_URL\", \"value\": \"http://127.0.0.1:" + port +
        "\"}, {\"key\": \"SUB_URL_LOGIN\", \"value\": \"/agent/login\"}, {\"key\": \"SUB_URL_GET_LICENSE\", "
        "\"value\": \"/agent/license\"}, {\"key\": \"SUB_URL_SET_LICENSE_STATUS\", \"value\": "
        "\"/agent/license-status\"}]}";
    if (!WriteText(folder + L"\\strings.json", strings) ||
        !ResourceManager::GetInstance()->InitializeStrings(folder + L"\\strings.json")) {
        std::fprintf(stderr, "cannot write or load the language file\n");
        return 1;
    }

    Lumen::ScopedServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    for (int i = 0; i < products; i += 2) {
        Lumen::ScopedServiceHandle service(::CreateServiceW(
            manager.Get(), ServiceName(i).c_str(), ServiceName(i).c_str(), SERVICE_ALL_ACCESS,
            SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, self, nullptr, nullptr, nullptr,
            nullptr, nullptr));
    }

    SessionManager session;
    session.Initialize(nullptr);
    if (session.Login(L"bench", L"pw") != 0) {
        std::fprintf(stderr, "login failed\n");
        return 1;
    }
    session.GetTimer().Stop();
    PackageManager packages;
    packages.SetSessionManager(&session);
    packages.SetDataDirectory(folder);

    int failures = 0;
    std::vector<PRODUCT_INFO> list;
    for (int round = 1; round <= rounds; ++round) {
        auto start = Clock::now();
        const int result = packages.CheckProduct(list);
        std::printf("check %d %.2f\n", round, Ms(start));
        if (result != 0 || static_cast<int>(list.size()) != products) {
            std::fprintf(stderr, "CheckProduct gave %d with %zu products\n", result, list.size());
            ++failures;
            break;
        }
        start = Clock::now();
        packages.SetLicenseStatus();
        std::printf("status-report %d %.2f\n", round, Ms(start));
        start = Clock::now();
        int installed = 0;
        for (const PRODUCT_INFO& product : list) installed += packages.IsInstalled(product.productCode) ? 1 : 0;
        std::printf("service-lookups %d %.2f\n", round, Ms(start));
        start = Clock::now();
        packages.LoadInspectionData();
        packages.LoadInstallerInfoEx();
        std::printf("inspection-files %d %.2f\n", round, Ms(start));
        start = Clock::now();
        packages.GetLicense();
        std::printf("product-list %d %.2f\n", round, Ms(start));
        if (installed != (products + 1) / 2) {
            std::fprintf(stderr, "%d of %d installed\n", installed, products);
            ++failures;
        }
    }

    for (int i = 0; i < products; i += 2) {
        Lumen::ScopedServiceHandle service(::OpenServiceW(manager.Get(), ServiceName(i).c_str(), DELETE));
        if (service) ::DeleteService(service.Get());
    }
    return failures == 0 ? 0 : 1;
}
