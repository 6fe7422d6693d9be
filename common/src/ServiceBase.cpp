#include "Lumen/ServiceBase.h"

#include <atomic>
#include <system_error>
#include <type_traits>

#include "Lumen/DebugOutput.h"
#include "Lumen/Event.h"
#include "Lumen/ScopedLock.h"

namespace Lumen {

namespace {

ServiceBase* g_service = nullptr;
// Counts pending-state reports for the whole process; never reset.
std::atomic<DWORD> g_checkpoint{1};
// A stop that is still working after this many progress reports stops
// raising the checkpoint, so that the manager can see that it hangs.
constexpr int kStopProgressLimit = 60;

// Runs one operation of the service; returns the error code it raised, or
// NO_ERROR. A DWORD thrown is the code; any other exception takes the
// thread's last error.
template <typename Operation>
DWORD Guard(Operation&& operation, DWORD* result = nullptr)
{
    try {
        if constexpr (std::is_void_v<decltype(operation())>) {
            operation();
        } else {
            const DWORD value = operation();
            if (result != nullptr) *result = value;
        }
        return NO_ERROR;
    } catch (DWORD code) {
        return code == NO_ERROR ? ERROR_GEN_FAILURE : code;
    } catch (...) {
        const DWORD code = ::GetLastError();
        return code == NO_ERROR ? ERROR_GEN_FAILURE : code;
    }
}

}  // namespace

ServiceBase::ServiceBase(std::wstring serviceName, DWORD acceptedControls) : serviceName_(std::move(serviceName))
{
    status_.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status_.dwCurrentState = SERVICE_START_PENDING;
    status_.dwControlsAccepted = acceptedControls;
}

bool ServiceBase::Run(ServiceBase* service)
{
    g_service = service;
    SERVICE_TABLE_ENTRYW table[] = {{&service->serviceName_[0], &ServiceBase::ServiceMain}, {nullptr, nullptr}};
    const bool ran = ::StartServiceCtrlDispatcherW(table) != FALSE;
    const DWORD error = ::GetLastError();
    // The stop thread's last act was the STOPPED report that ended the dispatcher.
    if (service->stopThread_.joinable()) service->stopThread_.join();
    ::SetLastError(error);
    return ran;
}

void WINAPI ServiceBase::ServiceMain(DWORD argc, wchar_t** argv) noexcept
{
    if (g_service == nullptr) return;
    try {
        g_service->Start(argc, argv);
    } catch (...) {
        OutputDebugMessage(L"Service failed to Start : %d", static_cast<int>(::GetLastError()));
    }
}

void ServiceBase::Start(DWORD argc, wchar_t** argv)
{
    statusHandle_ = ::RegisterServiceCtrlHandlerExW(serviceName_.c_str(), &ServiceBase::ControlHandler, nullptr);
    if (statusHandle_ == nullptr) {
        // Without a status handle nothing can be reported: leave the entry,
        // the manager then records the service as failed to start.
        OutputDebugMessage(L"Service failed to Start : %d", static_cast<int>(::GetLastError()));
        return;
    }
    SetServiceStatus(SERVICE_START_PENDING);
    const DWORD error = Guard([&] { OnStart(argc, argv); });
    if (error != NO_ERROR) {
        OutputDebugMessage(L"Service failed to Start : %d", static_cast<int>(error));
        SetServiceStatus(SERVICE_STOPPED, error);
        return;
    }
    SetServiceStatus(SERVICE_RUNNING);
    const DWORD runError = Guard([&] { OnRun(); });
    if (runError != NO_ERROR) ReportFailed(runError);
}

void ServiceBase::SetServiceStatus(DWORD state, DWORD win32ExitCode)
{
    ScopedLock lock(&statusLock_);
    status_.dwCurrentState = state;
    status_.dwWin32ExitCode = win32ExitCode;
    status_.dwWaitHint = state == SERVICE_STOP_PENDING ? kStopWaitHintMs : 0;
    status_.dwCheckPoint = (state == SERVICE_RUNNING || state == SERVICE_STOPPED) ? 0 : g_checkpoint++;
    if (statusHandle_ != nullptr) ::SetServiceStatus(statusHandle_, &status_);
}

void ServiceBase::ReportFailed(DWORD win32ExitCode)
{
    {
        ScopedLock lock(&statusLock_);
        if (stopping_) return;
        stopping_ = true;
    }
    OutputDebugMessage(L"Service failed : %d", static_cast<int>(win32ExitCode));
    SetServiceStatus(SERVICE_STOPPED, win32ExitCode);
}

void ServiceBase::RunStop(DWORD control, DWORD stateBefore)
{
    const bool shutdown = control == SERVICE_CONTROL_SHUTDOWN;
    Event done;
    std::thread progress;
    try {
        progress = std::thread([this, &done]() noexcept {
            for (int report = 0; report < kStopProgressLimit; ++report) {
                if (::WaitForSingleObject(done.GetHandle(), kStopProgressMs) != WAIT_TIMEOUT) return;
                SetServiceStatus(SERVICE_STOP_PENDING);
            }
        });
    } catch (const std::system_error&) {
        OutputDebugMessage(L"Service : no thread for stop progress reports");
    }
    const DWORD error = Guard([&] {
        if (shutdown)
            OnShutdown();
        else
            OnStop();
    });
    done.Set();
    if (progress.joinable()) progress.join();
    if (error == NO_ERROR) {
        SetServiceStatus(SERVICE_STOPPED);
        return;
    }
    OutputDebugMessage(L"Service failed to %s : %d", shutdown ? L"Shutdown" : L"Stop", static_cast<int>(error));
    {
        ScopedLock lock(&statusLock_);
        stopping_ = false;
    }
    SetServiceStatus(stateBefore);
}

DWORD WINAPI ServiceBase::ControlHandler(DWORD control, DWORD eventType, void* eventData, void* context) noexcept
{
    if (g_service == nullptr) return NO_ERROR;
    try {
        return g_service->Control(control, eventType, eventData, context);
    } catch (...) {
        return NO_ERROR;
    }
}

DWORD ServiceBase::Control(DWORD control, DWORD eventType, void* eventData, void* context)
{
    auto report = [](const wchar_t* what, DWORD error) {
        OutputDebugMessage(L"Service failed to %s : %d", what, static_cast<int>(error));
    };
    DWORD result = NO_ERROR;
    DWORD error = NO_ERROR;
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN: {
        DWORD before = SERVICE_RUNNING;
        {
            ScopedLock lock(&statusLock_);
            if (stopping_) return NO_ERROR;  // a stop is under way already
            stopping_ = true;
            before = status_.dwCurrentState;
        }
        SetServiceStatus(SERVICE_STOP_PENDING);
        // The thread of an earlier stop that failed has finished its work.
        if (stopThread_.joinable()) stopThread_.join();
        try {
            stopThread_ = std::thread([this, control, before]() noexcept {
                try {
                    RunStop(control, before);
                } catch (...) {
                    OutputDebugMessage(L"Service failed to Stop : %d", static_cast<int>(::GetLastError()));
                }
            });
        } catch (const std::system_error&) {
            RunStop(control, before);  // no thread: stop on this one
        }
        return NO_ERROR;
    }
    case SERVICE_CONTROL_PAUSE:
        SetServiceStatus(SERVICE_PAUSE_PENDING);
        error = Guard([&] { OnPause(); });
        if (error == NO_ERROR) {
            SetServiceStatus(SERVICE_PAUSED);
        } else {
            report(L"Pause", error);
            SetServiceStatus(SERVICE_RUNNING);
        }
        return NO_ERROR;
    case SERVICE_CONTROL_CONTINUE:
        SetServiceStatus(SERVICE_CONTINUE_PENDING);
        error = Guard([&] { OnContinue(); });
        if (error == NO_ERROR) {
            SetServiceStatus(SERVICE_RUNNING);
        } else {
            report(L"Continue", error);
            SetServiceStatus(SERVICE_PAUSED);
        }
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        error = Guard([&] { OnInterrogate(); });
        if (error != NO_ERROR) report(L"Interrogate", error);
        return NO_ERROR;
    case SERVICE_CONTROL_DEVICEEVENT:
        error = Guard([&] { return OnDeviceEvent(eventType, eventData, context); }, &result);
        if (error != NO_ERROR) report(L"DeviceEvent", error);
        return error != NO_ERROR ? error : result;
    case SERVICE_CONTROL_HARDWAREPROFILECHANGE:
        error = Guard([&] { return OnHardwareProfileChange(eventType, eventData, context); }, &result);
        if (error != NO_ERROR) report(L"HardwareProfileChange", error);
        return error != NO_ERROR ? error : result;
    case SERVICE_CONTROL_POWEREVENT:
        error = Guard([&] { return OnPowerEvent(eventType, eventData, context); }, &result);
        if (error != NO_ERROR) report(L"PowerEvent", error);
        return error != NO_ERROR ? error : result;
    case SERVICE_CONTROL_SESSIONCHANGE:
        error = Guard([&] { return OnSessionChange(eventType, eventData, context); }, &result);
        if (error != NO_ERROR) report(L"SessionChange", error);
        return error != NO_ERROR ? error : result;
    case SERVICE_CONTROL_PRESHUTDOWN:
        error = Guard([&] { return OnPreShutdown(eventType, eventData, context); }, &result);
        if (error != NO_ERROR) report(L"PreShutdown", error);
        return error != NO_ERROR ? error : result;
    default:
        return NO_ERROR;
    }
}

}  // namespace Lumen
