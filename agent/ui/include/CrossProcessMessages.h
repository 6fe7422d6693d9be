#pragma once

#include <windows.h>

#include <vector>

// The messages the agent's windows receive from other processes, in one
// list. The agent runs elevated while the shell (tray, taskbar) runs at
// medium integrity, and User Interface Privilege Isolation drops such
// messages unless the receiving window lets each one through. Allow exactly
// these; a message added between processes belongs here.
class CrossProcessMessages {
public:
    // The windows that receive messages from other processes.
    enum class Target { MainWindow };

    struct Entry {
        Target target;
        UINT message;
        const wchar_t* name;  // for the log
    };

    // ChangeWindowMessageFilterEx's shape.
    using FilterFunction = BOOL(WINAPI*)(HWND, UINT, DWORD, PCHANGEFILTERSTRUCT);

    // Registered messages by the numbers registered in this session.
    static std::vector<Entry> List();

    // Lets every message listed for `target` through the filter of `hwnd`
    // (MSGFLT_ALLOW). Logs each refusal; true when all were allowed.
    static bool Allow(Target target, HWND hwnd, FilterFunction filter = &::ChangeWindowMessageFilterEx);
};
