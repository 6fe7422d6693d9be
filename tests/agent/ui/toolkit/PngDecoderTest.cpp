#include <gtest/gtest.h>

#include <windows.h>

#include <zlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "DirectoryUtils.h"
#include "GdiHandles.h"
#include "ImageLoader.h"
#include "Lumen/FileUtils.h"
#include "Lumen/PathUtils.h"
#include "PngDecoder.h"
#include "TestImages.h"
#include "ZipFormat.h"
#include "ZipTestSupport.h"

namespace {

using Lumen::ImageLoader;
using Lumen::JoinPath;
using Lumen::PngDecoder;
using Lumen::ScopedBitmap;

void PutBigEndian(std::string& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

void PutChunk(std::string& out, const char* type, const std::string& body)
{
    PutBigEndian(out, static_cast<uint32_t>(body.size()));
    const std::string typed = std::string(type, 4) + body;
    out += typed;
    PutBigEndian(out, static_cast<uint32_t>(::crc32(::crc32(0L, Z_NULL, 0),
                                                    reinterpret_cast<const Bytef*>(typed.data()),
                                                    static_cast<uInt>(typed.size()))));
}

std::string Header(uint32_t width, uint32_t height, int depth, int colour, int interlace)
{
    std::string ihdr;
    PutBigEndian(ihdr, width);
    PutBigEndian(ihdr, height);
    ihdr += static_cast<char>(depth);
    ihdr += static_cast<char>(colour);
    ihdr += '\0';
    ihdr += '\0';
    ihdr += static_cast<char>(interlace);
    return ihdr;
}

std::string Compress(const std::string& raw)
{
    uLongf size = ::compressBound(static_cast<uLong>(raw.size()));
    std::string out(size, '\0');
    if (::compress(reinterpret_cast<Bytef*>(&out[0]), &size, reinterpret_cast<const Bytef*>(raw.data()),
                   static_cast<uLong>(raw.size())) != Z_OK) {
        return {};
    }
    out.resize(size);
    return out;
}

int Paeth(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : (pb <= pc ? b : c);
}

// A PNG of `pixels` (RGB or RGBA rows) whose row y is stored with filter
// type filters[y % filters.size()], as an encoder may choose them.
std::string EncodePng(int width, int height, bool alpha, const std::vector<uint8_t>& pixels,
                      const std::vector<int>& filters, const std::string& extraChunk = {})
{
    const size_t bpp = alpha ? 4 : 3;
    const size_t row = bpp * width;
    std::string raw;
    for (int y = 0; y < height; ++y) {
        const int filter = filters[y % filters.size()];
        raw += static_cast<char>(filter);
        for (size_t i = 0; i < row; ++i) {
            const int x = pixels[y * row + i];
            const int a = i >= bpp ? pixels[y * row + i - bpp] : 0;
            const int b = y > 0 ? pixels[(y - 1) * row + i] : 0;
            const int c = y > 0 && i >= bpp ? pixels[(y - 1) * row + i - bpp] : 0;
            const int predicted = filter == 1 ? a : filter == 2 ? b : filter == 3 ? (a + b) / 2
                                                                 : filter == 4 ? Paeth(a, b, c) : 0;
            raw += static_cast<char>((x - predicted) & 0xFF);
        }
    }
    std::string png("\x89PNG\r\n\x1A\n", 8);
    PutChunk(png, "IHDR", Header(width, height, 8, alpha ? 6 : 2, 0));
    if (!extraChunk.empty()) png += extraChunk;
    PutChunk(png, "IDAT", Compress(raw));
    PutChunk(png, "IEND", "");
    return png;
}

std::vector<uint8_t> Pattern(int width, int height, bool alpha)
{
    std::vector<uint8_t> pixels;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            pixels.push_back(static_cast<uint8_t>(x * 37 + y * 11));
            pixels.push_back(static_cast<uint8_t>(255 - x * 13 - y * 29));
            pixels.push_back(static_cast<uint8_t>((x * y * 7) ^ 0x5A));
            if (alpha) pixels.push_back(static_cast<uint8_t>(x == 0 ? 0 : x == 1 ? 255 : 40 * y + 3));
        }
    }
    return pixels;
}

// Size, depth and every pixel of the two bitmaps agree.
void ExpectSameBitmap(HBITMAP actual, HBITMAP expected, const std::wstring& what)
{
    ASSERT_NE(actual, nullptr) << what;
    ASSERT_NE(expected, nullptr) << what;
    DIBSECTION a = {};
    DIBSECTION e = {};
    ASSERT_NE(::GetObjectW(actual, sizeof(a), &a), 0) << what;
    ASSERT_NE(::GetObjectW(expected, sizeof(e), &e), 0) << what;
    ASSERT_EQ(a.dsBm.bmWidth, e.dsBm.bmWidth) << what;
    ASSERT_EQ(a.dsBm.bmHeight, e.dsBm.bmHeight) << what;
    ASSERT_EQ(a.dsBm.bmBitsPixel, e.dsBm.bmBitsPixel) << what;
    ASSERT_EQ(a.dsBm.bmWidthBytes, e.dsBm.bmWidthBytes) << what;
    const size_t used = static_cast<size_t>(a.dsBm.bmWidth) * a.dsBm.bmBitsPixel / 8;
    for (int y = 0; y < a.dsBm.bmHeight; ++y) {
        const auto* ra = static_cast<const uint8_t*>(a.dsBm.bmBits) + static_cast<size_t>(y) * a.dsBm.bmWidthBytes;
        const auto* re = static_cast<const uint8_t*>(e.dsBm.bmBits) + static_cast<size_t>(y) * e.dsBm.bmWidthBytes;
        ASSERT_EQ(0, std::memcmp(ra, re, used)) << what << ", row " << y;
    }
}

class PngDecoderTest : public ::testing::Test {
protected:
    void SetUp() override { dir_ = ToolkitTest::MakeTempFolder(L"png-test"); }
    void TearDown() override { Lumen::DeleteDirectoryTree(dir_); }

    std::wstring Write(const wchar_t* name, const std::string& bytes)
    {
        const std::wstring path = JoinPath(dir_, name);
        HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        const bool ok = file != INVALID_HANDLE_VALUE &&
                        ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
        EXPECT_TRUE(ok && written == bytes.size());
        return path;
    }

    std::wstring dir_;
};

TEST_F(PngDecoderTest, EveryRowFilterGivesThePixelsBackAsGdiplusReadsThem)
{
    for (const bool alpha : {false, true}) {
        const int width = 7;
        const int height = 10;
        const std::vector<uint8_t> pixels = Pattern(width, height, alpha);
        const std::string png = EncodePng(width, height, alpha, pixels, {0, 1, 2, 3, 4});

        PngDecoder::Image image;
        ASSERT_TRUE(PngDecoder::Decode(png, &image));
        EXPECT_EQ(image.width, width);
        EXPECT_EQ(image.height, height);
        EXPECT_EQ(image.alpha, alpha);
        const int bpp = alpha ? 4 : 3;
        EXPECT_EQ(image.stride, (width * bpp + 3) & ~3);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const uint8_t* in = &pixels[(y * width + x) * bpp];
                const uint8_t* out = &image.pixels[y * image.stride + x * bpp];
                ASSERT_EQ(out[0], in[2]) << x << "," << y;  // stored as BGR(A)
                ASSERT_EQ(out[1], in[1]) << x << "," << y;
                ASSERT_EQ(out[2], in[0]) << x << "," << y;
                if (alpha) {
                    ASSERT_EQ(out[3], in[3]) << x << "," << y;
                }
            }
        }
        // The bitmap handed to the windows is the one GDI+ makes of the file.
        const std::wstring path = Write(alpha ? L"filters32.png" : L"filters24.png", png);
        ScopedBitmap fast(ImageLoader::Load(path));
        ScopedBitmap gdiplus(ImageLoader::LoadThroughGdiplus(path));
        ExpectSameBitmap(fast.Get(), gdiplus.Get(), path);
    }
}

TEST_F(PngDecoderTest, ShippedSkinPicturesTakeTheFastPathToTheSameBitmaps)
{
    const std::wstring archive = JoinPath(Lumen::GetModuleDirectory(), L"skin\\PavoAgent_default.zip");
    Lumen::ZipFormat zip;
    ASSERT_TRUE(zip.Open(archive, Lumen::FormatBase::OpenMode::kRead)) << "the build puts the skin beside the tests";
    const std::wstring unpacked = JoinPath(dir_, L"skin");
    ASSERT_TRUE(zip.ExtractAll(unpacked));
    zip.Close();

    int compared = 0;
    for (const wchar_t* folder : {L"100", L"100\\product_icons"}) {
        for (const std::wstring& path : Lumen::ListFiles(JoinPath(unpacked, folder))) {
            if (path.size() < 4 || _wcsicmp(path.c_str() + path.size() - 4, L".png") != 0) continue;
            std::string bytes;
            ASSERT_TRUE(Lumen::ReadWholeFile(path, bytes)) << path;
            PngDecoder::Image image;
            EXPECT_TRUE(PngDecoder::Decode(bytes, &image)) << path << " would be decoded by GDI+ at start-up";
            ScopedBitmap fast(ImageLoader::Load(path));
            ScopedBitmap gdiplus(ImageLoader::LoadThroughGdiplus(path));
            ExpectSameBitmap(fast.Get(), gdiplus.Get(), path);
            ++compared;
        }
    }
    EXPECT_GE(compared, 20);

    // Pictures written by GDI+'s own encoder load the same either way too.
    const std::wstring written = JoinPath(dir_, L"encoded.png");
    ASSERT_TRUE(ToolkitTest::WritePng(
        written, 9, 5, true, [](int x, int y, void*) { return 0x80000000u * (x & 1) + 0x7F00FFu + y * 0x10u; },
        nullptr));
    ScopedBitmap fast(ImageLoader::Load(written));
    ScopedBitmap gdiplus(ImageLoader::LoadThroughGdiplus(written));
    ExpectSameBitmap(fast.Get(), gdiplus.Get(), written);
}

TEST_F(PngDecoderTest, LeavesToGdiplusWhatItDoesNotReadAndSurvivesDamage)
{
    const std::vector<uint8_t> pixels = Pattern(4, 3, true);
    const std::string good = EncodePng(4, 3, true, pixels, {4});
    PngDecoder::Image image;
    ASSERT_TRUE(PngDecoder::Decode(good, &image));

    auto withHeader = [&](uint32_t w, uint32_t h, int depth, int colour, int interlace) {
        std::string png("\x89PNG\r\n\x1A\n", 8);
        PutChunk(png, "IHDR", Header(w, h, depth, colour, interlace));
        png += good.substr(8 + 25);  // the good picture's IDAT and IEND
        return png;
    };
    std::string trns;
    PutChunk(trns, "tRNS", std::string(6, '\0'));
    std::string gama;
    PutChunk(gama, "gAMA", std::string("\0\0\xB1\x8F", 4));
    std::string critical;
    PutChunk(critical, "ABCD", "x");
    std::string ancillary;
    PutChunk(ancillary, "tEXt", "Comment\0ours");
    const struct {
        const char* what;
        std::string bytes;
        bool decoded;
    } cases[] = {
        {"a text chunk is ignored", EncodePng(4, 3, true, pixels, {4}, ancillary), true},
        {"16-bit channels", withHeader(4, 3, 16, 6, 0), false},
        {"palette", withHeader(4, 3, 8, 3, 0), false},
        {"grey", withHeader(4, 3, 8, 0, 0), false},
        {"interlaced", withHeader(4, 3, 8, 6, 1), false},
        {"zero width", withHeader(0, 3, 8, 6, 0), false},
        {"beyond the size limit", withHeader(PngDecoder::kMaxPixels, 2, 8, 6, 0), false},
        {"rows longer than the data", withHeader(5, 3, 8, 6, 0), false},
        {"rows shorter than the data", withHeader(4, 2, 8, 6, 0), false},
        {"tRNS", EncodePng(4, 3, false, Pattern(4, 3, false), {0}, trns), false},
        {"gAMA", EncodePng(4, 3, true, pixels, {0}, gama), false},
        {"unknown critical chunk", EncodePng(4, 3, true, pixels, {0}, critical), false},
        {"unknown filter type", EncodePng(4, 3, true, pixels, {5}), false},
        {"not a PNG", std::string("GIF89a") + std::string(40, '\0'), false},
        {"empty", std::string(), false},
    };
    for (const auto& c : cases) {
        PngDecoder::Image out;
        EXPECT_EQ(PngDecoder::Decode(c.bytes, &out), c.decoded) << c.what;
    }

    std::string badCrc = good;
    badCrc[8 + 8 + 13] ^= 0x01;  // the IHDR checksum
    EXPECT_FALSE(PngDecoder::Decode(badCrc, &image));
    // The data are inflated a row at a time: their own checksum, after the
    // last row, is still checked (the chunk's checksum put right).
    {
        const size_t idat = 8 + 25;
        const uint32_t length = (uint32_t{static_cast<uint8_t>(good[idat])} << 24) |
                                (uint32_t{static_cast<uint8_t>(good[idat + 1])} << 16) |
                                (uint32_t{static_cast<uint8_t>(good[idat + 2])} << 8) | static_cast<uint8_t>(good[idat + 3]);
        ASSERT_EQ(good.compare(idat + 4, 4, "IDAT"), 0);
        std::string data = good.substr(idat + 8, length);
        data.back() = static_cast<char>(data.back() ^ 0x01);
        std::string badAdler = good.substr(0, idat);
        PutChunk(badAdler, "IDAT", data);
        badAdler += good.substr(idat + 12 + length);
        PngDecoder::Image out;
        EXPECT_FALSE(PngDecoder::Decode(badAdler, &out));
    }
    // A target that gives up ends the decoding.
    EXPECT_FALSE(PngDecoder::Decode(good, [](const PngDecoder::Header&) -> uint8_t* { return nullptr; }));
    for (size_t length = 0; length < good.size(); ++length) {
        PngDecoder::Image out;
        EXPECT_FALSE(PngDecoder::Decode(good.substr(0, length), &out)) << "cut at " << length;
    }
    for (size_t at = 8; at < good.size(); ++at) {  // every flipped byte is refused or read, never a crash
        std::string damaged = good;
        damaged[at] = static_cast<char>(damaged[at] ^ 0xA5);
        PngDecoder::Image out;
        PngDecoder::Decode(damaged, &out);
    }

    // A file the decoder refuses still loads through GDI+.
    const std::wstring gdiplusOnly = JoinPath(dir_, L"gdiplus.gif");
    ASSERT_TRUE(ToolkitTest::WriteGif(gdiplusOnly, 6, 4, {0xFF0000}));
    ScopedBitmap gif(ImageLoader::Load(gdiplusOnly));
    EXPECT_TRUE(gif);
}

}  // namespace
