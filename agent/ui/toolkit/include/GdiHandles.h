#pragma once

#include <windows.h>

#include "Lumen/UniqueHandle.h"

namespace Lumen {

// Owners of GDI objects and window-system handles, on the UniqueHandle traits.

// Any GDI object freed with DeleteObject (bitmap, font, brush, pen, region).
template <typename T>
struct GdiObjectTraits {
    using Type = T;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr; }
    static void Close(Type h) noexcept { ::DeleteObject(h); }
};

// A device context made with CreateCompatibleDC / CreateDCW.
struct CreatedDCTraits {
    using Type = HDC;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr; }
    static void Close(Type h) noexcept { ::DeleteDC(h); }
};

// A window this object created and destroys (not for bound dialog children).
struct WindowHandleTraits {
    using Type = HWND;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr; }
    static void Close(Type h) noexcept
    {
        if (::IsWindow(h)) ::DestroyWindow(h);
    }
};

// A window hook of this thread (SetWindowsHookExW).
struct HookHandleTraits {
    using Type = HHOOK;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr; }
    static void Close(Type h) noexcept { ::UnhookWindowsHookEx(h); }
};

using ScopedBitmap = UniqueHandle<GdiObjectTraits<HBITMAP>>;
using ScopedFont = UniqueHandle<GdiObjectTraits<HFONT>>;
using ScopedBrush = UniqueHandle<GdiObjectTraits<HBRUSH>>;
using ScopedPen = UniqueHandle<GdiObjectTraits<HPEN>>;
using ScopedRegion = UniqueHandle<GdiObjectTraits<HRGN>>;
using ScopedCreatedDC = UniqueHandle<CreatedDCTraits>;
using ScopedWindow = UniqueHandle<WindowHandleTraits>;
using ScopedHook = UniqueHandle<HookHandleTraits>;

// A device context from GetDC, released to its window.
class ScopedGetDC {
public:
    explicit ScopedGetDC(HWND hwnd) : hwnd_(hwnd), dc_(::GetDC(hwnd)) {}
    ~ScopedGetDC()
    {
        if (dc_ != nullptr) ::ReleaseDC(hwnd_, dc_);
    }
    ScopedGetDC(const ScopedGetDC&) = delete;
    ScopedGetDC& operator=(const ScopedGetDC&) = delete;
    HDC Get() const { return dc_; }

private:
    HWND hwnd_;
    HDC dc_;
};

}  // namespace Lumen
