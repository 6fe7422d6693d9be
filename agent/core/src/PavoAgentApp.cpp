#include "PavoAgentApp.h"

#include <commctrl.h>

#include "ConfigManager.h"
#include "LaunchMode.h"
#include "Lumen/LogManager.h"
#include "Lumen/PathUtils.h"
#include "Lumen/SessionUtils.h"

using Lumen::LogManager;

int PavoAgentApp::Run()
{
    if (!InitInstance()) return ExitInstance();
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return ExitInstance();
}

bool PavoAgentApp::InitInstance()
{
    LogManager::GetInstance()->Initialize(Lumen::LogProcessKind::Agent);
    LogManager::GetInstance()->Info(L"에이전트가 시작되었습니다.");

    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof(controls);
    controls.dwICC = 0xFF;
    ::InitCommonControlsEx(&controls);

    if (!CheckLaunchMode()) {
        LogManager::GetInstance()->Error(L"[%s, %d] 유효성 점검에 실패했습니다.", L"PavoAgentApp::InitInstance",
                                         __LINE__);
        return false;
    }

    ConfigManager::GetInstance()->LoadConfig();
    configLoaded_ = true;
    return true;
}

int PavoAgentApp::ExitInstance()
{
    if (configLoaded_) ConfigManager::GetInstance()->SaveConfig();
    ConfigManager::DestroyInstance();
    singleInstanceMutex_.Reset();
    LogManager::GetInstance()->Info(L"에이전트를 종료합니다.\n\n");
    LogManager::GetInstance()->Release();
    return 0;
}

bool PavoAgentApp::CheckLaunchMode()
{
    switch (ClassifyCommandLine(::GetCommandLineW())) {
    case LaunchMode::FromService:
        return CheckSingleInstance();
    case LaunchMode::ElevatedRelaunch:
        if (Lumen::SessionUtils::IsServiceRunning()) return CheckSingleInstance();
        // The service, once running, starts the agent in this session itself.
        Lumen::SessionUtils::StartInstalledService();
        return false;
    case LaunchMode::ByHand:
    default:
        Lumen::SessionUtils::RunAsAdministrator(Lumen::GetModulePath(), kLaunchRunAdmin, 0);
        return false;
    }
}

bool PavoAgentApp::CheckSingleInstance()
{
    const std::wstring name = SingleInstanceMutexName(Lumen::SessionUtils::GetProcessSessionId());
    singleInstanceMutex_.Reset(::CreateMutexW(nullptr, TRUE, name.c_str()));
    // Read at once: nothing may run between the call and this check.
    return ::GetLastError() != ERROR_ALREADY_EXISTS;
}
