#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace Lumen {

// Loads pictures (PNG, BMP, GIF, JPEG: whatever GDI+ reads) into
// device-independent bitmaps ready for painting. A picture with an alpha
// channel becomes a 32-bit bitmap with its colours premultiplied by alpha
// (for AlphaBlend with per-pixel alpha); any other becomes a 24-bit bitmap.
// GDI+ is started for the process on first use and kept until it ends.
// The PNG pictures of our skins are decoded without GDI+ (PngDecoder), to the
// same bitmaps; every other file goes through GDI+.
class ImageLoader {
public:
    // The bitmap, owned by the caller (DeleteObject); null when the file
    // cannot be read or GDI+ cannot be started.
    static HBITMAP Load(const std::wstring& path);
    // The same, always through GDI+.
    static HBITMAP LoadThroughGdiplus(const std::wstring& path);

    // Where Load reads files first: `read` gives a file's bytes by its path
    // (false: not there), `waitForDisk` is called before a file is opened by
    // GDI+. Empty functions read the disk, as without a source.
    static void SetFileSource(std::function<bool(const std::wstring&, std::string*)> read,
                              std::function<void()> waitForDisk);

    // Starts GDI+ once per process (thread-safe); false when it cannot be.
    static bool EnsureStarted();

    // Premultiplies 32-bit BGRA pixels in place: each colour channel becomes
    // channel * alpha / 255 for every pixel whose alpha is not 255.
    static void Premultiply(BYTE* pixels, size_t pixelCount);
};

}  // namespace Lumen
