#include <gtest/gtest.h>

#include "FontHelper.h"
#include "FrameGeometry.h"
#include "ResizeHandler.h"

namespace {

using namespace Lumen;

bool SameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// A 400-pixel-wide window, 30-pixel caption, 4-pixel right edge; every
// button picture a 4-frame strip of 20 x 16 frames.
FrameLayoutInput Input(int sysMenuType, bool minBox, bool maxBox)
{
    FrameLayoutInput input;
    input.windowWidth = 400;
    input.topHeight = 30;
    input.rightWidth = 4;
    input.buttonMargin = {6, 1};
    input.buttonGap = 2;
    input.sysMenuType = sysMenuType;
    input.hasMinimizeBox = minBox;
    input.hasMaximizeBox = maxBox;
    input.close = input.maximize = input.minimize = input.help = input.custom = SIZE{80, 16};
    return input;
}

TEST(FrameGeometryTest, CaptionButtonsArePlacedRightToLeftPerSysMenuType)
{
    // Type 0: every place, whatever the style.
    CaptionLayout layout = LayoutCaptionButtons(Input(0, false, false));
    // Close: right edge at 400 - 6 - 4 = 390, 20 wide, at (30 - 16) / 2 + 1 = 8.
    EXPECT_TRUE(SameRect(RECT{370, 8, 390, 24}, layout.close));
    EXPECT_TRUE(SameRect(RECT{348, 8, 368, 24}, layout.maximize));
    EXPECT_TRUE(SameRect(RECT{326, 8, 346, 24}, layout.minimize));
    EXPECT_TRUE(SameRect(RECT{304, 8, 324, 24}, layout.help));
    EXPECT_TRUE(SameRect(RECT{282, 8, 302, 24}, layout.custom));
    EXPECT_EQ(400 - 5 * 20 - 5 * 2, layout.textRight);

    // Type 1: only what the style offers.
    layout = LayoutCaptionButtons(Input(1, true, false));
    EXPECT_FALSE(layout.placedMaximize);
    EXPECT_TRUE(SameRect(RECT{348, 8, 368, 24}, layout.minimize));
    EXPECT_TRUE(SameRect(RECT{326, 8, 346, 24}, layout.help));
    EXPECT_EQ(400 - 4 * 20 - 5 * 2, layout.textRight);
    layout = LayoutCaptionButtons(Input(1, false, true));
    EXPECT_TRUE(layout.placedMaximize);
    EXPECT_FALSE(layout.placedMinimize);

    // Any other type: the close button alone, even with both boxes.
    layout = LayoutCaptionButtons(Input(2, true, true));
    EXPECT_TRUE(SameRect(RECT{370, 8, 390, 24}, layout.close));
    EXPECT_FALSE(layout.placedMaximize || layout.placedMinimize || layout.placedHelp || layout.placedCustom);
    EXPECT_EQ(kCaptionNone, CaptionButtonAt(layout, POINT{358, 12}));
    EXPECT_EQ(400 - 20 - 5 * 2, layout.textRight);

    // A strip whose width is no multiple of four uses the integer quarter;
    // a missing picture places nothing clickable.
    FrameLayoutInput odd = Input(2, false, false);
    odd.close = SIZE{83, 16};
    EXPECT_EQ(20, LayoutCaptionButtons(odd).close.right - LayoutCaptionButtons(odd).close.left);
    odd.close = SIZE{0, 0};
    EXPECT_EQ(kCaptionNone, CaptionButtonAt(LayoutCaptionButtons(odd), POINT{389, 15}));
}

constexpr LONG kStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;  // no maximise box

TEST(FrameGeometryTest, HitTestingOfTheCaptionBand)
{
    const CaptionLayout layout = LayoutCaptionButtons(Input(0, true, false));
    const SIZE window{400, 300};
    auto hit = [&](LRESULT defaultHit, POINT point, bool skinned = true, LONG s = kStyle) {
        return SkinnedFrameHitTest(defaultHit, skinned, point, window, 30, layout, s);
    };
    EXPECT_EQ(HTCAPTION, hit(HTCLIENT, POINT{100, 10}));
    EXPECT_EQ(HTCAPTION, hit(HTCLIENT, POINT{380, 12}));     // over close: the band drags
    EXPECT_EQ(HTCAPTION, hit(HTCLIENT, POINT{330, 12}));     // over minimise
    EXPECT_EQ(HTNOWHERE, hit(HTCLIENT, POINT{358, 12}));     // maximise without the box
    EXPECT_EQ(HTNOWHERE, hit(HTCLIENT, POINT{380, 12}, true, WS_CAPTION));  // close without system menu
    EXPECT_EQ(HTTOP, hit(HTTOP, POINT{100, 1}));             // the 2-pixel margin keeps the default
    EXPECT_EQ(HTLEFT, hit(HTLEFT, POINT{0, 10}));
    EXPECT_EQ(HTSYSMENU, hit(HTSYSMENU, POINT{10, 10}));
    EXPECT_EQ(HTCLIENT, hit(HTCLIENT, POINT{100, 30}));      // below the band
    EXPECT_EQ(HTCLIENT, hit(HTCLIENT, POINT{100, 10}, false));  // frame not skinned
}

TEST(FrameGeometryTest, ButtonStateFrames)
{
    const LONG style = WS_SYSMENU | WS_MINIMIZEBOX;
    EXPECT_EQ(3, CaptionButtonState(kCaptionMaximize, kCaptionMaximize, kCaptionNone, style, true));
    EXPECT_EQ(0, CaptionButtonState(kCaptionMinimize, kCaptionClose, kCaptionNone, style, true));
    EXPECT_EQ(1, CaptionButtonState(kCaptionMinimize, kCaptionMinimize, kCaptionNone, style, true));
    EXPECT_EQ(2, CaptionButtonState(kCaptionMinimize, kCaptionMinimize, kCaptionMinimize, style, true));
    EXPECT_EQ(0, CaptionButtonState(kCaptionClose, kCaptionNone, kCaptionNone, 0, true));  // always enabled
    EXPECT_EQ(1, CaptionButtonState(kCaptionHelp, kCaptionHelp, kCaptionNone, 0, false));
    EXPECT_EQ(3, CaptionButtonState(kCaptionCustom, kCaptionCustom, kCaptionCustom, style, false));
    EXPECT_EQ(2, CaptionButtonState(kCaptionCustom, kCaptionCustom, kCaptionCustom, style, true));
}

TEST(FrameGeometryTest, ClientAreaAndAnchors)
{
    EXPECT_TRUE(SameRect(RECT{104, 230, 296, 395}, SkinnedClientRect(RECT{100, 200, 300, 400}, 4, 30, 4, 5)));
    EXPECT_TRUE(SameRect(RECT{10, 40, 10, 40}, SkinnedClientRect(RECT{0, 0, 20, 50}, 10, 40, 30, 30)));

    const RECT child{10, 20, 60, 40};
    const SIZE from{200, 100};
    const SIZE to{260, 130};
    EXPECT_TRUE(SameRect(child, ResizeHandler::AnchoredRect(child, from, to, ResizeHandler::kAnchorTopLeft)));
    EXPECT_TRUE(SameRect(RECT{10, 20, 120, 70}, ResizeHandler::AnchoredRect(child, from, to, ResizeHandler::kAnchorAll)));
    EXPECT_TRUE(SameRect(RECT{70, 50, 120, 70}, ResizeHandler::AnchoredRect(child, from, to,
                                                                             ResizeHandler::kAnchorRight |
                                                                                 ResizeHandler::kAnchorBottom)));
}

TEST(FrameGeometryTest, FontSizeKeepsItsPixelHeightAtEveryScaling)
{
    // 12 points at 96 dpi are 16 pixels; the same at 125 % (120 dpi) and
    // 150 % (144 dpi) scaling.
    EXPECT_EQ(-16, FontHelper::PointSizeToHeight(12, 96, 96));
    EXPECT_EQ(-16, FontHelper::PointSizeToHeight(12, 120, 120));
    EXPECT_EQ(-16, FontHelper::PointSizeToHeight(12, 144, 144));
    EXPECT_EQ(-13, FontHelper::PointSizeToHeight(10, 96, 96));
    EXPECT_EQ(-13, FontHelper::PointSizeToHeight(10, 120, 120));
    EXPECT_EQ(-12, FontHelper::PointSizeToHeight(9, 120, 120));
    EXPECT_EQ(0, FontHelper::PointSizeToHeight(12, 0, 96));
}

}  // namespace
