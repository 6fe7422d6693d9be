#pragma once

#include <windows.h>

namespace Lumen {

// What a service does with the service control manager's notifications. The
// service host forwards pre-shutdown, device, hardware-profile, session and
// power notifications to it.
class IServiceHandler {
public:
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

protected:
    ~IServiceHandler() = default;
};

}  // namespace Lumen
