#include "BufferDC.h"

namespace Lumen {

BufferDC::BufferDC(HDC target, const RECT& rect) : target_(target), rect_(rect)
{
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (target == nullptr || width <= 0 || height <= 0) return;
    memory_.Reset(::CreateCompatibleDC(target));
    bitmap_.Reset(::CreateCompatibleBitmap(target, width, height));
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
