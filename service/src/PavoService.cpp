#include "PavoService.h"

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
    // A stop that comes before OnRun has begun still waits for the worker.
    controller_->Start();
}

void PavoService::OnRun()
{
    // The controller's worker is the service-main thread itself.
    controller_->Run();
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
