#pragma once

#include <windows.h>

namespace Lumen {

// Prints a window and every visible window inside it into a DC, each at its
// place, the bottom of the z-order first: the picture the screen shows of
// that window. WM_PRINT's own PRF_CHILDREN is not used because not every
// system honours it (Wine prints the window alone). Each window is asked for
// its frame (WM_PRINT with PRF_NONCLIENT) and then for its client area at
// the client origin (WM_PRINT with PRF_CLIENT | PRF_ERASEBKGND), clipped to
// its own rectangle. UI thread only.
class WindowPrinter {
public:
    // Draws at `dc`'s origin, which must have no viewport offset of its own:
    // the window's client origin lands at (0, 0). False when the window is
    // missing or hidden; nothing is drawn then.
    static bool Print(HWND window, HDC dc);

private:
    static void PrintChildren(HWND parent, HDC dc, POINT parentOrigin, const RECT& parentClip, int depth);
};

}  // namespace Lumen
