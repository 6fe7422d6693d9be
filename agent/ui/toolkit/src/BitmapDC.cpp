#include "BitmapDC.h"

namespace Lumen {

BitmapDC::BitmapDC(HDC compatible, HBITMAP bitmap) : dc_(::CreateCompatibleDC(compatible))
{
    if (dc_ && bitmap != nullptr) {
        oldBitmap_ = ::SelectObject(dc_.Get(), bitmap);
        if (oldBitmap_ == HGDI_ERROR) oldBitmap_ = nullptr;
    }
}

BitmapDC::~BitmapDC()
{
    if (oldBitmap_ != nullptr) ::SelectObject(dc_.Get(), oldBitmap_);
}

}  // namespace Lumen
