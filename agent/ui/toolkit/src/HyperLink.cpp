#include "HyperLink.h"

#include <windowsx.h>

#include "ControlGeometry.h"
#include "DesktopShell.h"
#include "FontDC.h"
#include "GdiHandles.h"
#include "KeyboardNavigation.h"

namespace Lumen {

HyperLink::HyperLink() : hand_(::LoadCursorW(nullptr, IDC_HAND)) {}

void HyperLink::SetLinkColors(const LinkColors& colors)
{
    colors_ = colors;
    Redraw();
}

void HyperLink::SetVisited(bool visited)
{
    visited_ = visited;
    Redraw();
}

COLORREF HyperLink::CurrentTextColor() const
{
    if (overText_) return colors_.hover;
    return visited_ ? colors_.visited : colors_.normal;
}

bool HyperLink::Open()
{
    if (url_.empty()) return false;
    if (!DesktopShell::Open(url_)) return false;
    SetVisited(true);
    return true;
}

RECT HyperLink::TextRect() const
{
    HWND hwnd = GetHwnd();
    RECT rc;
    ::GetClientRect(hwnd, &rc);
    const DWORD style = static_cast<DWORD>(::GetWindowLongW(hwnd, GWL_STYLE));
    int textWidth = 0;
    const std::wstring text = GetText();
    if (!text.empty()) {
        ScopedGetDC dc(hwnd);
        FontDC font(dc.Get(), reinterpret_cast<HFONT>(::SendMessageW(hwnd, WM_GETFONT, 0, 0)));
        SIZE size{0, 0};
        ::GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &size);
        textWidth = size.cx;
    }
    return LinkTextRect(style, rc, textWidth);
}

bool HyperLink::HitText(POINT client) const
{
    const RECT area = TextRect();
    return ::PtInRect(&area, client) != FALSE;
}

void HyperLink::Paint(HDC dc)
{
    StaticEx::Paint(dc);
    if (!KeyboardNavigation::ShowsFocusCue(GetHwnd())) return;
    RECT client = {};
    ::GetClientRect(GetHwnd(), &client);
    RECT cue = TextRect();
    ::InflateRect(&cue, 1, 0);
    ::IntersectRect(&cue, &cue, &client);
    ::DrawFocusRect(dc, &cue);
}

void HyperLink::SetOverText(bool over)
{
    if (over == overText_) return;
    overText_ = over;
    Redraw();
}

LRESULT HyperLink::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        case WM_NCHITTEST:
            return HTCLIENT;  // statics without the notify style are transparent to the mouse
        case WM_MOUSEMOVE:
            SetOverText(HitText(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}));
            if (!tracking_) {
                TRACKMOUSEEVENT tme = {sizeof(tme), TME_HOVER | TME_LEAVE, GetHwnd(), HOVER_DEFAULT};
                tracking_ = ::TrackMouseEvent(&tme) != FALSE;
            }
            return 0;
        case WM_MOUSEHOVER: {
            POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            SetOverText(HitText(pt));
            return 0;
        }
        case WM_MOUSELEAVE:
            tracking_ = false;
            SetOverText(false);
            return 0;
        case WM_SETCURSOR:
            if (overText_ && LOWORD(lParam) == HTCLIENT && hand_ != nullptr) {
                ::SetCursor(hand_);
                return TRUE;
            }
            break;
        case WM_LBUTTONUP:
            if (HitText(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)})) Open();
            return 0;
        case WM_GETDLGCODE: {
            const MSG* msg = reinterpret_cast<const MSG*>(lParam);
            if (msg != nullptr && msg->message == WM_KEYDOWN && (msg->wParam == VK_RETURN || msg->wParam == VK_SPACE)) {
                return DLGC_WANTMESSAGE;
            }
            break;
        }
        case WM_KEYDOWN:
            if (wParam == VK_RETURN || wParam == VK_SPACE) {
                Open();
                return 0;
            }
            break;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
        case WM_UPDATEUISTATE: {
            const LRESULT result = StaticEx::WindowProc(message, wParam, lParam);
            Redraw();
            return result;
        }
        default:
            break;
    }
    return StaticEx::WindowProc(message, wParam, lParam);
}

}  // namespace Lumen
