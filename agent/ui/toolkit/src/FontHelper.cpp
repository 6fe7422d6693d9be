#include "FontHelper.h"

#include <cwchar>

#include "Window.h"

namespace Lumen {

namespace {

LOGFONTW DefaultGuiLogFont()
{
    LOGFONTW font = {};
    ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(font), &font);
    return font;
}

// The screen's DPI as this process sees it. It is fixed for the life of a
// process that is not per-monitor aware, so one display DC is enough.
SIZE ScreenDpi()
{
    static const SIZE dpi = [] {
        SIZE read{96, 96};
        ScopedGetDC screen(nullptr);
        if (screen.Get() != nullptr) {
            read.cx = ::GetDeviceCaps(screen.Get(), LOGPIXELSX);
            read.cy = ::GetDeviceCaps(screen.Get(), LOGPIXELSY);
        }
        return read;
    }();
    return dpi;
}

int CALLBACK CountFamily(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found)
{
    *reinterpret_cast<bool*>(found) = true;
    return 0;  // one family is enough
}

}  // namespace

FontHelper::FontHelper(const Window* window) : fontWindow_(window)
{
    const LOGFONTW font = DefaultGuiLogFont();
    bold_ = font.lfWeight == FW_BOLD;
    underline_ = font.lfUnderline != 0;
    height_ = font.lfHeight;
    Apply(font);
}

bool FontHelper::IsInstalled(const std::wstring& face)
{
    if (face.empty() || face.size() >= LF_FACESIZE) return false;
    ScopedCreatedDC dc(::CreateCompatibleDC(nullptr));
    if (!dc) return false;
    LOGFONTW font = {};
    font.lfCharSet = DEFAULT_CHARSET;
    wcsncpy(font.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    bool found = false;
    ::EnumFontFamiliesExW(dc.Get(), &font, CountFamily, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

LONG FontHelper::PointSizeToHeight(int points, int dpiX, int dpiY)
{
    if (dpiX <= 0 || dpiY <= 0) return 0;
    // The size is first taken to pixels at 96 dpi, then back to points at
    // the screen's dpi, in tenths of a point; the point font then goes to
    // pixels at the screen's dpi. Done in one exact step: the tenths rounded
    // down on their own lose a pixel at 120 dpi (12 pt: 9.6 -> 9 points).
    const int pixelsAt96 = (points * 96) / 72;
    return -::MulDiv(pixelsAt96 * 72 * 10, dpiY, dpiX * 720);
}

LOGFONTW FontHelper::GetLogFont() const
{
    LOGFONTW font = {};
    if (!font_ || ::GetObjectW(font_.Get(), sizeof(font), &font) == 0) font = DefaultGuiLogFont();
    return font;
}

LONG FontHelper::HeightForPoints(int points)
{
    const SIZE dpi = ScreenDpi();
    return PointSizeToHeight(points, dpi.cx, dpi.cy);
}

void FontHelper::SetPointSize(int points)
{
    LOGFONTW font = GetLogFont();
    font.lfHeight = HeightForPoints(points);
    font.lfWidth = 0;
    height_ = font.lfHeight;
    Apply(font);
}

void FontHelper::Apply(LOGFONTW font)
{
    font.lfWeight = bold_ ? FW_BOLD : FW_NORMAL;
    font.lfHeight = height_;
    font.lfUnderline = underline_ ? TRUE : FALSE;
    ScopedFont created(::CreateFontIndirectW(&font));
    if (!created) return;  // keep the font the window has
    font_ = std::move(created);
    const HWND hwnd = fontWindow_ != nullptr ? fontWindow_->GetHwnd() : nullptr;
    if (hwnd != nullptr && ::IsWindow(hwnd)) {
        ::SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), TRUE);
        OnFontChanged();
        RedrawIfVisible(hwnd, RDW_UPDATENOW | RDW_ERASE | RDW_INVALIDATE);
    }
}

}  // namespace Lumen
