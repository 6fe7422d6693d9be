#pragma once

#include <windows.h>

#include <string>
#include <thread>

#include "Lumen/Criticalsection.h"

namespace Lumen {

// A service's side of the service control manager: the service entry, the
// control handler and the status reports. A subclass supplies the work. An
// operation that fails throws a DWORD error code (or any exception); the base
// reports it and never lets it reach the system.
class ServiceBase {
public:
    explicit ServiceBase(std::wstring serviceName, DWORD acceptedControls = SERVICE_ACCEPT_STOP |
                                                                             SERVICE_ACCEPT_SHUTDOWN);
    virtual ~ServiceBase() = default;
    ServiceBase(const ServiceBase&) = delete;
    ServiceBase& operator=(const ServiceBase&) = delete;

    // Publishes `service` as the process's running service and runs the
    // dispatcher until the service has stopped. False when the dispatcher
    // cannot start (GetLastError tells why, e.g. 1063 from a console).
    static bool Run(ServiceBase* service);

    // While stopping: how long until the next report at most.
    static constexpr DWORD kStopWaitHintMs = 10000;
    // While stopping: a STOP_PENDING report with the next checkpoint this often.
    static constexpr DWORD kStopProgressMs = 2000;

    const std::wstring& GetServiceName() const { return serviceName_; }
    DWORD GetCurrentState() const { return status_.dwCurrentState; }

protected:
    virtual void OnStart(DWORD argc, wchar_t** argv) = 0;
    virtual void OnStop() = 0;
    virtual void OnPause() = 0;
    virtual void OnContinue() = 0;
    virtual void OnShutdown() = 0;
    virtual void OnInterrogate() = 0;
    virtual DWORD OnPreShutdown(DWORD eventType, void* eventData, void* context) = 0;
    virtual DWORD OnDeviceEvent(DWORD eventType, void* eventData, void* context) = 0;
    virtual DWORD OnHardwareProfileChange(DWORD eventType, void* eventData, void* context) = 0;
    virtual DWORD OnSessionChange(DWORD eventType, void* eventData, void* context) = 0;
    virtual DWORD OnPowerEvent(DWORD eventType, void* eventData, void* context) = 0;
    // Runs on the service-main thread once RUNNING has been reported, and may
    // do the service's work there until it is stopped, so that the service
    // needs no thread of its own for it. An error it raises stops the service
    // as failed. By default it returns at once.
    virtual void OnRun() {}

    // Reports a state. Checkpoint 0 for RUNNING and STOPPED, the next
    // counter value for every pending state; wait hint kStopWaitHintMs for
    // STOP_PENDING, otherwise 0. Any thread.
    void SetServiceStatus(DWORD state, DWORD win32ExitCode = NO_ERROR);

    // For a service whose work has failed for good: reports STOPPED with the
    // error, unless a stop is already under way. Any thread.
    void ReportFailed(DWORD win32ExitCode);

private:
    static void WINAPI ServiceMain(DWORD argc, wchar_t** argv) noexcept;
    static DWORD WINAPI ControlHandler(DWORD control, DWORD eventType, void* eventData, void* context) noexcept;

    void Start(DWORD argc, wchar_t** argv);
    DWORD Control(DWORD control, DWORD eventType, void* eventData, void* context);
    // Stop and shutdown: the control handler returns at once (it must not
    // block for the length of a stop) while this runs on the stop thread,
    // reporting STOP_PENDING with a rising checkpoint until it is done.
    void RunStop(DWORD control, DWORD stateBefore);

    std::wstring serviceName_;
    SERVICE_STATUS_HANDLE statusHandle_ = nullptr;
    SERVICE_STATUS status_ = {};
    bool stopping_ = false;
    Criticalsection statusLock_;  // guards status_ and stopping_
    // Joined by Run once the dispatcher has returned.
    std::thread stopThread_;
};

}  // namespace Lumen
