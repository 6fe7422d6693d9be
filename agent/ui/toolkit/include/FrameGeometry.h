#pragma once

#include <windows.h>

namespace Lumen {

// The geometry of the skinned dialog frame: caption-button placement, the
// caption text area, hit testing and button states, as plain functions.
// Coordinates are relative to the window's outer top-left corner.

// Hit codes of the caption buttons (the system's where it has one).
enum CaptionButton : int {
    kCaptionNone = 0,
    kCaptionMinimize = HTMINBUTTON,  // 8
    kCaptionMaximize = HTMAXBUTTON,  // 9: maximise or restore
    kCaptionClose = HTCLOSE,         // 20
    kCaptionHelp = HTHELP,           // 21
    kCaptionCustom = 22,
};

struct FrameLayoutInput {
    int windowWidth = 0;
    int topHeight = 0;    // T: the top picture's height
    int rightWidth = 0;   // R: the right picture's width
    POINT buttonMargin = {0, 0};
    int buttonGap = 0;
    int sysMenuType = 0;  // 0 all places, 1 what the style offers, other: close only
    bool hasMinimizeBox = false;
    bool hasMaximizeBox = false;
    // Sizes of the button pictures (four-frame strips: a button is a quarter
    // as wide); the maximise place uses the maximise picture's size.
    SIZE close = {0, 0};
    SIZE maximize = {0, 0};
    SIZE minimize = {0, 0};
    SIZE help = {0, 0};
    SIZE custom = {0, 0};
};

struct CaptionLayout {
    // An empty rectangle for a button that is not placed.
    RECT close = {};
    RECT maximize = {};
    RECT minimize = {};
    RECT help = {};
    RECT custom = {};
    bool placedMaximize = false;
    bool placedMinimize = false;
    bool placedHelp = false;
    bool placedCustom = false;
    // Right end of the caption text area.
    int textRight = 0;
};

CaptionLayout LayoutCaptionButtons(const FrameLayoutInput& input);

// The caption button at `point`, or kCaptionNone.
int CaptionButtonAt(const CaptionLayout& layout, POINT point);
// The rectangle of `button` (empty for kCaptionNone).
RECT CaptionButtonRect(const CaptionLayout& layout, int button);

// WM_NCHITTEST of a skinned frame. `defaultHit` is the system's answer;
// `point` is window-relative; `windowSize` the window's outer size.
LRESULT SkinnedFrameHitTest(LRESULT defaultHit, bool frameSkinned, POINT point, SIZE windowSize, int topHeight,
                            const CaptionLayout& layout, LONG style);

// Whether a caption button reacts under `style` (and the custom button's
// enabled flag): minimise needs the minimise box, maximise the maximise box,
// close the system menu; help always; custom while enabled.
bool IsCaptionButtonEnabled(int button, LONG style, bool customEnabled);
// The frame of the four-frame strip a button shows: 3 disabled, else 2 while
// it is pressed, 1 while hovered, 0 otherwise.
int CaptionButtonState(int button, int hovered, int pressed, LONG style, bool customEnabled);

// The client rectangle of a skinned frame inside `window` (any coordinates).
RECT SkinnedClientRect(const RECT& window, int left, int top, int right, int bottom);

}  // namespace Lumen
