#include "EditWithClear.h"

#include "FlatBorder.h"
#include "GdiHandles.h"
#include "Lumen/DebugOutput.h"

namespace Lumen {

EditWithClear::EditWithClear()
    : textColor_(::GetSysColor(COLOR_WINDOWTEXT)),
      borderColor_(::GetSysColor(COLOR_ACTIVEBORDER)),
      bgBrush_(::CreateSolidBrush(RGB(255, 255, 255)))
{
    RegisterCustomControlClasses();
}

bool EditWithClear::CreateControl(DWORD style, const RECT& rect, HWND parent, UINT id)
{
    return Create(L"EditWithClear", L"", style | WS_CHILD, 0, rect, parent, id);
}

void EditWithClear::OnAttached()
{
    HWND hwnd = GetHwnd();
    ::SetWindowLongW(hwnd, GWL_STYLE, ::GetWindowLongW(hwnd, GWL_STYLE) | WS_CLIPCHILDREN);
    // The clear button is made the first time there is text to clear: an
    // empty field, as every field is at start-up, never needs it.
    const RECT none{0, 0, 0, 0};
    if (!edit_.CreateEdit(WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT, none, hwnd, kEditId)) {
        OutputDebugMessage(L"fail to create the parts of EditWithClear, error : %d", static_cast<int>(::GetLastError()));
    }
    edit_.SetBackgroundBrush(bgBrush_.Get());
    button_.SetBackgroundColors(StateColors{bgColor_, bgColor_, bgColor_, bgColor_});
    // The border is ours: recompute the non-client area now (its WM_SIZE lays the field out).
    ::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    Layout();
    UpdateClearButton();
}

void EditWithClear::SetEditChangeHandler(IEditChangeHandler* handler)
{
    handler_ = handler;
    if (handler == nullptr) {
        edit_.SetKeyHandler(nullptr);
        return;
    }
    edit_.SetKeyHandler([this](UINT key) {
        if (handler_ == nullptr) return false;
        if (key == VK_TAB) {
            handler_->OnEditTab(this);
        } else {
            handler_->OnEditReturn(this);
        }
        return true;
    });
}

void EditWithClear::SetText(const std::wstring& text)
{
    if (edit_.GetHwnd() != nullptr) ::SetWindowTextW(edit_.GetHwnd(), text.c_str());
}

void EditWithClear::SetTextColor(COLORREF color)
{
    textColor_ = color;
    RedrawIfVisible(edit_.GetHwnd(), RDW_INVALIDATE | RDW_ERASE);
}

void EditWithClear::SetBackgroundColor(COLORREF color)
{
    ScopedBrush brush(::CreateSolidBrush(color));
    if (!brush) return;
    bgColor_ = color;
    bgBrush_ = std::move(brush);
    edit_.SetBackgroundBrush(bgBrush_.Get());
    button_.SetBackgroundColors(StateColors{color, color, color, color});
    RedrawIfVisible(GetHwnd(), RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void EditWithClear::SetBorderColor(COLORREF color)
{
    borderColor_ = color;
    RedrawIfVisible(GetHwnd(), RDW_FRAME | RDW_INVALIDATE);
}

void EditWithClear::SetEditRect(const RECT& rect)
{
    editRect_ = rect;
    hasEditRect_ = true;
    Layout();
}

void EditWithClear::SetButtonRect(const RECT& rect)
{
    buttonRect_ = rect;
    hasButtonRect_ = true;
    Layout();
}

void EditWithClear::SetEditFocus()
{
    HWND edit = edit_.GetHwnd();
    if (edit == nullptr) return;
    ::SendMessageW(edit, EM_SETSEL, 0, -1);
    ::SendMessageW(edit, EM_SCROLLCARET, 0, 0);
    ::SetFocus(edit);
}

void EditWithClear::ComputeLayout(RECT* edit, RECT* button) const
{
    RECT rc;
    ::GetClientRect(GetHwnd(), &rc);
    // Without "child_pos": the button is a square at the right end, the field takes the rest.
    const int side = rc.bottom - rc.top;
    *button = hasButtonRect_ ? buttonRect_ : RECT{rc.right - side, 0, rc.right, side};
    *edit = hasEditRect_ ? editRect_ : RECT{4, 0, button->left, rc.bottom};
}

void EditWithClear::MoveChild(HWND child, const RECT& rect) const
{
    if (child == nullptr) return;
    // The skin sets the field's size, then each part's place, and every one of
    // them lays the parts out again: only a part that is not in place yet moves.
    RECT now = {};
    ::GetWindowRect(child, &now);
    ::MapWindowPoints(nullptr, GetHwnd(), reinterpret_cast<POINT*>(&now), 2);
    if (::EqualRect(&now, &rect)) return;
    ::SetWindowPos(child, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

void EditWithClear::Layout()
{
    if (GetHwnd() == nullptr) return;
    RECT edit;
    RECT button;
    ComputeLayout(&edit, &button);
    MoveChild(edit_.GetHwnd(), edit);
    MoveChild(button_.GetHwnd(), button);
}

bool EditWithClear::EnsureClearButton()
{
    if (button_.GetHwnd() != nullptr) return true;
    if (GetHwnd() == nullptr) return false;
    RECT edit;
    RECT button;
    ComputeLayout(&edit, &button);
    if (!button_.CreateButton(L"", BS_PUSHBUTTON, button, GetHwnd(), kButtonId)) {
        OutputDebugMessage(L"fail to create the clear button of EditWithClear, error : %d",
                           static_cast<int>(::GetLastError()));
        return false;
    }
    // What the field was given before the button existed.
    ::SendMessageW(button_.GetHwnd(), WM_SETFONT, ::SendMessageW(edit_.GetHwnd(), WM_GETFONT, 0, 0), FALSE);
    if (!::IsWindowEnabled(GetHwnd())) ::EnableWindow(button_.GetHwnd(), FALSE);
    return true;
}

void EditWithClear::UpdateClearButton()
{
    const bool hasText = ::GetWindowTextLengthW(edit_.GetHwnd()) > 0;
    if (hasText && !EnsureClearButton()) return;
    if (button_.GetHwnd() == nullptr) return;
    ::ShowWindow(button_.GetHwnd(), hasText ? SW_SHOWNA : SW_HIDE);
}

LRESULT EditWithClear::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        case WM_NCCALCSIZE: {
            RECT* r = reinterpret_cast<RECT*>(lParam);
            ::InflateRect(r, -1, -1);
            return 0;
        }
        case WM_NCPAINT:
            PaintFlatBorder(GetHwnd(), borderColor_);
            return 0;
        case WM_NCACTIVATE:
            PaintFlatBorder(GetHwnd(), borderColor_);
            return TRUE;
        case WM_ERASEBKGND: {
            RECT rc;
            ::GetClientRect(GetHwnd(), &rc);
            ::FillRect(reinterpret_cast<HDC>(wParam), &rc, bgBrush_.Get());
            return 1;
        }
        case WM_PRINTCLIENT: {
            RECT rc;
            ::GetClientRect(GetHwnd(), &rc);
            ::FillRect(reinterpret_cast<HDC>(wParam), &rc, bgBrush_.Get());
            return 0;
        }
        case WM_SIZE:
            Layout();
            break;
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC: {
            HDC dc = reinterpret_cast<HDC>(wParam);
            ::SetTextColor(dc, textColor_);
            ::SetBkColor(dc, bgColor_);
            return reinterpret_cast<LRESULT>(bgBrush_.Get());
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == kEditId && HIWORD(wParam) == EN_CHANGE) {
                UpdateClearButton();
                if (handler_ != nullptr) handler_->OnEditChanged(this);
                return 0;
            }
            if (LOWORD(wParam) == kButtonId && HIWORD(wParam) == BN_CLICKED) {
                SetText(L"");
                ::SetFocus(edit_.GetHwnd());
                return 0;
            }
            break;
        case WM_SETFONT:
            // The field's font is the control's font; the hint is drawn in it too.
            if (edit_.GetHwnd() != nullptr) ::SendMessageW(edit_.GetHwnd(), WM_SETFONT, wParam, lParam);
            if (button_.GetHwnd() != nullptr) ::SendMessageW(button_.GetHwnd(), WM_SETFONT, wParam, lParam);
            break;
        case WM_GETFONT:
            if (edit_.GetHwnd() != nullptr) return ::SendMessageW(edit_.GetHwnd(), WM_GETFONT, 0, 0);
            break;
        case WM_SETFOCUS:
            if (edit_.GetHwnd() != nullptr) ::SetFocus(edit_.GetHwnd());
            return 0;
        case WM_ENABLE:
            if (edit_.GetHwnd() != nullptr) ::EnableWindow(edit_.GetHwnd(), wParam != 0);
            if (button_.GetHwnd() != nullptr) ::EnableWindow(button_.GetHwnd(), wParam != 0);
            break;
        default:
            break;
    }
    return DefaultProc(message, wParam, lParam);
}

}  // namespace Lumen
