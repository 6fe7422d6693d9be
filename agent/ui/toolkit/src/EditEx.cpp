#include "EditEx.h"

#include "BufferDC.h"
#include "FontDC.h"

namespace Lumen {

EditEx::EditEx() : hintColor_(::GetSysColor(COLOR_GRAYTEXT)) {}

bool EditEx::CreateEdit(DWORD style, const RECT& rect, HWND parent, UINT id)
{
    return Create(L"Edit", L"", style | WS_CHILD, 0, rect, parent, id);
}

void EditEx::SetHint(const std::wstring& hint)
{
    hint_ = hint;
    RedrawIfVisible(GetHwnd(), RDW_INVALIDATE | RDW_ERASE);
}

void EditEx::SetHintColor(COLORREF color)
{
    hintColor_ = color;
    RedrawIfVisible(GetHwnd(), RDW_INVALIDATE | RDW_ERASE);
}

std::wstring EditEx::GetText() const
{
    const int length = ::GetWindowTextLengthW(GetHwnd());
    if (length <= 0) return L"";
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(GetHwnd(), &text[0], length + 1)));
    return text;
}

bool EditEx::IsShowingHint() const
{
    return GetHwnd() != nullptr && !hint_.empty() && ::GetWindowTextLengthW(GetHwnd()) == 0 &&
           ::GetFocus() != GetHwnd();
}

void EditEx::PaintHint(HDC target)
{
    HWND hwnd = GetHwnd();
    RECT rc;
    ::GetClientRect(hwnd, &rc);
    BufferDC buffer(target, rc);
    HDC dc = buffer.Get();
    HBRUSH brush = background_;
    if (brush == nullptr) {
        // The brush the parent would give the field (the window colour by default).
        brush = reinterpret_cast<HBRUSH>(::SendMessageW(::GetParent(hwnd), WM_CTLCOLOREDIT,
                                                        reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd)));
        if (brush == nullptr) brush = ::GetSysColorBrush(COLOR_WINDOW);
    }
    ::FillRect(dc, &rc, brush);
    // The same left margin the edit gives its text.
    const DWORD margins = static_cast<DWORD>(::SendMessageW(hwnd, EM_GETMARGINS, 0, 0));
    RECT area = rc;
    area.left += LOWORD(margins) + 1;
    area.right -= HIWORD(margins);
    FontDC font(dc, reinterpret_cast<HFONT>(::SendMessageW(hwnd, WM_GETFONT, 0, 0)));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, hintColor_);
    const DWORD style = static_cast<DWORD>(::GetWindowLongW(hwnd, GWL_STYLE));
    const UINT format = (style & ES_MULTILINE) ? DT_WORDBREAK : (DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
    ::DrawTextW(dc, hint_.c_str(), -1, &area, format | DT_NOPREFIX | DT_LEFT);
}

LRESULT EditEx::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        case WM_GETDLGCODE: {
            const MSG* msg = reinterpret_cast<const MSG*>(lParam);
            if (keyHandler_ && msg != nullptr && msg->message == WM_KEYDOWN &&
                (msg->wParam == VK_TAB || msg->wParam == VK_RETURN)) {
                return DefaultProc(message, wParam, lParam) | DLGC_WANTMESSAGE;
            }
            break;
        }
        case WM_KEYDOWN:
            swallowChar_ = false;
            if ((wParam == VK_TAB || wParam == VK_RETURN) && keyHandler_ && keyHandler_(static_cast<UINT>(wParam))) {
                swallowChar_ = true;
                return 0;
            }
            break;
        case WM_CHAR:
            // The keys handled above must not also beep or insert.
            if ((wParam == L'\t' || wParam == L'\r') && swallowChar_) {
                swallowChar_ = false;
                return 0;
            }
            break;
        case WM_PAINT:
            if (IsShowingHint()) {
                PAINTSTRUCT ps;
                HDC dc = ::BeginPaint(GetHwnd(), &ps);
                if (dc != nullptr) PaintHint(dc);
                ::EndPaint(GetHwnd(), &ps);
                return 0;
            }
            break;
        case WM_PRINTCLIENT:
            if (IsShowingHint()) {
                PaintHint(reinterpret_cast<HDC>(wParam));
                return 0;
            }
            break;
        case WM_SETFOCUS:
        case WM_KILLFOCUS: {
            const LRESULT r = DefaultProc(message, wParam, lParam);
            ::InvalidateRect(GetHwnd(), nullptr, TRUE);
            return r;
        }
        default:
            break;
    }
    return DefaultProc(message, wParam, lParam);
}

}  // namespace Lumen
