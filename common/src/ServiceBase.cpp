#include "Lumen/ServiceBase.h"

#include <atomic>
#include <type_traits>

#include "Lumen/DebugOutput.h"

namespace Lumen {

namespace {

ServiceBase* g_service = nullptr;
// Counts pending-state reports for the whole process; never reset.
std::atomic<DWORD> g_checkpoint{1};

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
    return ::StartServiceCtrlDispatcherW(table) != FALSE;
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
    if (error == NO_ERROR) {
        SetServiceStatus(SERVICE_RUNNING);
    } else {
        OutputDebugMessage(L"Service failed to Start : %d", static_cast<int>(error));
        SetServiceStatus(SERVICE_STOPPED, error);
    }
}

void ServiceBase::SetServiceStatus(DWORD state, DWORD win32ExitCode)
{
    status_.dwCurrentState = state;
    status_.dwWin32ExitCode = win32ExitCode;
    status_.dwWaitHint = 0;
    status_.dwCheckPoint = (state == SERVICE_RUNNING || state == SERVICE_STOPPED) ? 0 : g_checkpoint++;
    if (statusHandle_ != nullptr) ::SetServiceStatus(statusHandle_, &status_);
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
    case SERVICE_CONTROL_STOP: {
        const DWORD before = status_.dwCurrentState;
        SetServiceStatus(SERVICE_STOP_PENDING);
        error = Guard([&] { OnStop(); });
        if (error == NO_ERROR) {
            SetServiceStatus(SERVICE_STOPPED);
        } else {
            report(L"Stop", error);
            SetServiceStatus(before);
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
    case SERVICE_CONTROL_SHUTDOWN:
        error = Guard([&] { OnShutdown(); });
        if (error == NO_ERROR)
            SetServiceStatus(SERVICE_STOPPED);
        else
            report(L"Shutdown", error);
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
