#include "BufferDC.h"

namespace Lumen {

BufferDC::BufferDC(HDC target, const RECT& rect) : target_(target), rect_(rect)
{
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (target == nullptr || width <= 0 || height <= 0) return;
    memory_.Reset(::CreateCompatibleDC(target));
    // A 32-bit DIB rather than a device bitmap: every step of the paint runs
    // in GDI's own rasteriser, so blending and stretching give the same
    // pixels whatever the target device is.
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_.Reset(::CreateDIBSection(target, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!memory_ || !bitmap_) return;
    oldBitmap_ = ::SelectObject(memory_.Get(), bitmap_.Get());
    ::SetWindowOrgEx(memory_.Get(), rect.left, rect.top, nullptr);
    buffered_ = true;
}

BufferDC::~BufferDC()
{
    if (!buffered_) return;
    ::BitBlt(target_, rect_.left, rect_.top, rect_.right - rect_.left, rect_.bottom - rect_.top, memory_.Get(),
             rect_.left, rect_.top, SRCCOPY);
    ::SelectObject(memory_.Get(), oldBitmap_);
}

}  // namespace Lumen
