#pragma once

#include "Lumen/ServiceBase.h"
#include "ServiceController.h"

// The service "PavoService": its work is the controller's.
class PavoService : public Lumen::ServiceBase {
public:
    static constexpr const wchar_t* kName = L"PavoService";

    explicit PavoService(ServiceController* controller);

protected:
    void OnStart(DWORD argc, wchar_t** argv) override;
    void OnRun() override;
    void OnStop() override;
    void OnPause() override {}
    void OnContinue() override {}
    void OnShutdown() override;
    void OnInterrogate() override {}
    DWORD OnPreShutdown(DWORD eventType, void* eventData, void* context) override;
    DWORD OnDeviceEvent(DWORD eventType, void* eventData, void* context) override;
    DWORD OnHardwareProfileChange(DWORD eventType, void* eventData, void* context) override;
    DWORD OnSessionChange(DWORD eventType, void* eventData, void* context) override;
    DWORD OnPowerEvent(DWORD eventType, void* eventData, void* context) override;

private:
    ServiceController* controller_;
};
