#pragma once

#include <windows.h>

#include "GdiHandles.h"

namespace Lumen {

// A kept picture of what a parent window paints behind one of its children,
// so that a transparent-looking child need not make its parent repaint on
// every paint. The parent is asked to print its client area (WM_PRINTCLIENT)
// into a buffer of the child's size, over the dialog face colour for parents
// that do not answer it. UI thread only.
class ParentBackground {
public:
    // Copies the snapshot to `dc` at (0, 0), taking it first when there is none.
    void Draw(HWND child, HDC dc);
    // Forgets the snapshot; the next Draw takes a new one.
    void Discard() { bitmap_.Reset(); }
    bool HasSnapshot() const { return bitmap_.IsValid(); }

private:
    bool Take(HWND child, HDC compatible);

    ScopedBitmap bitmap_;
    SIZE size_{0, 0};
};

}  // namespace Lumen
