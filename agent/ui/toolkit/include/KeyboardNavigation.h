#pragma once

#include <windows.h>

#include <vector>

namespace Lumen {

// Moving the focus with the keyboard through a dialog's own list of
// controls, and the keyboard cues that go with it. The order logic is plain;
// the rest is a thin layer over the focus and the windows' UI state.
// UI thread only.
namespace KeyboardNavigation {

// The stop after (or, backwards, before) `current` among the entries marked
// usable, wrapping around. With `current` outside the list: the first (or
// last) usable one. -1 when none is usable.
int NextStop(const std::vector<bool>& usable, int current, bool backwards);

// Whether `control` can take the focus now: it and its parents are shown,
// and it is enabled.
bool CanTakeFocus(HWND control);
// Index in `order` of the control that holds `focus` (the control itself or
// a window inside it, such as the field of a composite edit), or -1.
int IndexOf(const std::vector<HWND>& order, HWND focus);
// The first control of `order` that can take the focus, or null.
HWND FirstStop(const std::vector<HWND>& order);
// Moves the focus to the next (previous) control of `order` that can take
// it; the control to go to, or null when none can.
HWND MoveFocus(const std::vector<HWND>& order, bool backwards);

// Clears the "hide focus cues" state of `window`'s top-level window and all
// of its children, as the dialog manager does on keyboard navigation.
void ShowFocusCues(HWND window);
// Whether `control` draws its focus cue now: it has the focus and its UI
// state (the system's keyboard-cue setting until keys are used) shows it.
bool ShowsFocusCue(HWND control);

// Whether Enter presses `control`: an enabled push button.
bool IsPushButton(HWND control);
// Sends the click notification of the button `control` to its parent, as a
// click with the mouse does.
void Press(HWND control);

}  // namespace KeyboardNavigation

}  // namespace Lumen
