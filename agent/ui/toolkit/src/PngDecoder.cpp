#include "PngDecoder.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>

namespace Lumen {

namespace {

constexpr size_t kMaxDeflateRatio = 1040;
constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

uint32_t ReadBigEndian(const uint8_t* p)
{
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

bool IsType(const uint8_t* type, const char* name)
{
    return std::memcmp(type, name, 4) == 0;
}

uint8_t Paeth(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = std::abs(p - a);
    const int pb = std::abs(p - b);
    const int pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return static_cast<uint8_t>(a);
    return static_cast<uint8_t>(pb <= pc ? b : c);
}

// Undoes the filter of one row in place; `previous` is the unfiltered row
// above (null for the first row). False for an unknown filter type.
bool Unfilter(uint8_t filter, uint8_t* row, const uint8_t* previous, size_t length, size_t bytesPerPixel)
{
    for (size_t i = 0; i < length; ++i) {
        const int left = i >= bytesPerPixel ? row[i - bytesPerPixel] : 0;
        const int up = previous != nullptr ? previous[i] : 0;
        const int upLeft = previous != nullptr && i >= bytesPerPixel ? previous[i - bytesPerPixel] : 0;
        switch (filter) {
        case 0: break;
        case 1: row[i] = static_cast<uint8_t>(row[i] + left); break;
        case 2: row[i] = static_cast<uint8_t>(row[i] + up); break;
        case 3: row[i] = static_cast<uint8_t>(row[i] + ((left + up) >> 1)); break;
        case 4: row[i] = static_cast<uint8_t>(row[i] + Paeth(left, up, upLeft)); break;
        default: return false;
        }
    }
    return true;
}

}  // namespace

bool PngDecoder::Decode(const std::string& bytes, Image* image)
{
    if (image == nullptr || bytes.size() < sizeof(kSignature)) return false;
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    if (std::memcmp(data, kSignature, sizeof(kSignature)) != 0) return false;

    uint32_t width = 0;
    uint32_t height = 0;
    bool alpha = false;
    bool header = false;
    bool end = false;
    std::string compressed;
    size_t at = sizeof(kSignature);
    while (!end) {
        if (bytes.size() - at < 12) return false;
        const uint32_t length = ReadBigEndian(data + at);
        const uint8_t* type = data + at + 4;
        if (length > bytes.size() - at - 12) return false;
        const uint8_t* body = type + 4;
        const uint32_t crc = ReadBigEndian(body + length);
        if (crc != static_cast<uint32_t>(::crc32(::crc32(0L, Z_NULL, 0), type, length + 4))) return false;
        if (!header && !IsType(type, "IHDR")) return false;
        if (IsType(type, "IHDR")) {
            if (header || length != 13) return false;
            width = ReadBigEndian(body);
            height = ReadBigEndian(body + 4);
            const uint8_t depth = body[8];
            const uint8_t colour = body[9];
            if (width == 0 || height == 0 || width > kMaxPixels / height) return false;
            // Compression method, filter method and interlacing must all be 0.
            if (depth != 8 || (colour != 2 && colour != 6) || body[10] != 0 || body[11] != 0 || body[12] != 0) {
                return false;
            }
            alpha = colour == 6;
            header = true;
        } else if (IsType(type, "IDAT")) {
            compressed.append(reinterpret_cast<const char*>(body), length);
        } else if (IsType(type, "IEND")) {
            end = true;
        } else if (IsType(type, "tRNS") || IsType(type, "gAMA") || IsType(type, "cHRM") || IsType(type, "iCCP")) {
            return false;  // colours that GDI+ would change
        } else if ((type[0] & 0x20) == 0) {
            return false;  // an unknown critical chunk (PLTE cannot occur with these colour types)
        }
        at += 12 + static_cast<size_t>(length);
    }
    if (compressed.empty()) return false;

    const size_t bytesPerPixel = alpha ? 4 : 3;
    const size_t rowLength = bytesPerPixel * width;
    const size_t rawLength = (rowLength + 1) * height;
    // Deflate gives at most about 1032 bytes for one: a header that claims
    // more than the data could hold is refused before anything is allocated.
    if (rawLength / kMaxDeflateRatio > compressed.size()) return false;
    std::vector<uint8_t> raw(rawLength);
    uLongf produced = static_cast<uLongf>(rawLength);
    if (::uncompress(raw.data(), &produced, reinterpret_cast<const Bytef*>(compressed.data()),
                     static_cast<uLong>(compressed.size())) != Z_OK ||
        produced != rawLength) {
        return false;
    }

    const int stride = static_cast<int>((rowLength + 3) & ~static_cast<size_t>(3));
    std::vector<uint8_t> pixels(static_cast<size_t>(stride) * height);
    const uint8_t* previous = nullptr;
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = raw.data() + y * (rowLength + 1);
        if (!Unfilter(row[0], row + 1, previous, rowLength, bytesPerPixel)) return false;
        previous = row + 1;
        uint8_t* out = pixels.data() + static_cast<size_t>(y) * stride;
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t* in = row + 1 + x * bytesPerPixel;
            uint8_t* dest = out + x * bytesPerPixel;
            dest[0] = in[2];  // RGB(A) to BGR(A)
            dest[1] = in[1];
            dest[2] = in[0];
            if (alpha) dest[3] = in[3];
        }
    }
    image->width = static_cast<int>(width);
    image->height = static_cast<int>(height);
    image->alpha = alpha;
    image->stride = stride;
    image->pixels = std::move(pixels);
    return true;
}

}  // namespace Lumen
