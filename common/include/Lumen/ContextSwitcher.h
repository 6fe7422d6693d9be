#pragma once

#include <windows.h>

namespace Lumen {

// A hidden window owned by the user-interface thread: a worker thread sends
// or posts it a message, and the window's thread runs one queued call of the
// delegater per message. Create and Destroy on the user-interface thread.
class ContextSwitcher {
public:
    static constexpr UINT kSwitchSync = WM_USER + 0x100;   // 0x0500, sent
    static constexpr UINT kSwitchAsync = WM_USER + 0x101;  // 0x0501, posted

    // Runs exactly one queued call, the oldest, on the window's thread.
    class SwitchingDelegater {
    public:
        virtual LRESULT OnSwitchContext() = 0;

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

    // From any thread: waits until the window's thread has run one call.
    // False when the window is gone.
    bool SwitchSync();
    // From any thread: asks for one call and returns at once.
    bool SwitchAsync();

    HWND GetWindow() const { return window_; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

    SwitchingDelegater* delegater_ = nullptr;
    HWND window_ = nullptr;
};

}  // namespace Lumen
