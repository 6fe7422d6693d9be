#pragma once

#include <windows.h>

#include "GdiHandles.h"

namespace Lumen {

// Off-screen drawing for one paint: a memory device context with a 32-bit
// bitmap of `rect`'s size, compatible with `target`. Drawing uses the target's
// coordinates (the origin is shifted); the destructor copies the result to
// `rect` on the target. When the buffer cannot be made, Get() is the target
// itself, so painting still happens, unbuffered.
class BufferDC {
public:
    BufferDC(HDC target, const RECT& rect);
    ~BufferDC();
    BufferDC(const BufferDC&) = delete;
    BufferDC& operator=(const BufferDC&) = delete;

    HDC Get() const { return buffered_ ? memory_.Get() : target_; }
    bool IsBuffered() const { return buffered_; }

private:
    HDC target_;
    RECT rect_;
    ScopedCreatedDC memory_;
    ScopedBitmap bitmap_;
    HGDIOBJ oldBitmap_ = nullptr;
    bool buffered_ = false;
};

}  // namespace Lumen
