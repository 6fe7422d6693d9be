#include "ControlGeometry.h"

#include <algorithm>
#include <cstring>

namespace Lumen {

int SelectButtonState(bool disabled, bool pushed, bool checkedAutoRadio, bool hover)
{
    if (disabled) return kStateDisabled;
    if (pushed || checkedAutoRadio) return kStatePressed;
    if (hover) return kStateHover;
    return kStateNormal;
}

RECT StripFrameRect(int stripWidth, int stripHeight, int state)
{
    const int frame = std::max(stripWidth, 0) / 4;
    const int s = std::clamp(state, 0, 3);
    return RECT{s * frame, 0, (s + 1) * frame, std::max(stripHeight, 0)};
}

PictureUniformity MeasureUniformity(const unsigned char* bits, int width, int height, int stride, int bytesPerPixel)
{
    PictureUniformity result;
    if (bits == nullptr || width <= 0 || height <= 0 || bytesPerPixel <= 0 || stride < width * bytesPerPixel) {
        return result;
    }
    const size_t rowBytes = static_cast<size_t>(width) * bytesPerPixel;
    result.rows = true;
    result.columns = true;
    for (int y = 0; y < height && (result.rows || result.columns); ++y) {
        const unsigned char* row = bits + static_cast<size_t>(y) * stride;
        if (result.rows && y > 0 && std::memcmp(row, bits, rowBytes) != 0) result.rows = false;
        for (int x = 1; result.columns && x < width; ++x) {
            if (std::memcmp(row + static_cast<size_t>(x) * bytesPerPixel, row, bytesPerPixel) != 0) {
                result.columns = false;
            }
        }
    }
    return result;
}

UINT ButtonTextAlignment(DWORD buttonStyle)
{
    // BS_CENTER is BS_LEFT|BS_RIGHT and BS_VCENTER is BS_TOP|BS_BOTTOM, so
    // "centre" also covers no bits and all bits of each axis.
    UINT horizontal = DT_CENTER;
    switch (buttonStyle & BS_CENTER) {
        case BS_LEFT: horizontal = DT_LEFT; break;
        case BS_RIGHT: horizontal = DT_RIGHT; break;
        default: break;
    }
    UINT vertical = DT_VCENTER;
    switch (buttonStyle & BS_VCENTER) {
        case BS_TOP: vertical = DT_TOP; break;
        case BS_BOTTOM: vertical = DT_BOTTOM; break;
        default: break;
    }
    return horizontal | vertical;
}

UINT StaticTextFormat(DWORD staticStyle)
{
    UINT format = DT_NOPREFIX;
    const DWORD type = staticStyle & SS_TYPEMASK;
    if (type == SS_CENTER) {
        format |= DT_CENTER;
    } else if (type == SS_RIGHT) {
        format |= DT_RIGHT;
    } else {
        format |= DT_LEFT;
    }
    if (staticStyle & SS_CENTERIMAGE) {
        format |= DT_SINGLELINE | DT_VCENTER;
    } else {
        format |= DT_WORDBREAK;
    }
    switch (staticStyle & SS_ELLIPSISMASK) {
        case SS_ENDELLIPSIS: format |= DT_END_ELLIPSIS; break;
        case SS_PATHELLIPSIS: format |= DT_PATH_ELLIPSIS; break;
        case SS_WORDELLIPSIS: format |= DT_WORD_ELLIPSIS; break;
        default: break;
    }
    return format;
}

RECT LinkTextRect(DWORD staticStyle, const RECT& client, int textWidth)
{
    const int clientWidth = client.right - client.left;
    const int width = std::clamp(textWidth, 0, clientWidth);
    RECT r = client;
    switch (staticStyle & SS_TYPEMASK) {
        case SS_LEFT: r.right = client.left + width; break;
        case SS_CENTER:
            r.left = client.left + (clientWidth - width) / 2;
            r.right = r.left + width;
            break;
        case SS_RIGHT: r.left = client.right - width; break;
        default: break;
    }
    return r;
}

POINT MainWindowPointToClient(POINT point, bool skinnedFrame, int leftFrameWidth, int topFrameHeight)
{
    if (skinnedFrame && leftFrameWidth > 0 && topFrameHeight > 0) {
        point.x -= leftFrameWidth;
        point.y -= topFrameHeight;
    }
    return point;
}

POINT CenteredOrigin(const RECT& area, SIZE size)
{
    const LONG x = area.left + (area.right - area.left - size.cx) / 2;
    const LONG y = area.top + (area.bottom - area.top - size.cy) / 2;
    return POINT{std::max<LONG>(x, 0), std::max<LONG>(y, 0)};
}

int ClampScrollPosition(int position, int contentSize, int pageSize)
{
    const int maxPosition = std::max(contentSize - pageSize, 0);
    return std::clamp(position, 0, maxPosition);
}

UINT NextAnimationFrame(UINT current, UINT count)
{
    if (count == 0) return 0;
    return (current + 1) % count;
}

}  // namespace Lumen
