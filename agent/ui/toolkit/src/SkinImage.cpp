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
    source_.reset();
    bitmap_ = std::move(loaded);
    width_ = info.bmWidth;
    height_ = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
    bits_ = info.bmBitsPixel;
    DIBSECTION section = {};
    PictureUniformity uniformity;
    if (bits_ == 24 && ::GetObjectW(bitmap_.Get(), sizeof(section), &section) == sizeof(section) &&
        section.dsBmih.biHeight < 0) {
        uniformity = MeasureUniformity(static_cast<const unsigned char*>(section.dsBm.bmBits), width_, height_,
                                       section.dsBm.bmWidthBytes, 3);
    }
    uniformRows_ = uniformity.rows;
    uniformColumns_ = uniformity.columns;
    return true;
}

void SkinImage::Reset()
{
    source_.reset();
    bitmap_.Reset();
    width_ = height_ = bits_ = 0;
    uniformRows_ = uniformColumns_ = false;
}

bool SkinImage::Draw(HDC dc, const RECT& dest, const RECT& source) const
{
    if (!bitmap_ || dc == nullptr) return false;
    const int dw = dest.right - dest.left;
    const int dh = dest.bottom - dest.top;
    const int sw = source.right - source.left;
    const int sh = source.bottom - source.top;
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return false;
    if (!source_) {
        auto made = std::make_unique<BitmapDC>(nullptr, bitmap_.Get());
        if (!*made) return false;
        source_ = std::move(made);
    }
    const HDC source_dc = source_->Get();
    if (bits_ == 32) {
        const BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        return ::GdiAlphaBlend(dc, dest.left, dest.top, dw, dh, source_dc, source.left, source.top, sw, sh,
                               blend) != FALSE;
    }
    if (dw == sw && dh == sh) {
        return ::BitBlt(dc, dest.left, dest.top, dw, dh, source_dc, source.left, source.top, SRCCOPY) != FALSE;
    }
    const bool copyIsExact = (dw == sw || uniformColumns_) && (dh == sh || uniformRows_);
    const int oldMode = ::SetStretchBltMode(dc, copyIsExact ? COLORONCOLOR : HALFTONE);
    const BOOL ok =
        ::StretchBlt(dc, dest.left, dest.top, dw, dh, source_dc, source.left, source.top, sw, sh, SRCCOPY);
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
