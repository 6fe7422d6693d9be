#include "FrameGeometry.h"

#include <initializer_list>

namespace Lumen {

namespace {

// Places a button of picture size `picture` with its right edge at `right`.
RECT PlaceButton(int right, int top, SIZE picture)
{
    const int width = picture.cx / 4;
    return RECT{right - width, top, right, top + picture.cy};
}

bool Contains(const RECT& rect, POINT point)
{
    return point.x >= rect.left && point.x < rect.right && point.y >= rect.top && point.y < rect.bottom;
}

}  // namespace

CaptionLayout LayoutCaptionButtons(const FrameLayoutInput& input)
{
    CaptionLayout layout;
    const int top = (input.topHeight - input.close.cy) / 2 + input.buttonMargin.y;
    int right = input.windowWidth - input.buttonMargin.x - input.rightWidth;
    layout.close = PlaceButton(right, top, input.close);
    right = layout.close.left;
    int buttonsWidth = layout.close.right - layout.close.left;

    const bool placeOthers = input.sysMenuType == 0 || input.sysMenuType == 1;
    const bool reserveAll = input.sysMenuType == 0;
    auto place = [&](bool wanted, SIZE picture, RECT* rect, bool* placed) {
        if (!wanted) return;
        right -= input.buttonGap;
        *rect = PlaceButton(right, top, picture);
        *placed = true;
        right = rect->left;
        buttonsWidth += rect->right - rect->left;
    };
    place(placeOthers && (reserveAll || input.hasMaximizeBox), input.maximize, &layout.maximize,
          &layout.placedMaximize);
    place(placeOthers && (reserveAll || input.hasMinimizeBox), input.minimize, &layout.minimize,
          &layout.placedMinimize);
    place(placeOthers, input.help, &layout.help, &layout.placedHelp);
    place(placeOthers, input.custom, &layout.custom, &layout.placedCustom);
    layout.textRight = input.windowWidth - buttonsWidth - 5 * input.buttonGap;
    return layout;
}

RECT CaptionButtonRect(const CaptionLayout& layout, int button)
{
    switch (button) {
    case kCaptionClose: return layout.close;
    case kCaptionMaximize: return layout.maximize;
    case kCaptionMinimize: return layout.minimize;
    case kCaptionHelp: return layout.help;
    case kCaptionCustom: return layout.custom;
    default: return RECT{};
    }
}

int CaptionButtonAt(const CaptionLayout& layout, POINT point)
{
    for (int button : {kCaptionClose, kCaptionMaximize, kCaptionMinimize, kCaptionHelp, kCaptionCustom}) {
        if (Contains(CaptionButtonRect(layout, button), point)) return button;
    }
    return kCaptionNone;
}

bool IsCaptionButtonEnabled(int button, LONG style, bool customEnabled)
{
    switch (button) {
    case kCaptionMinimize: return (style & WS_MINIMIZEBOX) != 0;
    case kCaptionMaximize: return (style & WS_MAXIMIZEBOX) != 0;
    case kCaptionClose: return (style & WS_SYSMENU) != 0;
    case kCaptionHelp: return true;
    case kCaptionCustom: return customEnabled;
    default: return false;
    }
}

int CaptionButtonState(int button, int hovered, int pressed, LONG style, bool customEnabled)
{
    // Close is drawn enabled whatever the style: the frame shows it always.
    const bool enabled = button == kCaptionClose || IsCaptionButtonEnabled(button, style, customEnabled);
    if (!enabled) return 3;
    if (button == pressed) return 2;
    if (button == hovered) return 1;
    return 0;
}

LRESULT SkinnedFrameHitTest(LRESULT defaultHit, bool frameSkinned, POINT point, SIZE windowSize, int topHeight,
                            const CaptionLayout& layout, LONG style)
{
    if (!frameSkinned || defaultHit == HTSYSMENU || point.y >= topHeight) return defaultHit;
    const int button = CaptionButtonAt(layout, point);
    if ((button == kCaptionMaximize && (style & WS_MAXIMIZEBOX) == 0) ||
        (button == kCaptionMinimize && (style & WS_MINIMIZEBOX) == 0) ||
        (button == kCaptionClose && (style & WS_SYSMENU) == 0)) {
        return HTNOWHERE;
    }
    if (point.x >= 2 && point.y >= 2 && point.x < windowSize.cx - 2 && point.y < windowSize.cy - 2) {
        return HTCAPTION;
    }
    return defaultHit;
}

RECT SkinnedClientRect(const RECT& window, int left, int top, int right, int bottom)
{
    RECT client{window.left + left, window.top + top, window.right - right, window.bottom - bottom};
    if (client.right < client.left) client.right = client.left;
    if (client.bottom < client.top) client.bottom = client.top;
    return client;
}

}  // namespace Lumen
