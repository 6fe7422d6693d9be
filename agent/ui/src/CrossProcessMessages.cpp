#include "CrossProcessMessages.h"

#include "Lumen/LogManager.h"
#include "PavoAgentDlg.h"
#include "TaskbarManager.h"

std::vector<CrossProcessMessages::Entry> CrossProcessMessages::List()
{
    return {
        // The shell's tray was (re)created: put the icon back.
        {Target::MainWindow, ::RegisterWindowMessageW(L"TaskbarCreated"), L"TaskbarCreated"},
        // Mouse and keyboard on the tray icon, sent by the shell's tray.
        {Target::MainWindow, PavoAgentDlg::WM_AGENT_TRAY_NOTIFY, L"tray callback"},
        // The main window's taskbar button exists: progress can be shown on it.
        {Target::MainWindow, Lumen::TaskbarManager::TaskbarButtonCreatedMessage(), L"TaskbarButtonCreated"},
    };
}

bool CrossProcessMessages::Allow(Target target, HWND hwnd, FilterFunction filter)
{
    bool all = true;
    for (const Entry& entry : List()) {
        if (entry.target != target) continue;
        if (entry.message != 0 && filter != nullptr && filter(hwnd, entry.message, MSGFLT_ALLOW, nullptr)) continue;
        const DWORD error = ::GetLastError();
        all = false;
        Lumen::LogManager::GetInstance()->Error(L"[%s, %d] 다른 프로세스의 메시지를 허용하지 못했습니다 : %s (%u), error : %lu",
                                                L"CrossProcessMessages::Allow", __LINE__, entry.name, entry.message,
                                                error);
    }
    return all;
}
