#include "NCPaintDialog.h"

#include <utility>

#include <windowsx.h>

#include "BufferDC.h"
#include "Lumen/DebugOutput.h"

namespace Lumen {

namespace {

constexpr UINT kNcUahDrawCaption = 0xAE;
constexpr UINT kNcUahDrawFrame = 0xAF;
constexpr int kCaptionFontHeight = -12;
constexpr int kSubTextWidth = 300;

class ScopedWindowDC {
public:
    explicit ScopedWindowDC(HWND hwnd) : hwnd_(hwnd), dc_(::GetWindowDC(hwnd)) {}
    ~ScopedWindowDC()
    {
        if (dc_ != nullptr) ::ReleaseDC(hwnd_, dc_);
    }
    ScopedWindowDC(const ScopedWindowDC&) = delete;
    ScopedWindowDC& operator=(const ScopedWindowDC&) = delete;
    HDC Get() const { return dc_; }

private:
    HWND hwnd_;
    HDC dc_;
};

SIZE PictureSize(const SkinImage& image)
{
    return image.IsValid() ? SIZE{image.Width(), image.Height()} : SIZE{0, 0};
}

}  // namespace

NCPaintDialog::NCPaintDialog(UINT templateId) : BaseDialog(templateId)
{
    SetCaptionBold(false);
}

void NCPaintDialog::SetCaptionBold(bool bold)
{
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    LOGFONTW font = {};
    if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
        font = metrics.lfCaptionFont;
    } else {
        ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(font), &font);
    }
    font.lfHeight = kCaptionFontHeight;
    font.lfWidth = 0;
    font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    ScopedFont created(::CreateFontIndirectW(&font));
    if (created) captionFont_ = std::move(created);
}

bool NCPaintDialog::HasBorder() const
{
    return GetHwnd() != nullptr && (::GetWindowLongW(GetHwnd(), GWL_STYLE) & WS_BORDER) != 0;
}

bool NCPaintDialog::IsFrameSkinned() const
{
    return frameSkinned_ && HasBorder();
}

RECT NCPaintDialog::GetFrameInsets() const
{
    return RECT{parts_[kPartLeft].IsValid() ? parts_[kPartLeft].Width() : 0,
                parts_[kPartTop].IsValid() ? parts_[kPartTop].Height() : 0,
                parts_[kPartRight].IsValid() ? parts_[kPartRight].Width() : 0,
                parts_[kPartBottom].IsValid() ? parts_[kPartBottom].Height() : 0};
}

void NCPaintDialog::SetFrameSkinned(bool deferWhileHidden)
{
    if (GetHwnd() == nullptr) return;
    frameSkinned_ = true;
    LayoutCaption();
    frameChangeWaiting_ = true;
    if (deferWhileHidden && !::IsWindowVisible(GetHwnd())) return;
    FinishFrameChange();
    // A hidden window is painted whole when it shows.
    RedrawIfVisible(GetHwnd(), RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

UINT NCPaintDialog::TakeFrameChange()
{
    return std::exchange(frameChangeWaiting_, false) ? SWP_FRAMECHANGED : 0;
}

void NCPaintDialog::FinishFrameChange()
{
    if (!std::exchange(frameChangeWaiting_, false) || GetHwnd() == nullptr) return;
    RECT window = {};
    ::GetWindowRect(GetHwnd(), &window);
    ::SetWindowPos(GetHwnd(), nullptr, 0, 0, window.right - window.left, window.bottom - window.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void NCPaintDialog::SetSubText(const std::wstring& text)
{
    subText_ = text;
    RedrawFrame();
}

void NCPaintDialog::EnableUserButton(bool enabled)
{
    if (userButtonEnabled_ == enabled) return;  // the frame shows it already
    userButtonEnabled_ = enabled;
    RedrawFrame();
}

BOOL NCPaintDialog::OnInitDialog()
{
    const bool sizing = (::GetWindowLongW(GetHwnd(), GWL_STYLE) & WS_THICKFRAME) != 0;
    frameMetrics_ = sizing ? SIZE{::GetSystemMetrics(SM_CXSIZEFRAME), ::GetSystemMetrics(SM_CYSIZEFRAME)}
                           : SIZE{::GetSystemMetrics(SM_CXDLGFRAME), ::GetSystemMetrics(SM_CYDLGFRAME)};
    return BaseDialog::OnInitDialog();
}

void NCPaintDialog::LayoutCaption()
{
    if (GetHwnd() == nullptr) return;
    RECT window = {};
    ::GetWindowRect(GetHwnd(), &window);
    const LONG style = ::GetWindowLongW(GetHwnd(), GWL_STYLE);
    FrameLayoutInput input;
    input.windowWidth = window.right - window.left;
    input.topHeight = GetFrameInsets().top;
    input.rightWidth = GetFrameInsets().right;
    input.buttonMargin = buttonMargin_;
    input.buttonGap = buttonGap_;
    input.sysMenuType = sysMenuType_;
    input.hasMinimizeBox = (style & WS_MINIMIZEBOX) != 0;
    input.hasMaximizeBox = (style & WS_MAXIMIZEBOX) != 0;
    input.close = PictureSize(parts_[kPartClose]);
    input.maximize = PictureSize(parts_[kPartMaximize]);
    input.minimize = PictureSize(parts_[kPartMinimize]);
    input.help = PictureSize(parts_[kPartHelp]);
    input.custom = PictureSize(parts_[kPartCustom]);
    layout_ = LayoutCaptionButtons(input);
}

POINT NCPaintDialog::ScreenToWindowPoint(POINT screen) const
{
    RECT window = {};
    ::GetWindowRect(GetHwnd(), &window);
    return POINT{screen.x - window.left, screen.y - window.top};
}

void NCPaintDialog::RedrawFrame()
{
    if (IsFrameSkinned()) {
        PaintFrame();
    } else if (GetHwnd() != nullptr) {
        ::RedrawWindow(GetHwnd(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
    }
}

void NCPaintDialog::ResetRegion(int width, int height)
{
    // Setting the region moves the window itself: the WM_SIZE of that move,
    // which comes before the resize that asked for the region is done, must
    // not put back a region of the old size.
    if (settingRegion_) return;
    // A resize resets it twice (before and after the move), and setting a
    // region makes the system recompute and redraw the frame: only a region
    // that differs is set again.
    RECT current = {};
    if (::GetWindowRgnBox(GetHwnd(), &current) == SIMPLEREGION && current.left == 0 && current.top == 0 &&
        current.right == width && current.bottom == height) {
        return;
    }
    ScopedRegion region(::CreateRectRgn(0, 0, width, height));
    if (!region) return;
    settingRegion_ = true;
    const bool set = ::SetWindowRgn(GetHwnd(), region.Get(), TRUE) != 0;
    settingRegion_ = false;
    // On success the system owns the region.
    if (set) region.Release();
}

void NCPaintDialog::PaintFrame()
{
    const HWND hwnd = GetHwnd();
    // A hidden window's frame is painted by its WM_NCPAINT when it shows.
    if (hwnd == nullptr || !IsFrameSkinned() || !::IsWindowVisible(hwnd)) return;
    ScopedWindowDC dc(hwnd);
    if (dc.Get() == nullptr) return;
    RECT window = {};
    ::GetWindowRect(hwnd, &window);
    const SIZE size{window.right - window.left, window.bottom - window.top};
    // Only the frame: the client area is the dialog's own to paint.
    RECT client = {};
    ::GetClientRect(hwnd, &client);
    ::MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&client), 2);
    ::OffsetRect(&client, -window.left, -window.top);
    const int saved = ::SaveDC(dc.Get());
    ::ExcludeClipRect(dc.Get(), client.left, client.top, client.right, client.bottom);
    // One buffer per side of the frame: a buffer of the whole window would be
    // allocated, first touched and copied mostly for the client area.
    // A window without a client area (a minimised one) is all frame.
    const bool noClient = ::IsRectEmpty(&client) != FALSE;
    const RECT sides[] = {{0, 0, size.cx, noClient ? size.cy : client.top},
                          {0, client.top, client.left, client.bottom},
                          {client.right, client.top, size.cx, client.bottom},
                          {0, client.bottom, size.cx, size.cy}};
    for (const RECT& side : sides) {
        if (noClient && side.top != 0) break;
        if (side.right <= side.left || side.bottom <= side.top) continue;
        BufferDC buffer(dc.Get(), side);
        DrawFrame(buffer.Get(), size);
        if (side.top == 0) DrawCaption(buffer.Get(), size);
    }
    ::RestoreDC(dc.Get(), saved);
}

void NCPaintDialog::DrawFrame(HDC dc, SIZE size)
{
    const RECT insets = GetFrameInsets();
    const SIZE lt = PictureSize(parts_[kPartLeftTop]);
    const SIZE rt = PictureSize(parts_[kPartRightTop]);
    const SIZE lb = PictureSize(parts_[kPartLeftBottom]);
    const SIZE rb = PictureSize(parts_[kPartRightBottom]);
    parts_[kPartTop].Draw(dc, RECT{lt.cx, 0, size.cx - rt.cx, insets.top});
    parts_[kPartLeft].Draw(dc, RECT{0, insets.top, insets.left, size.cy - insets.bottom});
    parts_[kPartRight].Draw(dc, RECT{size.cx - insets.right, insets.top, size.cx, size.cy - insets.bottom});
    parts_[kPartBottom].Draw(dc, RECT{lb.cx, size.cy - insets.bottom, size.cx - rb.cx, size.cy});
    parts_[kPartLeftTop].DrawAt(dc, 0, 0);
    parts_[kPartRightTop].DrawAt(dc, size.cx - rt.cx, 0);
    parts_[kPartLeftBottom].DrawAt(dc, 0, size.cy - lb.cy);
    parts_[kPartRightBottom].DrawAt(dc, size.cx - rb.cx, size.cy - rb.cy);
}

void NCPaintDialog::DrawCaption(HDC dc, SIZE size)
{
    const HWND hwnd = GetHwnd();
    const LONG style = ::GetWindowLongW(hwnd, GWL_STYLE);
    const int top = GetFrameInsets().top;
    wchar_t text[512] = {};
    ::GetWindowTextW(hwnd, text, 512);

    HICON icon = reinterpret_cast<HICON>(::SendMessageW(hwnd, WM_GETICON, ICON_SMALL, 0));
    if (icon == nullptr) icon = reinterpret_cast<HICON>(::SendMessageW(hwnd, WM_GETICON, ICON_BIG, 0));
    const bool drawIcon = (style & WS_SYSMENU) != 0 && icon != nullptr && iconVisible_;

    HGDIOBJ oldFont = captionFont_ ? ::SelectObject(dc, captionFont_.Get()) : nullptr;
    ::SetBkMode(dc, TRANSPARENT);
    RECT textRect{0, textMargin_.y, layout_.textRight, top};
    int iconX = iconMargin_.x;
    bool hasTextArea = true;
    if (captionAlign_ == 0) {
        textRect.left = drawIcon ? iconX + 16 + textMargin_.x + 4 : textMargin_.x + 8;
    } else if (captionAlign_ == 1) {
        RECT measure{0, 0, 0, 0};
        ::DrawTextW(dc, text, -1, &measure, DT_SINGLELINE | DT_CALCRECT | DT_NOPREFIX);
        textRect.left = (size.cx - (measure.right - measure.left)) / 2;
        iconX = textRect.left - 32;
    } else {
        hasTextArea = false;  // other alignments place no text
    }
    if (drawIcon) {
        ::DrawIconEx(dc, iconX, (top - 16) / 2 + iconMargin_.y, icon, 16, 16, 0, nullptr, DI_NORMAL);
    }
    if (hasTextArea) {
        ::SetTextColor(dc, captionColor_);
        ::DrawTextW(dc, text, -1, &textRect, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_END_ELLIPSIS | DT_NOPREFIX);
        if (!subText_.empty()) {
            RECT subRect{layout_.textRight - kSubTextWidth, textRect.top, layout_.textRight, top};
            ::SetTextColor(dc, subTextColor_);
            ::DrawTextW(dc, subText_.c_str(), -1, &subRect,
                        DT_SINGLELINE | DT_VCENTER | DT_RIGHT | DT_END_ELLIPSIS | DT_NOPREFIX);
        }
    }
    if (oldFont != nullptr) ::SelectObject(dc, oldFont);

    struct Place {
        int button;
        bool placed;
        int part;
    };
    const Place places[] = {
        {kCaptionClose, true, kPartClose},
        {kCaptionMaximize, layout_.placedMaximize, ::IsZoomed(hwnd) ? kPartRestore : kPartMaximize},
        {kCaptionMinimize, layout_.placedMinimize, kPartMinimize},
        {kCaptionHelp, layout_.placedHelp, kPartHelp},
        {kCaptionCustom, layout_.placedCustom, kPartCustom},
    };
    for (const Place& place : places) {
        if (!place.placed || !parts_[place.part].IsValid()) continue;
        const int state = CaptionButtonState(place.button, hovered_, pressed_, style, userButtonEnabled_);
        parts_[place.part].DrawStripFrame(dc, CaptionButtonRect(layout_, place.button), state);
    }
}

void NCPaintDialog::CancelTracking()
{
    TRACKMOUSEEVENT track = {sizeof(track), TME_CANCEL | TME_NONCLIENT | TME_LEAVE, GetHwnd(), 0};
    ::TrackMouseEvent(&track);
    tracking_ = false;
    OutputDebugMessage(L"CancelTracking .....\n");
}

bool NCPaintDialog::OnNcMouseMove(POINT screen)
{
    const int button = CaptionButtonAt(layout_, ScreenToWindowPoint(screen));
    if (button != hovered_) {
        hovered_ = button;
        PaintFrame();
    }
    if (button != kCaptionNone && !tracking_ && !pressedFlag_) {
        TRACKMOUSEEVENT track = {sizeof(track), TME_NONCLIENT | TME_LEAVE, GetHwnd(), 0};
        tracking_ = ::TrackMouseEvent(&track) != FALSE;
        OutputDebugMessage(L"start tracking.....\n");
    } else if (button == kCaptionNone && tracking_) {
        CancelTracking();
    }
    return false;  // default processing follows
}

void NCPaintDialog::OnNcMouseLeave()
{
    OutputDebugMessage(L"OnNcMouseLeave .....\n");
    tracking_ = false;
    hovered_ = kCaptionNone;
    pressed_ = kCaptionNone;
    PaintFrame();
}

bool NCPaintDialog::OnNcLButtonDown(WPARAM hit, POINT screen)
{
    if (hit != HTCAPTION) return false;
    const int button = CaptionButtonAt(layout_, ScreenToWindowPoint(screen));
    if (button == kCaptionNone) return false;
    pressedFlag_ = true;
    if (tracking_) CancelTracking();
    ::SetCapture(GetHwnd());
    OutputDebugMessage(L"SetCapture .....\n");
    pressed_ = button;
    PaintFrame();
    // No default processing here: on the caption it would start the system's
    // window-move loop, which takes the capture and swallows the release.
    return true;
}

void NCPaintDialog::OnLButtonUp(POINT client)
{
    const int button = pressed_;
    pressed_ = kCaptionNone;
    ::ReleaseCapture();
    OutputDebugMessage(L"ReleaseCapture .....\n");
    pressedFlag_ = false;
    POINT screen = client;
    ::ClientToScreen(GetHwnd(), &screen);
    if (button == kCaptionNone || CaptionButtonAt(layout_, ScreenToWindowPoint(screen)) != button) {
        PaintFrame();
        return;
    }
    PaintFrame();
    ActOn(button);
}

void NCPaintDialog::ActOn(int button)
{
    const HWND hwnd = GetHwnd();
    const LONG style = ::GetWindowLongW(hwnd, GWL_STYLE);
    switch (button) {
    case kCaptionMinimize:
        if ((style & WS_MINIMIZEBOX) != 0) ::SendMessageW(hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        break;
    case kCaptionMaximize:
        if ((style & WS_MAXIMIZEBOX) != 0) {
            ::SendMessageW(hwnd, WM_SYSCOMMAND, ::IsZoomed(hwnd) ? SC_RESTORE : SC_MAXIMIZE, 0);
        }
        break;
    case kCaptionClose:
        if ((style & WS_SYSMENU) != 0) ::SendMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    case kCaptionHelp:
        OnHelpButton();
        break;
    case kCaptionCustom:
        if (userButtonEnabled_) OnCustomButton();
        break;
    default:
        break;
    }
}

void NCPaintDialog::OnCaptureChanged()
{
    hovered_ = kCaptionNone;
    pressed_ = kCaptionNone;
    pressedFlag_ = false;
    PaintFrame();
}

bool NCPaintDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    const HWND hwnd = GetHwnd();
    if (!IsFrameSkinned()) {
        if (message == WM_LBUTTONUP && pressedFlag_) OnLButtonUp(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return BaseDialog::OnMessage(message, wParam, lParam, result);
    }
    switch (message) {
    case WM_NCCALCSIZE: {
        const RECT insets = GetFrameInsets();
        RECT* rect = wParam != FALSE ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0]
                                     : reinterpret_cast<RECT*>(lParam);
        *rect = SkinnedClientRect(*rect, insets.left, insets.top, insets.right, insets.bottom);
        result = 0;
        return true;
    }
    case WM_NCHITTEST: {
        const LRESULT hit = ::DefWindowProcW(hwnd, message, wParam, lParam);
        RECT window = {};
        ::GetWindowRect(hwnd, &window);
        const POINT point = ScreenToWindowPoint(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        result = SkinnedFrameHitTest(hit, true, point, SIZE{window.right - window.left, window.bottom - window.top},
                                     GetFrameInsets().top, layout_, ::GetWindowLongW(hwnd, GWL_STYLE));
        return true;
    }
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED) {
            RECT window = {};
            ::GetWindowRect(hwnd, &window);
            ResetRegion(window.right - window.left, window.bottom - window.top);
            LayoutCaption();
            PaintFrame();
        }
        break;  // the base classes see it too
    case WM_WINDOWPOSCHANGING: {
        const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
        if ((pos->flags & SWP_NOSIZE) == 0 && !::IsIconic(hwnd) && pos->cx > 0 && pos->cy > 0) {
            ResetRegion(pos->cx, pos->cy);
        }
        break;
    }
    case WM_NCACTIVATE:
        PaintFrame();
        result = TRUE;
        return true;
    case WM_NCPAINT:
    case kNcUahDrawCaption:
    case kNcUahDrawFrame:
        PaintFrame();
        result = 0;
        return true;
    case WM_SETTEXT:
        // The system draws the new caption itself: draw ours over it.
        result = ::DefWindowProcW(hwnd, message, wParam, lParam);
        PaintFrame();
        return true;
    case WM_NCMOUSEMOVE:
        if (OnNcMouseMove(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)})) return true;
        break;
    case WM_NCMOUSELEAVE:
        OnNcMouseLeave();
        result = 0;
        return true;
    case WM_NCLBUTTONDOWN:
        if (OnNcLButtonDown(wParam, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)})) {
            result = 0;
            return true;
        }
        break;
    case WM_LBUTTONUP:
        if (pressedFlag_) OnLButtonUp(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        break;
    case WM_CAPTURECHANGED:
        OnCaptureChanged();
        break;
    case WM_SYSCOMMAND:
        result = DefaultProc(message, wParam, lParam);
        if (::IsWindow(hwnd)) PaintFrame();
        return true;
    case WM_GETMINMAXINFO: {
        MONITORINFO monitor = {};
        monitor.cbSize = sizeof(monitor);
        if (::GetMonitorInfoW(::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &monitor)) {
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            const RECT& work = monitor.rcWork;
            info->ptMaxPosition = POINT{0, 0};
            info->ptMaxSize = POINT{work.right - work.left, work.bottom - work.top - 1};
            info->ptMaxTrackSize = info->ptMaxSize;
        }
        break;
    }
    default:
        break;
    }
    return BaseDialog::OnMessage(message, wParam, lParam, result);
}

}  // namespace Lumen
