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
    const RECT none{0, 0, 0, 0};
    if (!edit_.CreateEdit(WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT, none, hwnd, kEditId) ||
        !button_.CreateButton(L"", BS_PUSHBUTTON, none, hwnd, kButtonId)) {
        OutputDebugMessage(L"fail to create the parts of EditWithClear, error : %d", static_cast<int>(::GetLastError()));
    }
    edit_.SetBackgroundBrush(bgBrush_.Get());
    button_.SetBackgroundColors(StateColors{bgColor_, bgColor_, bgColor_, bgColor_});
    // The border is ours: recompute the non-client area now.
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
    if (button_.GetHwnd() != nullptr) button_.SetBackgroundColors(StateColors{color, color, color, color});
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

void EditWithClear::Layout()
{
    if (GetHwnd() == nullptr) return;
    RECT rc;
    ::GetClientRect(GetHwnd(), &rc);
    // Without "child_pos": the button is a square at the right end, the field takes the rest.
    const int side = rc.bottom - rc.top;
    const RECT button = hasButtonRect_ ? buttonRect_ : RECT{rc.right - side, 0, rc.right, side};
    const RECT edit = hasEditRect_ ? editRect_ : RECT{4, 0, button.left, rc.bottom};
    if (edit_.GetHwnd() != nullptr) {
        ::SetWindowPos(edit_.GetHwnd(), nullptr, edit.left, edit.top, edit.right - edit.left, edit.bottom - edit.top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (button_.GetHwnd() != nullptr) {
        ::SetWindowPos(button_.GetHwnd(), nullptr, button.left, button.top, button.right - button.left,
                       button.bottom - button.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void EditWithClear::UpdateClearButton()
{
    if (button_.GetHwnd() == nullptr) return;
    ::ShowWindow(button_.GetHwnd(), ::GetWindowTextLengthW(edit_.GetHwnd()) > 0 ? SW_SHOWNA : SW_HIDE);
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
