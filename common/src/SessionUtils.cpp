#include "Lumen/SessionUtils.h"

#include <shellapi.h>
#include <tlhelp32.h>
#include <userenv.h>
#include <wtsapi32.h>

#include <exception>

#include "Lumen/DebugOutput.h"
#include "Lumen/StringUtils.h"

namespace Lumen {
namespace SessionUtils {

namespace {

struct EnvironmentBlockTraits {
    using Type = void*;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type p) noexcept { return p != nullptr; }
    static void Close(Type p) noexcept { ::DestroyEnvironmentBlock(p); }
};
using ScopedEnvironmentBlock = UniqueHandle<EnvironmentBlockTraits>;

bool IsVistaOrLater()
{
    OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    info.dwMajorVersion = 6;
    info.dwMinorVersion = 0;
    info.wServicePackMajor = 0;
    DWORDLONG mask = 0;
    mask = ::VerSetConditionMask(mask, VER_MAJORVERSION, VER_GREATER_EQUAL);
    mask = ::VerSetConditionMask(mask, VER_MINORVERSION, VER_GREATER_EQUAL);
    mask = ::VerSetConditionMask(mask, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
    return ::VerifyVersionInfoW(&info, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR,
                                mask) != FALSE;
}

// For a user whose token is the filtered half of a split administrator token,
// the linked full token; otherwise the token itself.
ScopedHandle FullTokenOf(ScopedHandle token)
{
    if (!IsVistaOrLater()) return token;
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD size = 0;
    if (!::GetTokenInformation(token.Get(), TokenElevationType, &type, sizeof(type), &size))
        return token;
    if (type != TokenElevationTypeLimited) return token;
    TOKEN_LINKED_TOKEN linked = {};
    if (!::GetTokenInformation(token.Get(), TokenLinkedToken, &linked, sizeof(linked), &size))
        return token;
    return ScopedHandle(linked.LinkedToken);
}

// Opens the service control manager and "PavoService" with the given rights.
bool OpenPavoService(DWORD managerAccess, DWORD serviceAccess, ScopedServiceHandle& manager,
                     ScopedServiceHandle& service)
{
    manager.Reset(::OpenSCManagerW(nullptr, nullptr, managerAccess));
    if (!manager) return false;
    service.Reset(::OpenServiceW(manager.Get(), kServiceName, serviceAccess));
    return service.IsValid();
}

}  // namespace

DWORD GetActiveSessionId()
{
    WTS_SESSION_INFOW* sessions = nullptr;
    DWORD count = 0;
    try {
        if (!::WTSEnumerateSessionsW(WTS_CURRENT_SERVER_HANDLE, 0, 1, &sessions, &count)) {
            OutputDebugMessage(L"Failed to SessionUtils::GetActiveSessionId(), error : %d",
                               static_cast<int>(::GetLastError()));
            return 0;
        }
        DWORD active = 0;
        for (DWORD i = 0; i < count; ++i) {
            if (sessions[i].State == WTSActive) {
                active = sessions[i].SessionId;
                break;
            }
        }
        ::WTSFreeMemory(sessions);
        return active;
    } catch (const std::exception& e) {
        if (sessions != nullptr) ::WTSFreeMemory(sessions);
        OutputDebugMessage(L"Failed to SessionUtils::GetActiveSessionId(), exception : %s",
                           Utf8ToWide(e.what()).c_str());
    } catch (...) {
        if (sessions != nullptr) ::WTSFreeMemory(sessions);
        OutputDebugMessage(L"Failed to SessionUtils::GetActiveSessionId(), exception : %s",
                           L"Unknown exception");
    }
    return ::WTSGetActiveConsoleSessionId();
}

bool EnumerateSessionIds(std::vector<DWORD>* ids)
{
    ids->clear();
    WTS_SESSION_INFOW* sessions = nullptr;
    DWORD count = 0;
    if (!::WTSEnumerateSessionsW(WTS_CURRENT_SERVER_HANDLE, 0, 1, &sessions, &count)) {
        OutputDebugMessage(L"Failed to SessionUtils::EnumerateSessionIds(), error : %d",
                           static_cast<int>(::GetLastError()));
        return false;
    }
    struct Freer {
        WTS_SESSION_INFOW* sessions;
        ~Freer() { ::WTSFreeMemory(sessions); }
    } freer{sessions};
    for (DWORD i = 0; i < count; ++i) ids->push_back(sessions[i].SessionId);
    return true;
}

DWORD GetProcessSessionId()
{
    DWORD sessionId = 0;
    if (!::ProcessIdToSessionId(::GetCurrentProcessId(), &sessionId)) {
        OutputDebugMessage(L"Failed to SessionUtils::GetProcessSessionId()");
        return 0;
    }
    return sessionId;
}

bool CreateProcessInSession(DWORD sessionId, const std::wstring& applicationPath,
                            const std::wstring& commandLine)
{
    ScopedHandle userToken;
    if (!::WTSQueryUserToken(sessionId, userToken.Put())) {
        OutputDebugMessage(L"Failed to get user token, error : %d", static_cast<int>(::GetLastError()));
        return false;
    }
    ScopedHandle primary;
    if (!::DuplicateTokenEx(userToken.Get(), MAXIMUM_ALLOWED, nullptr, SecurityIdentification,
                            TokenPrimary, primary.Put())) {
        OutputDebugMessage(L"Failed to duplicate token, error : %d", static_cast<int>(::GetLastError()));
        return false;
    }
    ScopedHandle token = FullTokenOf(std::move(primary));

    ScopedEnvironmentBlock environment;
    if (!::CreateEnvironmentBlock(environment.Put(), token.Get(), FALSE)) {
        OutputDebugMessage(L"Failed to create environment block, error : %d",
                           static_cast<int>(::GetLastError()));
        return false;
    }

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    wchar_t desktop[] = L"winsta0\\default";
    startup.lpDesktop = desktop;
    PROCESS_INFORMATION process = {};
    // CreateProcessAsUserW may write into the command line buffer.
    std::wstring mutableCommandLine = commandLine;
    if (!::CreateProcessAsUserW(token.Get(), applicationPath.c_str(), &mutableCommandLine[0], nullptr,
                                nullptr, FALSE,
                                CREATE_UNICODE_ENVIRONMENT | NORMAL_PRIORITY_CLASS | CREATE_NEW_CONSOLE,
                                environment.Get(), nullptr, &startup, &process)) {
        OutputDebugMessage(L"Failed to create UI program process, error : %d",
                           static_cast<int>(::GetLastError()));
        return false;
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
}

std::wstring BuildCommandLine(const std::wstring& programPath, const std::wstring& arguments)
{
    std::wstring unquoted;
    unquoted.reserve(programPath.size());
    for (wchar_t c : programPath)
        if (c != L'"') unquoted += c;
    return FormatWide(L"%s %s", (L"\"" + unquoted + L"\"").c_str(), arguments.c_str());
}

bool RunProcess(const std::wstring& programPath, const std::wstring& arguments)
{
    std::wstring commandLine = BuildCommandLine(programPath, arguments);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process)) {
        OutputDebugMessage(L"Failed to CreateProcess, error : %d", static_cast<int>(::GetLastError()));
        return false;
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
}

ScopedHandle FindProcessByName(const std::wstring& name)
{
    ScopedHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) {
        OutputDebugMessage(L"Failed to create process snapshot.");
        return ScopedHandle();
    }
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more;
         more = ::Process32NextW(snapshot.Get(), &entry)) {
        if (std::wstring(entry.szExeFile).find(name) != std::wstring::npos)
            return ScopedHandle(::OpenProcess(PROCESS_ALL_ACCESS, FALSE, entry.th32ProcessID));
    }
    return ScopedHandle();
}

std::vector<FoundProcess> FindProcessesByName(const std::wstring& name)
{
    std::vector<FoundProcess> found;
    ScopedHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) {
        OutputDebugMessage(L"Failed to create process snapshot.");
        return found;
    }
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more;
         more = ::Process32NextW(snapshot.Get(), &entry)) {
        if (std::wstring(entry.szExeFile).find(name) == std::wstring::npos) continue;
        FoundProcess process;
        process.processId = entry.th32ProcessID;
        process.handle.Reset(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                           entry.th32ProcessID));
        found.push_back(std::move(process));
    }
    return found;
}

bool RunAsAdministrator(const std::wstring& file, const std::wstring& parameters, DWORD waitMs)
{
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.hwnd = nullptr;
    info.lpVerb = L"runas";
    info.lpFile = file.c_str();
    info.lpParameters = parameters.c_str();
    info.lpDirectory = nullptr;
    info.nShow = SW_HIDE;
    const BOOL started = ::ShellExecuteExW(&info);
    if (info.hProcess != nullptr) {
        ::WaitForSingleObject(info.hProcess, waitMs);
        ::CloseHandle(info.hProcess);
    }
    return started != FALSE;
}

bool IsServiceRunning()
{
    ScopedServiceHandle manager;
    ScopedServiceHandle service;
    if (!OpenPavoService(SC_MANAGER_CONNECT, SERVICE_QUERY_STATUS, manager, service)) return false;
    SERVICE_STATUS_PROCESS status = {};
    DWORD needed = 0;
    if (!::QueryServiceStatusEx(service.Get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                                sizeof(status), &needed))
        return false;
    return status.dwCurrentState == SERVICE_RUNNING;
}

bool StopInstalledService()
{
    ScopedServiceHandle manager;
    ScopedServiceHandle service;
    if (!OpenPavoService(SC_MANAGER_ALL_ACCESS, SERVICE_ALL_ACCESS, manager, service)) return false;
    SERVICE_STATUS status = {};
    if (!::QueryServiceStatus(service.Get(), &status)) return false;
    if (status.dwCurrentState == SERVICE_STOPPED || status.dwCurrentState == SERVICE_STOP_PENDING)
        return false;
    return ::ControlService(service.Get(), SERVICE_CONTROL_STOP, &status) != FALSE;
}

bool StartInstalledService()
{
    ScopedServiceHandle manager;
    ScopedServiceHandle service;
    if (!OpenPavoService(SC_MANAGER_ALL_ACCESS, SERVICE_ALL_ACCESS, manager, service) ||
        !::StartServiceW(service.Get(), 0, nullptr)) {
        OutputDebugMessage(L"fail to ::StartService(), error : %d", static_cast<int>(::GetLastError()));
        return false;
    }
    return true;
}

bool DeleteInstalledService()
{
    ScopedServiceHandle manager;
    ScopedServiceHandle service;
    if (!OpenPavoService(SC_MANAGER_ALL_ACCESS, SERVICE_ALL_ACCESS, manager, service)) return false;
    return ::DeleteService(service.Get()) != FALSE;
}

}  // namespace SessionUtils
}  // namespace Lumen
