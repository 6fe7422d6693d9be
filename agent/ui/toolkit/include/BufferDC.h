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

// For a control that draws its whole client area itself: answers WM_PAINT and
// WM_PRINTCLIENT through paint(dc) and skips the erase, which the painting
// covers. Returns false, leaving result alone, for every other message.
template <typename PaintFunction>
bool HandleSelfPaint(HWND hwnd, UINT message, WPARAM wParam, LRESULT& result, PaintFunction&& paint)
{
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = ::BeginPaint(hwnd, &ps);
            if (dc != nullptr) paint(dc);
            ::EndPaint(hwnd, &ps);
            result = 0;
            return true;
        }
        case WM_PRINTCLIENT:
            paint(reinterpret_cast<HDC>(wParam));
            result = 0;
            return true;
        case WM_ERASEBKGND:
            result = 1;
            return true;
        default:
            return false;
    }
}

}  // namespace Lumen
