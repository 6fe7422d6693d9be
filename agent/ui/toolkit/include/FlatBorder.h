#pragma once

#include <windows.h>

namespace Lumen {

// The non-client area of the toolkit's bordered windows: a 1-pixel border
// in `color` on white. Call from WM_NCPAINT; WM_NCCALCSIZE shrinks the
// client area by one pixel on every side.
void PaintFlatBorder(HWND hwnd, COLORREF color);

}  // namespace Lumen
