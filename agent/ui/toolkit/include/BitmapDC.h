#pragma once

#include <windows.h>

#include "GdiHandles.h"

namespace Lumen {

// A memory device context compatible with `compatible` with `bitmap`
// selected into it for one drawing step; the bitmap is deselected and the
// context deleted at the end of the scope. The bitmap stays the caller's.
class BitmapDC {
public:
    BitmapDC(HDC compatible, HBITMAP bitmap);
    ~BitmapDC();
    BitmapDC(const BitmapDC&) = delete;
    BitmapDC& operator=(const BitmapDC&) = delete;

    HDC Get() const { return dc_.Get(); }
    explicit operator bool() const { return oldBitmap_ != nullptr; }

private:
    ScopedCreatedDC dc_;
    HGDIOBJ oldBitmap_ = nullptr;
};

}  // namespace Lumen
