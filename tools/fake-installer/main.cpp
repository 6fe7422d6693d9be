// A stand-in for a product installer, for tests and demonstrations. It does
// what a real installer does that the agent can observe, as its file name
// says. The name (without ".exe") is a label followed by "~"-separated steps:
//
//   svc=NAME     registers a demand-start service NAME pointing at a copy of itself
//   proc=NAME    starts a copy of itself named NAME.exe that lives `live` ms
//   mutex=NAME   a copy of itself holds the named mutex NAME for `live` + 2000 ms
//   ms=N         takes N ms before it finishes (default 0)
//   live=N       how long the helpers live (default 3000)
//   fail         exits with 1603 without installing anything
//
// A name without steps, "XSetup.exe", means "svc=X~proc=XUpdater~mutex=X_Setup".
// Steps run in this order: helpers start, the installer takes its time, the
// service is registered last, as a real installer's last act.
//
// Helper modes (command line): --live=MS, or --hold-mutex=NAME --live=MS.
#include <windows.h>

#include <cwctype>
#include <string>
#include <vector>

namespace {

constexpr DWORD kDefaultLiveMs = 3000;
constexpr DWORD kMutexExtraMs = 2000;

struct Plan {
    std::wstring service;
    std::wstring process;
    std::wstring mutex;
    DWORD durationMs = 0;
    DWORD liveMs = kDefaultLiveMs;
    bool fail = false;
};

std::wstring ModulePath()
{
    wchar_t path[MAX_PATH * 2] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
    return std::wstring(path, length);
}

std::wstring StemOf(const std::wstring& path)
{
    std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
    if (name.size() > 4) {
        std::wstring extension = name.substr(name.size() - 4);
        for (wchar_t& c : extension) c = static_cast<wchar_t>(std::towlower(c));
        if (extension == L".exe") name.resize(name.size() - 4);
    }
    return name;
}

std::vector<std::wstring> Split(const std::wstring& text, wchar_t separator)
{
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
        if (end == std::wstring::npos) return parts;
        start = end + 1;
    }
}

Plan PlanFromName(const std::wstring& stem)
{
    Plan plan;
    const std::vector<std::wstring> steps = Split(stem, L'~');
    if (steps.size() == 1) {
        std::wstring product = stem;
        const std::wstring suffix = L"Setup";
        if (product.size() > suffix.size() && product.compare(product.size() - suffix.size(), suffix.size(), suffix) == 0)
            product.resize(product.size() - suffix.size());
        plan.service = product;
        plan.process = product + L"Updater";
        plan.mutex = product + L"_Setup";
        return plan;
    }
    for (size_t i = 1; i < steps.size(); ++i) {
        const std::wstring& step = steps[i];
        const size_t equals = step.find(L'=');
        const std::wstring key = step.substr(0, equals);
        const std::wstring value = equals == std::wstring::npos ? std::wstring() : step.substr(equals + 1);
        if (key == L"svc") plan.service = value;
        else if (key == L"proc") plan.process = value;
        else if (key == L"mutex") plan.mutex = value;
        else if (key == L"ms") plan.durationMs = static_cast<DWORD>(_wtoi(value.c_str()));
        else if (key == L"live") plan.liveMs = static_cast<DWORD>(_wtoi(value.c_str()));
        else if (key == L"fail") plan.fail = true;
    }
    return plan;
}

// "<temp>PavoFakeInstaller\", where helper copies live: outside the agent's
// download folder, which the agent empties before every download.
std::wstring HelperFolder()
{
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, temp);
    std::wstring folder = std::wstring(temp) + L"PavoFakeInstaller\\";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

bool Launch(const std::wstring& program, const std::wstring& arguments)
{
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                          nullptr, &startup, &process))
        return false;
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
}

// A copy of this program under `name` in the helper folder.
std::wstring CopyOfSelf(const std::wstring& name)
{
    const std::wstring target = HelperFolder() + name;
    ::CopyFileW(ModulePath().c_str(), target.c_str(), FALSE);
    return target;
}

bool RegisterService(const std::wstring& name)
{
    SC_HANDLE manager = ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE);
    if (manager == nullptr) return false;
    const std::wstring binary = L"\"" + CopyOfSelf(L"PavoFakeService.exe") + L"\" --live=0";
    SC_HANDLE service = ::CreateServiceW(manager, name.c_str(), name.c_str(), SERVICE_QUERY_STATUS,
                                         SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                         binary.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    const bool ok = service != nullptr || ::GetLastError() == ERROR_SERVICE_EXISTS;
    if (service != nullptr) ::CloseServiceHandle(service);
    ::CloseServiceHandle(manager);
    return ok;
}

int HoldMutex(const std::wstring& name, DWORD liveMs)
{
    HANDLE mutex = ::CreateMutexW(nullptr, TRUE, name.c_str());
    if (mutex == nullptr) return 3;
    ::Sleep(liveMs);
    ::ReleaseMutex(mutex);
    ::CloseHandle(mutex);
    return 0;
}

bool WaitForMutexToExist(const std::wstring& name)
{
    for (int i = 0; i < 250; ++i) {
        HANDLE mutex = ::OpenMutexW(SYNCHRONIZE, FALSE, name.c_str());
        if (mutex != nullptr) {
            ::CloseHandle(mutex);
            return true;
        }
        ::Sleep(20);
    }
    return false;
}

int Install(const Plan& plan)
{
    if (plan.fail) {
        ::Sleep(plan.durationMs);
        return 1603;
    }
    if (!plan.process.empty() && !Launch(CopyOfSelf(plan.process + L".exe"), L"--live=" + std::to_wstring(plan.liveMs)))
        return 2;
    if (!plan.mutex.empty()) {
        const std::wstring arguments =
            L"--hold-mutex=" + plan.mutex + L" --live=" + std::to_wstring(plan.liveMs + kMutexExtraMs);
        if (!Launch(CopyOfSelf(L"PavoFakeMutexHolder.exe"), arguments) || !WaitForMutexToExist(plan.mutex)) return 3;
    }
    ::Sleep(plan.durationMs);
    if (!plan.service.empty() && !RegisterService(plan.service)) return 4;
    return 0;
}

bool TakeValue(const std::wstring& argument, const std::wstring& prefix, std::wstring* value)
{
    if (argument.compare(0, prefix.size(), prefix) != 0) return false;
    *value = argument.substr(prefix.size());
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    std::wstring mutex, live;
    for (int i = 1; i < argc; ++i) {
        std::wstring value;
        if (TakeValue(argv[i], L"--hold-mutex=", &value)) mutex = value;
        if (TakeValue(argv[i], L"--live=", &value)) live = value;
    }
    if (!mutex.empty()) return HoldMutex(mutex, static_cast<DWORD>(_wtoi(live.c_str())));
    if (!live.empty()) {
        ::Sleep(static_cast<DWORD>(_wtoi(live.c_str())));
        return 0;
    }
    return Install(PlanFromName(StemOf(ModulePath())));
}
