#pragma once

#include <windows.h>

#include <string>

#include "GdiHandles.h"

namespace Lumen {

// One picture of a skin: the bitmap from ImageLoader with its size and bit
// depth. 32-bit pictures are drawn alpha-blended (source over, constant
// alpha 255, per-pixel alpha); others are copied.
class SkinImage {
public:
    SkinImage() = default;

    // Loads `path`; on failure the previous picture is kept and false returned.
    bool Load(const std::wstring& path);
    void Reset();

    bool IsValid() const { return bitmap_.IsValid(); }
    HBITMAP Get() const { return bitmap_.Get(); }
    int Width() const { return width_; }
    int Height() const { return height_; }
    int BitsPerPixel() const { return bits_; }

    // Draws `source` (picture coordinates) stretched into `dest`.
    bool Draw(HDC dc, const RECT& dest, const RECT& source) const;
    // Draws the whole picture stretched into `dest`.
    bool Draw(HDC dc, const RECT& dest) const;
    // Draws the picture at its own size with its top-left corner at (x, y).
    bool DrawAt(HDC dc, int x, int y) const;
    // Draws frame `state` of a four-frame strip stretched into `dest`.
    bool DrawStripFrame(HDC dc, const RECT& dest, int state) const;

private:
    ScopedBitmap bitmap_;
    int width_ = 0;
    int height_ = 0;
    int bits_ = 0;
};

}  // namespace Lumen
