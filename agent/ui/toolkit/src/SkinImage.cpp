#include "SkinImage.h"

#include "BitmapDC.h"
#include "ControlGeometry.h"
#include "ImageLoader.h"

namespace Lumen {

bool SkinImage::Load(const std::wstring& path)
{
    ScopedBitmap loaded(ImageLoader::Load(path));
    if (!loaded) return false;
    BITMAP info = {};
    if (::GetObjectW(loaded.Get(), sizeof(info), &info) == 0) return false;
    bitmap_ = std::move(loaded);
    width_ = info.bmWidth;
    height_ = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
    bits_ = info.bmBitsPixel;
    return true;
}

void SkinImage::Reset()
{
    bitmap_.Reset();
    width_ = height_ = bits_ = 0;
}

bool SkinImage::Draw(HDC dc, const RECT& dest, const RECT& source) const
{
    if (!bitmap_ || dc == nullptr) return false;
    const int dw = dest.right - dest.left;
    const int dh = dest.bottom - dest.top;
    const int sw = source.right - source.left;
    const int sh = source.bottom - source.top;
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return false;
    BitmapDC source_dc(dc, bitmap_.Get());
    if (!source_dc) return false;
    if (bits_ == 32) {
        const BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        return ::AlphaBlend(dc, dest.left, dest.top, dw, dh, source_dc.Get(), source.left, source.top, sw, sh,
                            blend) != FALSE;
    }
    if (dw == sw && dh == sh) {
        return ::BitBlt(dc, dest.left, dest.top, dw, dh, source_dc.Get(), source.left, source.top, SRCCOPY) != FALSE;
    }
    const int oldMode = ::SetStretchBltMode(dc, HALFTONE);
    const BOOL ok =
        ::StretchBlt(dc, dest.left, dest.top, dw, dh, source_dc.Get(), source.left, source.top, sw, sh, SRCCOPY);
    ::SetStretchBltMode(dc, oldMode);
    return ok != FALSE;
}

bool SkinImage::Draw(HDC dc, const RECT& dest) const
{
    return Draw(dc, dest, RECT{0, 0, width_, height_});
}

bool SkinImage::DrawAt(HDC dc, int x, int y) const
{
    return Draw(dc, RECT{x, y, x + width_, y + height_}, RECT{0, 0, width_, height_});
}

bool SkinImage::DrawStripFrame(HDC dc, const RECT& dest, int state) const
{
    return Draw(dc, dest, StripFrameRect(width_, height_, state));
}

}  // namespace Lumen
