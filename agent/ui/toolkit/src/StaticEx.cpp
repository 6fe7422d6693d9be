#include "StaticEx.h"

#include "BufferDC.h"
#include "ControlGeometry.h"
#include "FontDC.h"

namespace Lumen {

StaticEx::StaticEx() : textColor_(::GetSysColor(COLOR_WINDOWTEXT)) {}

bool StaticEx::CreateStatic(const wchar_t* text, DWORD style, const RECT& rect, HWND parent, UINT id)
{
    return Create(L"Static", text, style | WS_CHILD, 0, rect, parent, id);
}

void StaticEx::SetBackgroundColor(COLORREF color)
{
    hasBgColor_ = true;
    bgColor_ = color;
    Redraw();
}

void StaticEx::ClearBackgroundColor()
{
    hasBgColor_ = false;
    Redraw();
}

void StaticEx::SetTextColor(COLORREF color)
{
    textColor_ = color;
    Redraw();
}

void StaticEx::SetTextMargin(POINT margin)
{
    textMargin_ = margin;
    Redraw();
}

bool StaticEx::SetImages(const std::vector<std::wstring>& paths)
{
    std::vector<SkinImage> loaded;
    bool all = true;
    for (const auto& path : paths) {
        if (loaded.size() == 8) break;
        SkinImage image;
        if (image.Load(path)) {
            loaded.push_back(std::move(image));
        } else {
            all = false;
        }
    }
    if (!loaded.empty() || paths.empty()) images_ = std::move(loaded);
    Redraw();
    return all;
}

void StaticEx::DiscardBackgroundSnapshot()
{
    background_.Discard();
    Redraw();
}

void StaticEx::Redraw()
{
    RedrawIfVisible(GetHwnd(), RDW_INVALIDATE | RDW_UPDATENOW);
}

std::wstring StaticEx::GetText() const
{
    const int length = ::GetWindowTextLengthW(GetHwnd());
    if (length <= 0) return L"";
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(GetHwnd(), &text[0], length + 1)));
    return text;
}

void StaticEx::Paint(HDC target)
{
    HWND hwnd = GetHwnd();
    RECT rc;
    ::GetClientRect(hwnd, &rc);
    BufferDC buffer(target, rc);
    HDC dc = buffer.Get();
    if (hasBgColor_) {
        const COLORREF old = ::SetBkColor(dc, bgColor_);
        ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
        ::SetBkColor(dc, old);
    } else {
        background_.Draw(hwnd, dc);
    }
    if (!images_.empty()) images_.front().DrawAt(dc, 0, 0);

    const std::wstring text = GetText();
    if (!text.empty()) {
        FontDC font(dc, reinterpret_cast<HFONT>(::SendMessageW(hwnd, WM_GETFONT, 0, 0)));
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, CurrentTextColor());
        RECT area = rc;
        ::OffsetRect(&area, textMargin_.x, textMargin_.y);
        const UINT format = StaticTextFormat(static_cast<DWORD>(::GetWindowLongW(hwnd, GWL_STYLE)));
        // Shortened text stays on one line.
        const bool shortened = (format & (DT_END_ELLIPSIS | DT_PATH_ELLIPSIS | DT_WORD_ELLIPSIS)) != 0;
        ::DrawTextW(dc, text.c_str(), -1, &area, shortened ? (format & ~DT_WORDBREAK) : format);
    }
}

LRESULT StaticEx::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT painted = 0;
    if (HandleSelfPaint(GetHwnd(), message, wParam, painted, [this](HDC dc) { Paint(dc); })) return painted;
    switch (message) {
        case WM_SIZE:
            background_.Discard();
            break;
        case WM_SETTEXT: {
            // The system static paints the new text itself; repaint over it.
            const LRESULT r = DefaultProc(message, wParam, lParam);
            Redraw();
            return r;
        }
        default:
            break;
    }
    return DefaultProc(message, wParam, lParam);
}

}  // namespace Lumen
