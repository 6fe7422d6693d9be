// The skin's PNG pictures, read by our own decoder. The chunk checksums of
// the input are put right first, so that the fuzzer reaches the header and
// data checks instead of stopping at the first checksum.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "PngDecoder.h"

namespace {

void FixChecksums(std::string& bytes)
{
    size_t at = 8;
    while (bytes.size() >= at + 12) {
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + at);
        const uint32_t length = (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
        if (length > bytes.size() - at - 12) return;
        const uint32_t crc = static_cast<uint32_t>(::crc32(::crc32(0L, Z_NULL, 0), p + 4, length + 4));
        for (int i = 0; i < 4; ++i) bytes[at + 8 + length + i] = static_cast<char>(crc >> (24 - 8 * i));
        at += 12 + static_cast<size_t>(length);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string bytes(reinterpret_cast<const char*>(data), size);
    // Half of the inputs keep their checksums, so that damaged ones are seen too.
    if (size > 0 && (data[size - 1] & 1) == 0) FixChecksums(bytes);

    Lumen::PngDecoder::Image image;
    image.width = -7;
    if (!Lumen::PngDecoder::Decode(bytes, &image)) {
        PAVO_FUZZ_CHECK(image.width == -7);  // a refusal leaves the output alone
        return 0;
    }
    const size_t bytesPerPixel = image.alpha ? 4 : 3;
    PAVO_FUZZ_CHECK(image.width > 0 && image.height > 0);
    PAVO_FUZZ_CHECK(static_cast<uint64_t>(image.width) * static_cast<uint64_t>(image.height) <=
                    Lumen::PngDecoder::kMaxPixels);
    PAVO_FUZZ_CHECK(image.stride % 4 == 0);
    PAVO_FUZZ_CHECK(static_cast<size_t>(image.stride) >= bytesPerPixel * static_cast<size_t>(image.width));
    PAVO_FUZZ_CHECK(image.pixels.size() == static_cast<size_t>(image.stride) * static_cast<size_t>(image.height));
    return 0;
}
