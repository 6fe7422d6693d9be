#include "KeyboardNavigation.h"

#include <cwchar>

namespace Lumen {

namespace KeyboardNavigation {

int NextStop(const std::vector<bool>& usable, int current, bool backwards)
{
    const int count = static_cast<int>(usable.size());
    if (count == 0) return -1;
    if (current < 0 || current >= count) current = backwards ? count : -1;
    for (int step = 1; step <= count; ++step) {
        const int index = ((backwards ? current - step : current + step) % count + count) % count;
        if (usable[static_cast<size_t>(index)]) return index;
    }
    return -1;
}

bool CanTakeFocus(HWND control)
{
    return control != nullptr && ::IsWindow(control) && ::IsWindowVisible(control) && ::IsWindowEnabled(control);
}

int IndexOf(const std::vector<HWND>& order, HWND focus)
{
    if (focus == nullptr) return -1;
    for (size_t i = 0; i < order.size(); ++i) {
        if (order[i] != nullptr && (order[i] == focus || ::IsChild(order[i], focus))) return static_cast<int>(i);
    }
    return -1;
}

namespace {

std::vector<bool> Usable(const std::vector<HWND>& order)
{
    std::vector<bool> usable;
    usable.reserve(order.size());
    for (HWND control : order) usable.push_back(CanTakeFocus(control));
    return usable;
}

}  // namespace

HWND FirstStop(const std::vector<HWND>& order)
{
    const int index = NextStop(Usable(order), -1, false);
    return index < 0 ? nullptr : order[static_cast<size_t>(index)];
}

HWND MoveFocus(const std::vector<HWND>& order, bool backwards)
{
    const int index = NextStop(Usable(order), IndexOf(order, ::GetFocus()), backwards);
    if (index < 0) return nullptr;
    const HWND target = order[static_cast<size_t>(index)];
    ::SetFocus(target);
    return target;
}

void ShowFocusCues(HWND window)
{
    const HWND root = window != nullptr ? ::GetAncestor(window, GA_ROOT) : nullptr;
    if (root == nullptr) return;
    // Sent as the update itself: a change request stops at a top-level
    // window whose own state is clear already, and would miss the children
    // (product rows) that joined it later with their cues hidden. The
    // window's own line of parents is told too, whatever the broadcast did.
    const WPARAM clear = MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS);
    ::SendMessageW(root, WM_UPDATEUISTATE, clear, 0);
    for (HWND hwnd = window; hwnd != nullptr && hwnd != root; hwnd = ::GetParent(hwnd)) {
        ::SendMessageW(hwnd, WM_UPDATEUISTATE, clear, 0);
    }
}

bool ShowsFocusCue(HWND control)
{
    if (control == nullptr || ::GetFocus() != control) return false;
    // The top-level window's state: it is the one the dialog manager sets
    // from the system's setting and that keyboard use changes.
    const HWND root = ::GetAncestor(control, GA_ROOT);
    return (::SendMessageW(root != nullptr ? root : control, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) == 0;
}

bool IsPushButton(HWND control)
{
    wchar_t name[16] = {};
    if (control == nullptr || ::GetClassNameW(control, name, 16) == 0 || _wcsicmp(name, L"Button") != 0) return false;
    const LONG kind = ::GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
    return (kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON) && ::IsWindowEnabled(control);
}

void Press(HWND control)
{
    const HWND parent = ::GetParent(control);
    if (parent == nullptr) return;
    ::SendMessageW(parent, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(control), BN_CLICKED),
                   reinterpret_cast<LPARAM>(control));
}

}  // namespace KeyboardNavigation

}  // namespace Lumen
