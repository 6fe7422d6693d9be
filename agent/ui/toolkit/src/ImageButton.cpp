#include "ImageButton.h"

#include <algorithm>

#include "BufferDC.h"
#include "FontDC.h"
#include "KeyboardNavigation.h"

namespace Lumen {

ImageButton::ImageButton()
{
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    const COLORREF text = ::GetSysColor(COLOR_BTNTEXT);
    bgColors_ = {face, face, face, face};
    textColors_ = {text, text, text, ::GetSysColor(COLOR_GRAYTEXT)};
}

bool ImageButton::CreateButton(const wchar_t* text, DWORD style, const RECT& rect, HWND parent, UINT id)
{
    return Create(L"Button", text, style | WS_CHILD, 0, rect, parent, id);
}

bool ImageButton::LoadStrip(const std::wstring& path)
{
    const bool ok = strip_.Load(path);
    if (ok) Redraw();
    return ok;
}

bool ImageButton::LoadCheckedStrip(const std::wstring& path)
{
    const bool ok = checkedStrip_.Load(path);
    if (ok) Redraw();
    return ok;
}

void ImageButton::SetTextColors(const StateColors& colors)
{
    textColors_ = colors;
    Redraw();
}

void ImageButton::SetBackgroundColors(const StateColors& colors)
{
    bgColors_ = colors;
    Redraw();
}

void ImageButton::SetTextMargin(POINT margin)
{
    textMargin_ = margin;
    Redraw();
}

void ImageButton::SetDisplayText(const std::wstring& text)
{
    displayText_ = text;
    Redraw();
}

void ImageButton::Redraw()
{
    RedrawIfVisible(GetHwnd(), RDW_INVALIDATE | RDW_UPDATENOW);
}

int ImageButton::GetPaintState() const
{
    HWND hwnd = GetHwnd();
    if (hwnd == nullptr) return kStateNormal;
    const DWORD style = static_cast<DWORD>(::GetWindowLongW(hwnd, GWL_STYLE));
    const bool pushed = (::SendMessageW(hwnd, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0;
    const bool checkedRadio = (style & BS_TYPEMASK) == BS_AUTORADIOBUTTON &&
                              ::SendMessageW(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
    return SelectButtonState(!::IsWindowEnabled(hwnd), pushed, checkedRadio, hover_);
}

void ImageButton::Paint(HDC target)
{
    HWND hwnd = GetHwnd();
    RECT rc;
    ::GetClientRect(hwnd, &rc);
    BufferDC buffer(target, rc);
    HDC dc = buffer.Get();
    const DWORD style = static_cast<DWORD>(::GetWindowLongW(hwnd, GWL_STYLE));
    const int state = GetPaintState();

    const COLORREF bg[4] = {bgColors_.normal, bgColors_.hover, bgColors_.clicked, bgColors_.disable};
    const COLORREF fg[4] = {textColors_.normal, textColors_.hover, textColors_.clicked, textColors_.disable};
    const COLORREF oldBk = ::SetBkColor(dc, bg[state]);
    ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
    ::SetBkColor(dc, oldBk);

    const bool checkedBox = (style & BS_TYPEMASK) == BS_AUTOCHECKBOX &&
                            ::SendMessageW(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
    const SkinImage& picture = checkedBox && checkedStrip_.IsValid() ? checkedStrip_ : strip_;
    picture.DrawStripFrame(dc, rc, state);

    if (focusRect_ && KeyboardNavigation::ShowsFocusCue(hwnd)) {
        RECT focus = rc;
        // A check box is small: its cue goes round all of it.
        const DWORD kind = style & BS_TYPEMASK;
        if (kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON) ::InflateRect(&focus, -3, -3);
        ::DrawFocusRect(dc, &focus);
    }

    std::wstring text = displayText_;
    if (text.empty()) {
        const int length = ::GetWindowTextLengthW(hwnd);
        text.assign(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
        text.resize(static_cast<size_t>(::GetWindowTextW(hwnd, &text[0], length + 1)));
    }
    if (!text.empty()) {
        FontDC font(dc, reinterpret_cast<HFONT>(::SendMessageW(hwnd, WM_GETFONT, 0, 0)));
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, fg[state]);
        RECT area = rc;
        if (textMargin_.x > 0) ::OffsetRect(&area, textMargin_.x, 0);
        if (textMargin_.y > 0) ::OffsetRect(&area, 0, textMargin_.y);
        const UINT align = ButtonTextAlignment(style);
        if (style & BS_MULTILINE) {
            // Measure the wrapped block, then place it vertically by hand.
            RECT block = area;
            ::DrawTextW(dc, text.c_str(), -1, &block, DT_WORDBREAK | DT_CALCRECT | DT_NOPREFIX);
            const int blockHeight = std::min<int>(block.bottom - block.top, area.bottom - area.top);
            if (align & DT_VCENTER) {
                area.top += ((area.bottom - area.top) - blockHeight) / 2;
            } else if (align & DT_BOTTOM) {
                area.top = area.bottom - blockHeight;
            }
            area.bottom = area.top + blockHeight;
            ::DrawTextW(dc, text.c_str(), -1, &area,
                        (align & (DT_LEFT | DT_CENTER | DT_RIGHT)) | DT_WORDBREAK | DT_END_ELLIPSIS | DT_NOPREFIX);
        } else {
            ::DrawTextW(dc, text.c_str(), -1, &area, align | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
        }
    }
}

LRESULT ImageButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT painted = 0;
    if (HandleSelfPaint(GetHwnd(), message, wParam, painted, [this](HDC dc) { Paint(dc); })) return painted;
    switch (message) {
        case WM_MOUSEMOVE:
            if (!tracking_) {
                TRACKMOUSEEVENT tme = {sizeof(tme), TME_HOVER | TME_LEAVE, GetHwnd(), HOVER_DEFAULT};
                tracking_ = ::TrackMouseEvent(&tme) != FALSE;
            }
            break;
        case WM_MOUSEHOVER:
            tracking_ = false;  // hover tracking ends with the notification
            if (!hover_) {
                hover_ = true;
                Redraw();
            }
            {
                // Keep the leave notification coming.
                TRACKMOUSEEVENT tme = {sizeof(tme), TME_LEAVE, GetHwnd(), 0};
                ::TrackMouseEvent(&tme);
            }
            return 0;
        case WM_MOUSELEAVE:
            tracking_ = false;
            if (hover_) {
                hover_ = false;
                Redraw();
            }
            return 0;
        default:
            break;
    }
    // The system button draws itself outside WM_PAINT on state changes;
    // let it keep its state, then draw over it with our own paint. A click
    // may end the window (or this object) inside the default processing:
    // repaint only when both are still bound to each other.
    HWND hwnd = GetHwnd();
    const LRESULT result = DefaultProc(message, wParam, lParam);
    if (!::IsWindow(hwnd) || Window::FromHandle(hwnd) != this) return result;
    switch (message) {
        case WM_SETTEXT:
        case BM_SETCHECK:
        case BM_SETSTATE:
        case BM_CLICK:
        case WM_ENABLE:
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_CAPTURECHANGED:
        case WM_UPDATEUISTATE:
        case WM_SETFONT:
        case BM_SETSTYLE:
            Redraw();
            break;
        default:
            break;
    }
    return result;
}

}  // namespace Lumen
