#include "PavoAgentApp.h"

#include <commctrl.h>
#include <objidl.h>

#include <gdiplus.h>

#include "ConfigManager.h"
#include "LaunchMode.h"
#include "Lumen/LogManager.h"
#include "Lumen/PathUtils.h"
#include "Lumen/SessionUtils.h"
#include "MessageLoop.h"
#include "PavoAgentDlg.h"
#include "ResourceManager.h"
#include "resource.h"

using Lumen::LogManager;

PavoAgentApp::PavoAgentApp() = default;
PavoAgentApp::~PavoAgentApp() = default;

int PavoAgentApp::Run()
{
    if (!InitInstance()) return ExitInstance();
    Lumen::MessageLoop::Run();
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

    // Restart after an update or a crash, with the same words; nothing else
    // of the restart manager.
    const std::wstring commandLine = ::GetCommandLineW();
    const size_t words = commandLine.find(L' ', commandLine[0] == L'"' ? commandLine.find(L'"', 1) : 0);
    const std::wstring arguments = words == std::wstring::npos ? std::wstring() : commandLine.substr(words + 1);
    ::RegisterApplicationRestart(arguments.empty() ? nullptr : arguments.c_str(), 0);
    if (!CheckLaunchMode()) {
        LogManager::GetInstance()->Error(L"[%s, %d] 유효성 점검에 실패했습니다.", L"PavoAgentApp::InitInstance",
                                         __LINE__);
        return false;
    }
    // The configuration's key comes from a WMI query on a thread of its own.
    // With a file to decrypt it runs while the skin and the fonts are
    // unpacked and the main window is made; with none, nothing needs the key
    // before the first save, and the read (COM with it) starts once the
    // first page is painted.
    ConfigManager::PrefetchMachinePassphrase();
    if (!ResourceManager::GetInstance()->Load()) {
        LogManager::GetInstance()->Error(L"[%s, %d] 리소스 초기화에 실패했습니다.", L"PavoAgentApp::InitInstance",
                                         __LINE__);
        return false;
    }

    accelerators_ = ::LoadAcceleratorsW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_ACCELERATOR));

    // The window is made while the configuration's key is still being read;
    // the configuration is loaded before its first page, which shows it. The
    // steps that nothing on screen needs wait until the page is painted.
    mainDialog_.reset();
    mainDialog_ = std::make_unique<PavoAgentDlg>();
    mainDialog_->SetStartupSteps([this] { LoadConfiguration(); }, [this] { StartAfterFirstPaint(); });
    if (!mainDialog_->Create(IDD_PAVOAGENT_DIALOG, nullptr)) {
        LogManager::GetInstance()->Error(L"[%s, %d] 메인 창을 만들지 못했습니다. error : %d", L"PavoAgentApp::InitInstance",
                                         __LINE__, static_cast<int>(::GetLastError()));
        mainDialog_.reset();
        return false;
    }
    LoadConfiguration();  // already done unless the window made no page
    Lumen::MessageLoop::SetApplicationFilter([this](MSG& msg) { return PreTranslateMessage(msg); });
    return true;
}

void PavoAgentApp::LoadConfiguration()
{
    if (configLoaded_) return;
    ConfigManager::GetInstance()->LoadConfig();
    configLoaded_ = true;
}

void PavoAgentApp::StartAfterFirstPaint()
{
    // The rich edit classes, for dialogs that name them; none of the first
    // page's does.
    ::LoadLibraryExW(L"riched20.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    Gdiplus::GdiplusStartupInput input;
    if (Gdiplus::GdiplusStartup(&gdiplusToken_, &input, nullptr) != Gdiplus::Ok) gdiplusToken_ = 0;
    ResourceManager::GetInstance()->FinishLoad();
    ConfigManager::ReleaseMachinePassphrase();
}

bool PavoAgentApp::PreTranslateMessage(MSG& msg)
{
    if (!mainDialog_ || accelerators_ == nullptr || mainDialog_->GetHwnd() == nullptr) return false;
    return ::TranslateAcceleratorW(mainDialog_->GetHwnd(), accelerators_, &msg) != 0;
}

int PavoAgentApp::ExitInstance()
{
    Lumen::MessageLoop::SetApplicationFilter(nullptr);
    // The windows' objects go first: they hold the skin's pictures open, and
    // an open picture would keep the skin folder from being deleted.
    mainDialog_.reset();
    // Deletes the unpacked skin, then removes the fonts (one WM_FONTCHANGE
    // when any removal succeeded).
    ResourceManager::GetInstance()->Unload();
    if (configLoaded_) ConfigManager::GetInstance()->SaveConfig();
    ResourceManager::DestroyInstance();
    ConfigManager::DestroyInstance();
    if (gdiplusToken_ != 0) Gdiplus::GdiplusShutdown(gdiplusToken_);
    gdiplusToken_ = 0;
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
