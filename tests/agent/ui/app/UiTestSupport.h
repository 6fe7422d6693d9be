#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Helpers of the agent's window tests: a message pump with a time-out, input
// posted to real controls, and screenshots.
namespace UiTest {

// Runs the UI thread's messages (through the toolkit's filter chain) until
// `condition` holds; false after `timeoutMs`.
bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs = 20000);
// Runs the messages already queued.
void PumpPending();

// A left click posted at the centre of `control` (client coordinates).
void ClickCenter(HWND control);
// Characters posted to `edit` as WM_CHAR, as typing would deliver them.
void TypeText(HWND edit, const std::wstring& text);
// A key posted as WM_KEYDOWN/WM_KEYUP to `window`; with `control` held,
// the thread's keyboard state says Ctrl is down while the key is handled.
void PressKey(HWND window, UINT key, bool control = false);

// Real key input (SendInput): it goes to the window with the focus, through
// the thread's queue and the whole filter chain. With `pump`, the messages
// are run for a moment so that the key has arrived; without (inside a
// RunWhen action), the running loop runs them.
void SendKey(WORD key, bool shift = false, bool pump = true);
// Characters typed as real input (Unicode key events).
void SendText(const std::wstring& text);

// The inner edit field of an "EditWithClear" control.
HWND InnerEdit(HWND editWithClear);
std::wstring TextOf(HWND hwnd);
RECT ClientRectIn(HWND parent, HWND child);

// Saves the screen area of `window` (with its frame) as
// build/screenshots/<name>.png; false when it cannot.
bool SaveScreenshot(HWND window, const std::wstring& name);
// Saves the whole screen.
bool SaveScreen(const std::wstring& name);

// Calls `action` once on the UI thread as soon as `condition` holds (checked
// every 20 ms), also while a modal loop (a menu, a dialog box, the overlay's
// wait) is running.
void RunWhen(std::function<bool()> condition, std::function<void()> action);

}  // namespace UiTest
