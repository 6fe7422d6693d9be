#pragma once

#include <windows.h>

namespace Lumen {

// Drawing and placement rules of the skinned controls, kept apart from the
// windows so that they can be checked directly.

// Frames of a four-frame state strip.
enum StripState { kStateNormal = 0, kStateHover = 1, kStatePressed = 2, kStateDisabled = 3 };

// Disabled wins, then pushed (or a checked automatic radio button), then hover.
int SelectButtonState(bool disabled, bool pushed, bool checkedAutoRadio, bool hover);

// The source rectangle of `state`'s frame in a strip of four equal frames;
// each frame is the integer quarter of the strip's width.
RECT StripFrameRect(int stripWidth, int stripHeight, int state);

// Which way a picture can be stretched by copying its pixels with the same
// result as an averaging stretch: `rows` when every row equals the first
// (any height), `columns` when every pixel of a row equals the row's first
// (any width). `bits` is a top-down picture of `bytesPerPixel`-byte pixels,
// `stride` bytes a row; an empty picture is neither.
struct PictureUniformity {
    bool rows = false;
    bool columns = false;
};
PictureUniformity MeasureUniformity(const unsigned char* bits, int width, int height, int stride, int bytesPerPixel);

// DrawText placement (one of DT_LEFT/DT_CENTER/DT_RIGHT with one of
// DT_TOP/DT_VCENTER/DT_BOTTOM) for a button style's alignment bits.
UINT ButtonTextAlignment(DWORD buttonStyle);

// DrawText format of a static control's text for its style.
UINT StaticTextFormat(DWORD staticStyle);

// The part of a link's client area its text occupies: the measured text
// width placed by the static's alignment, over the full height. Any style
// other than left, centre or right text gives the whole client area.
RECT LinkTextRect(DWORD staticStyle, const RECT& client, int textWidth);

// A "main_window" position (relative to the main window's outer corner)
// turned into the main window's client coordinates: without a skinned frame
// that has both a left and a top picture the point is kept.
POINT MainWindowPointToClient(POINT point, bool skinnedFrame, int leftFrameWidth, int topFrameHeight);

// The top-left corner that centres a window of `size` on `area`, never left
// of or above the screen's origin.
POINT CenteredOrigin(const RECT& area, SIZE size);

// A scroll position clamped to [0, content - page] (0 when the page is larger).
int ClampScrollPosition(int position, int contentSize, int pageSize);

// Frame that follows `current` in an animation of `count` frames.
UINT NextAnimationFrame(UINT current, UINT count);

}  // namespace Lumen
