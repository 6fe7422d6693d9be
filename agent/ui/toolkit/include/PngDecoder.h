#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Lumen {

// Reads the PNG pictures a skin ships (8 bits per channel, RGB or RGBA, not
// interlaced, no transparency or colour-correction chunks) straight into
// device-independent bitmap rows, with zlib and without GDI+: decoding a
// small picture through GDI+ costs a codec look-up in the registry every
// time, which at start-up is paid for every picture of every window.
//
// Anything else (another format, a palette, 16-bit channels, interlacing,
// tRNS, gAMA, cHRM, iCCP) is refused, and so is any damage (bad CRC, short
// data, wrong sizes): the caller then reads the file with GDI+, which keeps
// its results and its error reports for those files.
class PngDecoder {
public:
    struct Image {
        int width = 0;
        int height = 0;
        // 32-bit BGRA (straight, not premultiplied) when the picture has an
        // alpha channel, else 24-bit BGR.
        bool alpha = false;
        // Top-down rows of `stride` bytes (a multiple of 4, as a DIB's).
        int stride = 0;
        std::vector<uint8_t> pixels;
    };

    // The picture's size and kind, and the row length of its pixels.
    struct Header {
        int width = 0;
        int height = 0;
        bool alpha = false;
        int stride = 0;
    };

    // False when `bytes` is not a PNG this decoder reads (see above).
    static bool Decode(const std::string& bytes, Image* image);

    // The same, into rows the caller provides: once the whole file has been
    // checked, `target` returns the first of `height` top-down rows of
    // `stride` bytes (a DIB section's bits, for instance), or null to give up.
    // The data is inflated a row at a time, so that no buffer of the whole
    // picture is needed besides the target. On false, the target holds no
    // picture and is to be thrown away.
    static bool Decode(const std::string& bytes, const std::function<uint8_t*(const Header&)>& target);

    // The largest picture accepted, in pixels (a damaged header must not make
    // the decoder allocate gigabytes); larger ones go to GDI+.
    static constexpr uint32_t kMaxPixels = 4096u * 4096u;
};

}  // namespace Lumen
