#include "PngDecoder.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <vector>

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
    if (image == nullptr) return false;
    Image decoded;
    const bool ok = Decode(bytes, [&decoded](const Header& header) {
        decoded.width = header.width;
        decoded.height = header.height;
        decoded.alpha = header.alpha;
        decoded.stride = header.stride;
        decoded.pixels.assign(static_cast<size_t>(header.stride) * static_cast<size_t>(header.height), 0);
        return decoded.pixels.data();
    });
    if (!ok) return false;
    *image = std::move(decoded);
    return true;
}

bool PngDecoder::Decode(const std::string& bytes, const std::function<uint8_t*(const Header&)>& target)
{
    if (!target || bytes.size() < sizeof(kSignature)) return false;
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

    const size_t stride = (rowLength + 3) & ~static_cast<size_t>(3);
    uint8_t* pixels = target(Header{static_cast<int>(width), static_cast<int>(height), alpha, static_cast<int>(stride)});
    if (pixels == nullptr) return false;

    z_stream stream = {};
    if (::inflateInit(&stream) != Z_OK) return false;
    struct StreamEnd {
        z_stream* stream;
        ~StreamEnd() { ::inflateEnd(stream); }
    } streamEnd{&stream};
    stream.next_in = reinterpret_cast<Bytef*>(compressed.data());
    stream.avail_in = static_cast<uInt>(compressed.size());

    // Two filtered rows at a time: the one being read and the one above it.
    std::vector<uint8_t> rows(2 * (rowLength + 1));
    uint8_t* row = rows.data();
    uint8_t* previous = nullptr;
    int status = Z_OK;
    for (uint32_t y = 0; y < height; ++y) {
        stream.next_out = row;
        stream.avail_out = static_cast<uInt>(rowLength + 1);
        while (stream.avail_out > 0) {
            if (status == Z_STREAM_END) return false;  // the data ends before the picture does
            status = ::inflate(&stream, Z_NO_FLUSH);
            if (status != Z_OK && status != Z_STREAM_END) return false;  // damaged, or cut short
        }
        if (!Unfilter(row[0], row + 1, previous != nullptr ? previous + 1 : nullptr, rowLength, bytesPerPixel)) {
            return false;
        }
        uint8_t* out = pixels + static_cast<size_t>(y) * stride;
        const uint8_t* in = row + 1;
        for (uint32_t x = 0; x < width; ++x, in += bytesPerPixel, out += bytesPerPixel) {
            out[0] = in[2];  // RGB(A) to BGR(A)
            out[1] = in[1];
            out[2] = in[0];
            if (alpha) out[3] = in[3];
        }
        previous = row;
        row = row == rows.data() ? rows.data() + rowLength + 1 : rows.data();
    }
    // The data must end with the picture, its checksum intact.
    if (status != Z_STREAM_END) {
        uint8_t extra = 0;
        stream.next_out = &extra;
        stream.avail_out = 1;
        status = ::inflate(&stream, Z_NO_FLUSH);
        if (status != Z_STREAM_END || stream.avail_out != 1) return false;
    }
    return true;
}

}  // namespace Lumen
