#pragma once

#include <windows.h>

#include <functional>

namespace Lumen {

// The message loop of the UI thread and its message filter. Every message
// is offered, in this order, to the application filter (accelerators), then
// to the PreTranslateMessage of each Dialog from the message's window up to
// its top-level window, and is dispatched only when none handled it.
// UI thread only (the filter state is the UI thread's).
class MessageLoop {
public:
    using Filter = std::function<bool(MSG&)>;

    // The application's own filter, offered every message first.
    static void SetApplicationFilter(Filter filter);
    // Accelerators of `table` translated for `window` (both must exist).
    static void SetAccelerators(HWND window, HACCEL table);

    // The filter chain above; true when the message was handled.
    static bool PreTranslate(MSG& msg);
    // Runs until WM_QUIT; returns its exit code.
    static int Run();
    // Runs until `done()` turns true (checked after each message) or WM_QUIT,
    // which is posted again for the outer loop. False when ended by WM_QUIT.
    static bool RunUntil(const std::function<bool()>& done);
};

}  // namespace Lumen
