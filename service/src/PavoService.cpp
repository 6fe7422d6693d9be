#include "PavoService.h"

#include <system_error>

#include "Lumen/LogManager.h"

PavoService::PavoService(ServiceController* controller)
    // Session changes too, so that an agent starts as soon as a user logs on.
    : Lumen::ServiceBase(kName, SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN | SERVICE_ACCEPT_SESSIONCHANGE),
      controller_(controller)
{
}

void PavoService::OnStart(DWORD, wchar_t**)
{
    Lumen::LogManager::GetInstance()->Info(L"서비스가 시작되었습니다.");
    // A worker that ends by itself leaves a service without work: stop it.
    controller_->SetWorkerFailureHandler([this](DWORD error) { ReportFailed(error); });
    try {
        controller_->SetWorkerThread(std::thread([this] { controller_->Run(); }));
    } catch (const std::system_error&) {
        // The service cannot work without its worker: fail the start.
        throw static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY);
    }
}

void PavoService::OnStop()
{
    controller_->Stop();
}

void PavoService::OnShutdown()
{
    controller_->Stop();
}

DWORD PavoService::OnPreShutdown(DWORD eventType, void* eventData, void* context)
{
    return controller_->OnPreShutdown(eventType, eventData, context);
}

DWORD PavoService::OnDeviceEvent(DWORD eventType, void* eventData, void* context)
{
    return controller_->OnDeviceEvent(eventType, eventData, context);
}

DWORD PavoService::OnHardwareProfileChange(DWORD eventType, void* eventData, void* context)
{
    return controller_->OnHardwareProfileChange(eventType, eventData, context);
}

DWORD PavoService::OnSessionChange(DWORD eventType, void* eventData, void* context)
{
    return controller_->OnSessionChange(eventType, eventData, context);
}

DWORD PavoService::OnPowerEvent(DWORD eventType, void* eventData, void* context)
{
    return controller_->OnPowerEvent(eventType, eventData, context);
}
