#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "Lumen/UniqueHandle.h"

class PavoAgentDlg;

// The agent program's application object: start-up, the message loop, and
// the ordered clean-up at exit. Main thread only.
class PavoAgentApp {
public:
    PavoAgentApp();
    ~PavoAgentApp();
    PavoAgentApp(const PavoAgentApp&) = delete;
    PavoAgentApp& operator=(const PavoAgentApp&) = delete;

    // Runs start-up, the message loop when start-up succeeded, and exit;
    // returns the process exit code.
    int Run();

private:
    // True to enter the message loop, false to end the process.
    bool InitInstance();
    int ExitInstance();

    // True when this process is to go on as the agent of its session.
    bool CheckLaunchMode();
    // True when this process is the only agent of its Windows session.
    bool CheckSingleInstance();
    // Loads the configuration once (the main window asks before its first page).
    void LoadConfiguration();
    // GDI+ and the rich edit classes, once the first page is painted.
    void StartAfterFirstPaint();
    // The accelerators of the main window; true when the message was one.
    bool PreTranslateMessage(MSG& msg);

    std::unique_ptr<PavoAgentDlg> mainDialog_;
    ULONG_PTR gdiplusToken_ = 0;
    Lumen::ScopedHandle singleInstanceMutex_;
    HACCEL accelerators_ = nullptr;
    // Set once the configuration was loaded: only then is it saved at exit.
    bool configLoaded_ = false;
};
