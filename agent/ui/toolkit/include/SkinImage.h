#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "BitmapDC.h"
#include "GdiHandles.h"

namespace Lumen {

// One picture of a skin: the bitmap from ImageLoader with its size and bit
// depth, drawn on one thread at a time. 32-bit pictures are drawn
// alpha-blended (source over, constant alpha 255, per-pixel alpha); others
// are copied, stretched with averaging (HALFTONE) unless copying pixels gives
// the same picture: an edge piece whose rows (or columns) are all alike is
// stretched along them by plain copying, many times cheaper and the same.
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
    bool uniformRows_ = false;
    bool uniformColumns_ = false;
    // The picture selected into a memory context of its own from its first
    // drawing on, so that a drawing neither makes a context nor selects into
    // one. Declared after the bitmap: it lets go of it first.
    mutable std::unique_ptr<BitmapDC> source_;
};

}  // namespace Lumen
