#include "ServiceCommands.h"

#include "Lumen/DebugOutput.h"
#include "Lumen/PathUtils.h"
#include "Lumen/SessionUtils.h"
#include "Lumen/StringUtils.h"
#include "Lumen/UniqueHandle.h"
#include "ResourceManager.h"

namespace ServiceCommands {

namespace {

using Lumen::ScopedServiceHandle;
namespace SessionUtils = Lumen::SessionUtils;

std::wstring Text(const wchar_t* key)
{
    return ResourceManager::GetInstance()->GetString(key);
}

// "<text>, error : <code>" with the last error read first.
int Fail(const wchar_t* key, int exitCode)
{
    const DWORD error = ::GetLastError();
    WriteLine(Lumen::FormatWide(L"%s, error : %d", Text(key).c_str(), static_cast<int>(error)));
    return exitCode;
}

int Succeed(const wchar_t* key)
{
    WriteLine(Text(key));
    return kExitSuccess;
}

bool ServiceExists()
{
    ScopedServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return false;
    ScopedServiceHandle service(::OpenServiceW(manager.Get(), SessionUtils::kServiceName, SERVICE_QUERY_STATUS));
    return service.IsValid();
}

DWORD ServiceState()
{
    ScopedServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return 0;
    ScopedServiceHandle service(::OpenServiceW(manager.Get(), SessionUtils::kServiceName, SERVICE_QUERY_STATUS));
    SERVICE_STATUS status = {};
    if (!service || !::QueryServiceStatus(service.Get(), &status)) return 0;
    return status.dwCurrentState;
}

// Waits up to `timeoutMs` for `done`; checks every 250 ms.
template <typename Condition>
bool WaitFor(Condition done, DWORD timeoutMs)
{
    for (DWORD waited = 0;; waited += 250) {
        if (done()) return true;
        if (waited >= timeoutMs) return false;
        ::Sleep(250);
    }
}

// Waits until the service has stopped after a stop request, as long as it
// shows progress: a STOP_PENDING report with a new checkpoint within its wait
// hint (plus a margin). False when it stopped making progress.
bool WaitUntilStopped()
{
    ScopedServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return false;
    ScopedServiceHandle service(::OpenServiceW(manager.Get(), SessionUtils::kServiceName, SERVICE_QUERY_STATUS));
    if (!service) return ::GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST;  // gone: stopped and deleted
    constexpr DWORD kPollMs = 250;
    constexpr DWORD kMarginMs = 5000;
    DWORD checkpoint = 0;
    ULONGLONG lastProgress = ::GetTickCount64();
    for (;;) {
        SERVICE_STATUS status = {};
        if (!::QueryServiceStatus(service.Get(), &status)) return false;
        if (status.dwCurrentState == SERVICE_STOPPED) return true;
        const ULONGLONG now = ::GetTickCount64();
        if (status.dwCurrentState == SERVICE_STOP_PENDING && status.dwCheckPoint != checkpoint) {
            checkpoint = status.dwCheckPoint;
            lastProgress = now;
        } else if (now - lastProgress > status.dwWaitHint + kMarginMs) {
            ::SetLastError(ERROR_SERVICE_REQUEST_TIMEOUT);
            return false;
        }
        ::Sleep(kPollMs);
    }
}

}  // namespace

void WriteLine(const std::wstring& text)
{
    HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (output == nullptr || output == INVALID_HANDLE_VALUE) return;
    const std::wstring line = text + L"\r\n";
    DWORD mode = 0;
    DWORD written = 0;
    if (::GetConsoleMode(output, &mode)) {
        ::WriteConsoleW(output, line.c_str(), static_cast<DWORD>(line.size()), &written, nullptr);
    } else {
        const std::string bytes = Lumen::WideToUtf8(line);
        ::WriteFile(output, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
}

int Install()
{
    // A path cut off by its buffer must never be registered (nor "").
    const std::wstring programPath = Lumen::GetModulePath();
    if (programPath.empty()) {
        Lumen::OutputDebugMessage(L"fail to ::CreateService(), error : %d", ERROR_INSUFFICIENT_BUFFER);
        ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return Fail(L"서비스 설치에 실패했습니다.", kExitInstallFailed);
    }
    if (ServiceExists()) {
        if (SessionUtils::IsServiceRunning()) {
            SessionUtils::StopInstalledService();
            // The old process must be gone before it is replaced; its stop
            // includes ending the agents (about 5 s at most).
            WaitFor([] { return ServiceState() == SERVICE_STOPPED; }, 30000);
        }
        SessionUtils::DeleteInstalledService();
        WaitFor([] { return !ServiceExists(); }, 10000);
    }

    ScopedServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        Lumen::OutputDebugMessage(L"fail to ::CreateService(), error : %d", static_cast<int>(::GetLastError()));
        return Fail(L"서비스 설치에 실패했습니다.", kExitInstallFailed);
    }
    ScopedServiceHandle service(::OpenServiceW(manager.Get(), SessionUtils::kServiceName, SERVICE_ALL_ACCESS));
    if (!service) {
        if (::GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST) {
            // Quoted: an unquoted path with a space would let Windows try
            // "C:\Program.exe" first, as LocalSystem.
            const std::wstring binaryPath = L"\"" + programPath + L"\"";
            service.Reset(::CreateServiceW(manager.Get(), SessionUtils::kServiceName, kDisplayName,
                                           SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START,
                                           SERVICE_ERROR_NORMAL, binaryPath.c_str(), nullptr, nullptr, nullptr,
                                           nullptr, nullptr));
        }
        if (!service) {
            const DWORD error = ::GetLastError();
            Lumen::OutputDebugMessage(L"fail to ::CreateService(), error : %d", static_cast<int>(error));
            manager.Reset();
            ::SetLastError(error);
            return Fail(L"서비스 설치에 실패했습니다.", kExitInstallFailed);
        }
    }
    service.Reset();
    manager.Reset();
    if (!SessionUtils::StartInstalledService()) return Fail(L"서비스 시작에 실패했습니다.", kExitStartFailed);
    return Succeed(L"서비스가 설치되었습니다.");
}

int Uninstall()
{
    DWORD stopError = NO_ERROR;
    if (ServiceExists() && SessionUtils::IsServiceRunning()) {
        const bool requested = SessionUtils::StopInstalledService();
        stopError = ::GetLastError();
        // A stop that another caller began already is waited for as well.
        const DWORD state = ServiceState();
        if (requested || state == SERVICE_STOP_PENDING || state == SERVICE_STOPPED)
            stopError = WaitUntilStopped() ? NO_ERROR : ::GetLastError();
        else if (stopError == NO_ERROR)
            stopError = ERROR_GEN_FAILURE;
    }
    if (!SessionUtils::DeleteInstalledService()) return Fail(L"서비스 제거에 실패했습니다.", kExitUninstallFailed);
    if (stopError != NO_ERROR) {
        // A service that still runs is only marked for deletion: not removed.
        ::SetLastError(stopError);
        return Fail(L"서비스 제거에 실패했습니다.", kExitUninstallFailed);
    }
    return Succeed(L"서비스가 제거되었습니다.");
}

int Start()
{
    if (SessionUtils::IsServiceRunning()) return InvalidParameter();
    if (!SessionUtils::StartInstalledService()) return Fail(L"서비스 시작에 실패했습니다.", kExitStartFailed);
    return Succeed(L"서비스가 시작되었습니다.");
}

int Stop()
{
    if (!SessionUtils::IsServiceRunning()) return InvalidParameter();
    if (!SessionUtils::StopInstalledService()) return Fail(L"서비스 중지에 실패했습니다.", kExitStopFailed);
    // Stopping takes a while (agents are told and ended): success means stopped.
    if (!WaitUntilStopped()) return Fail(L"서비스 중지에 실패했습니다.", kExitStopFailed);
    return Succeed(L"서비스가 중지되었습니다.");
}

int InvalidParameter()
{
    WriteLine(Text(L"파라미터 입력이 잘못되었습니다. 확인 후 재시도 하십시오."));
    return kExitInvalidParameter;
}

}  // namespace ServiceCommands
