#pragma once

#include <windows.h>

namespace Lumen {

// Selects `font` into `dc` for a scope and restores the previous font. A null
// font selects nothing.
class FontDC {
public:
    FontDC(HDC dc, HFONT font) : dc_(dc), old_(font != nullptr ? ::SelectObject(dc, font) : nullptr) {}
    ~FontDC()
    {
        if (old_ != nullptr && old_ != HGDI_ERROR) ::SelectObject(dc_, old_);
    }
    FontDC(const FontDC&) = delete;
    FontDC& operator=(const FontDC&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

}  // namespace Lumen
