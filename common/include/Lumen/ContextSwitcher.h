#pragma once

#include <windows.h>

namespace Lumen {

// A hidden window owned by the user-interface thread: a worker thread sends
// or posts it a message carrying a serial number, and the window's thread
// hands it to the delegater, which decides what runs. Windows delivers sent
// messages before posted ones, so a delegater that must keep the order in
// which calls were made runs its own queue rather than trusting the order of
// the messages. Create and Destroy on the user-interface thread.
class ContextSwitcher {
public:
    static constexpr UINT kSwitchSync = WM_USER + 0x100;   // 0x0500, sent
    static constexpr UINT kSwitchAsync = WM_USER + 0x101;  // 0x0501, posted

    // Called on the window's thread for each message; `synchronous` tells a
    // sent message from a posted one.
    class SwitchingDelegater {
    public:
        virtual LRESULT OnSwitchContext(bool synchronous, WPARAM serial) = 0;

    protected:
        ~SwitchingDelegater() = default;
    };

    ContextSwitcher() = default;
    virtual ~ContextSwitcher();
    ContextSwitcher(const ContextSwitcher&) = delete;
    ContextSwitcher& operator=(const ContextSwitcher&) = delete;

    void SetDelegater(SwitchingDelegater* delegater) { delegater_ = delegater; }
    // A message-only window of the calling thread. False when it cannot be made.
    bool Create();
    void Destroy();
    bool Exists() const { return window_ != nullptr && ::IsWindow(window_) != FALSE; }

    // From any thread: waits until the window's thread has run the call
    // `serial`. False when the window is gone.
    bool SwitchSync(WPARAM serial);
    // From any thread: asks for the call `serial` and returns at once. Posted
    // calls run in the order they were posted. False when nothing was posted.
    bool SwitchAsync(WPARAM serial);

    HWND GetWindow() const { return window_; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

    SwitchingDelegater* delegater_ = nullptr;
    HWND window_ = nullptr;
};

}  // namespace Lumen
