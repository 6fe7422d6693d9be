#pragma once

#include <windows.h>

#include <shobjidl.h>

#include "ScopedCom.h"

namespace Lumen {

// The taskbar button of one window (ITaskbarList3). The interface exists
// from the first "TaskbarButtonCreated" until Release; everything here is
// optional: without it the window works as before.
// UI thread only: the interface lives in that thread's single-threaded
// apartment, which the first "TaskbarButtonCreated" enters when the thread
// is in none (and Release leaves).
class TaskbarManager {
public:
    TaskbarManager() = default;
    ~TaskbarManager() { Release(); }
    TaskbarManager(const TaskbarManager&) = delete;
    TaskbarManager& operator=(const TaskbarManager&) = delete;

    // The number of the registered message "TaskbarButtonCreated",
    // registered once per process during static initialisation.
    static UINT TaskbarButtonCreatedMessage();

    void SetWindow(HWND hwnd) { hwnd_ = hwnd; }
    // Whether the window lets "TaskbarButtonCreated" through its message
    // filter: an elevated process gets it from the shell only then. The
    // owner of the window's filter says so.
    void SetAcceptsMessage(bool accepts) { acceptsMessage_ = accepts; }
    bool AcceptsMessage() const { return acceptsMessage_; }

    // Handling of "TaskbarButtonCreated": releases the interface and, when
    // the window accepts the message, creates a new one.
    void OnTaskbarButtonCreated();
    void Release();
    ITaskbarList3* Get() const { return taskbar_.Get(); }

    // Progress on the taskbar button; false without the interface. What was
    // asked is kept either way and shown again on a new taskbar button.
    bool SetProgressState(TBPFLAG state);
    bool SetProgressValue(ULONGLONG completed, ULONGLONG total);
    TBPFLAG GetProgressState() const { return state_; }
    ULONGLONG GetProgressCompleted() const { return completed_; }
    ULONGLONG GetProgressTotal() const { return total_; }

private:
    ScopedCom<ITaskbarList3> taskbar_;
    bool enteredApartment_ = false;  // CoInitializeEx to balance in Release
    HWND hwnd_ = nullptr;
    bool acceptsMessage_ = false;
    TBPFLAG state_ = TBPF_NOPROGRESS;
    ULONGLONG completed_ = 0;
    ULONGLONG total_ = 0;
};

}  // namespace Lumen
