#pragma once

#include <windows.h>

#include <string>

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

    // Reports a state. Checkpoint 0 for RUNNING and STOPPED, the next
    // counter value for every pending state; wait hint always 0.
    void SetServiceStatus(DWORD state, DWORD win32ExitCode = NO_ERROR);

private:
    static void WINAPI ServiceMain(DWORD argc, wchar_t** argv) noexcept;
    static DWORD WINAPI ControlHandler(DWORD control, DWORD eventType, void* eventData, void* context) noexcept;

    void Start(DWORD argc, wchar_t** argv);
    DWORD Control(DWORD control, DWORD eventType, void* eventData, void* context);

    std::wstring serviceName_;
    SERVICE_STATUS_HANDLE statusHandle_ = nullptr;
    SERVICE_STATUS status_ = {};
};

}  // namespace Lumen
