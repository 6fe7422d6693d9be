#include "TestImages.h"

#include <algorithm>
using std::max;
using std::min;
#include <objidl.h>
#include <gdiplus.h>

#include <cstdio>
#include <functional>
#include <memory>

namespace ToolkitTest {

namespace {

bool PngEncoder(CLSID* clsid)
{
    UINT count = 0;
    UINT size = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0) return false;
    std::vector<BYTE> buffer(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::GetImageEncoders(count, size, codecs) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i) {
        if (std::wstring(codecs[i].MimeType) == L"image/png") {
            *clsid = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

struct Solid {
    unsigned colour;
};

unsigned SolidPixel(int, int, void* context)
{
    return 0xFF000000u | static_cast<Solid*>(context)->colour;
}

struct Strip {
    int frameWidth;
    const unsigned* colours;
};

unsigned StripPixel(int x, int, void* context)
{
    auto* s = static_cast<Strip*>(context);
    return 0xFF000000u | s->colours[std::min(x / s->frameWidth, 3)];
}

// LSB-first bit packing of GIF's LZW codes.
class BitWriter {
public:
    void Put(unsigned code, int bits)
    {
        for (int i = 0; i < bits; ++i) {
            if (code & (1u << i)) current_ |= static_cast<BYTE>(1u << used_);
            if (++used_ == 8) {
                bytes.push_back(current_);
                current_ = 0;
                used_ = 0;
            }
        }
    }
    void Flush()
    {
        if (used_ > 0) bytes.push_back(current_);
        current_ = 0;
        used_ = 0;
    }
    std::vector<BYTE> bytes;

private:
    BYTE current_ = 0;
    int used_ = 0;
};

}  // namespace

void StartGdiplus()
{
    static ULONG_PTR token = 0;
    if (token == 0) {
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&token, &input, nullptr);
    }
}

bool WritePng(const std::wstring& path, int width, int height, bool alpha,
              unsigned (*pixel)(int x, int y, void* context), void* context)
{
    StartGdiplus();
    CLSID png;
    if (!PngEncoder(&png)) return false;
    Gdiplus::Bitmap bitmap(width, height, alpha ? PixelFormat32bppARGB : PixelFormat24bppRGB);
    Gdiplus::Rect rect(0, 0, width, height);
    Gdiplus::BitmapData data;
    if (bitmap.LockBits(&rect, Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB, &data) != Gdiplus::Ok) return false;
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<unsigned*>(static_cast<BYTE*>(data.Scan0) + y * data.Stride);
        for (int x = 0; x < width; ++x) row[x] = pixel(x, y, context);
    }
    bitmap.UnlockBits(&data);
    return bitmap.Save(path.c_str(), &png, nullptr) == Gdiplus::Ok;
}

bool WriteStrip(const std::wstring& path, int frameWidth, int height, const unsigned colours[4])
{
    Strip s{frameWidth, colours};
    return WritePng(path, frameWidth * 4, height, false, StripPixel, &s);
}

bool WriteSolid(const std::wstring& path, int width, int height, unsigned colour)
{
    Solid s{colour};
    return WritePng(path, width, height, false, SolidPixel, &s);
}

namespace {

// Palette of 4 entries, LZW with a 2-bit minimum code size. A clear code
// before every second pixel keeps every code 3 bits wide.
bool WriteGifFile(const std::wstring& path, int width, int height, const unsigned palette[4], int frames,
                  const std::function<int(int, int, int)>& index)
{
    std::vector<BYTE> out = {'G', 'I', 'F', '8', '9', 'a'};
    auto word = [&out](int v) {
        out.push_back(static_cast<BYTE>(v & 0xFF));
        out.push_back(static_cast<BYTE>((v >> 8) & 0xFF));
    };
    word(width);
    word(height);
    out.push_back(0xF1);  // global table, 2 bits per entry -> 4 entries
    out.push_back(0);
    out.push_back(0);
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<BYTE>((palette[i] >> 16) & 0xFF));
        out.push_back(static_cast<BYTE>((palette[i] >> 8) & 0xFF));
        out.push_back(static_cast<BYTE>(palette[i] & 0xFF));
    }
    const BYTE loop[] = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0, 0, 0};
    out.insert(out.end(), std::begin(loop), std::end(loop));
    for (int f = 0; f < frames; ++f) {
        const BYTE control[] = {0x21, 0xF9, 4, 0, 10, 0, 0, 0};
        out.insert(out.end(), std::begin(control), std::end(control));
        out.push_back(0x2C);
        word(0);
        word(0);
        word(width);
        word(height);
        out.push_back(0);
        out.push_back(2);  // minimum code size
        BitWriter bits;
        int p = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x, ++p) {
                if (p % 2 == 0) bits.Put(4, 3);  // clear
                bits.Put(static_cast<unsigned>(index(x, y, f) & 3), 3);
            }
        }
        bits.Put(5, 3);  // end of information
        bits.Flush();
        for (size_t at = 0; at < bits.bytes.size(); at += 255) {
            const size_t n = std::min<size_t>(255, bits.bytes.size() - at);
            out.push_back(static_cast<BYTE>(n));
            out.insert(out.end(), bits.bytes.begin() + static_cast<long>(at),
                       bits.bytes.begin() + static_cast<long>(at + n));
        }
        out.push_back(0);
    }
    out.push_back(0x3B);
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (file == nullptr) return false;
    const bool ok = fwrite(out.data(), 1, out.size(), file) == out.size();
    return fclose(file) == 0 && ok;
}

}  // namespace

bool WriteGif(const std::wstring& path, int width, int height, const std::vector<unsigned>& colours)
{
    // Frame f is solid palette entry f (up to four distinct colours).
    unsigned palette[4] = {};
    for (int i = 0; i < 4; ++i) palette[i] = colours.empty() ? 0 : colours[static_cast<size_t>(i) % colours.size()];
    return WriteGifFile(path, width, height, palette, static_cast<int>(colours.size()),
                        [](int, int, int f) { return f % 4; });
}

bool WriteIndexedGif(const std::wstring& path, int width, int height, const unsigned palette[4], int frames,
                     int (*index)(int x, int y, int frame))
{
    return WriteGifFile(path, width, height, palette, frames, index);
}

std::vector<unsigned> CaptureClient(HWND hwnd, int* width, int* height)
{
    RECT rc;
    ::GetClientRect(hwnd, &rc);
    *width = rc.right;
    *height = rc.bottom;
    if (rc.right <= 0 || rc.bottom <= 0) return {};
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = rc.right;
    info.bmiHeader.biHeight = -rc.bottom;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP dib = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (dib == nullptr) return {};
    HDC dc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, dib);
    const BOOL printed = ::PrintWindow(hwnd, dc, PW_CLIENTONLY);
    ::GdiFlush();
    std::vector<unsigned> pixels;
    if (printed) {
        const auto* p = static_cast<const unsigned*>(bits);
        pixels.assign(p, p + static_cast<size_t>(rc.right) * rc.bottom);
        for (auto& v : pixels) v &= 0xFFFFFF;
    }
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    ::DeleteObject(dib);
    return pixels;
}

unsigned PixelAt(const std::vector<unsigned>& pixels, int width, int x, int y)
{
    const size_t i = static_cast<size_t>(y) * width + x;
    return i < pixels.size() ? pixels[i] : 0xDEADBEEF;
}

bool Near(unsigned a, unsigned b, int tolerance)
{
    for (int shift = 0; shift <= 16; shift += 8) {
        const int ca = static_cast<int>((a >> shift) & 0xFF);
        const int cb = static_cast<int>((b >> shift) & 0xFF);
        if (std::abs(ca - cb) > tolerance) return false;
    }
    return true;
}

bool SaveCapture(const std::wstring& path, const std::vector<unsigned>& pixels, int width, int height)
{
    struct Context {
        const std::vector<unsigned>* pixels;
        int width;
    } context{&pixels, width};
    return WritePng(
        path, width, height, false,
        [](int x, int y, void* c) {
            auto* ctx = static_cast<Context*>(c);
            return 0xFF000000u | PixelAt(*ctx->pixels, ctx->width, x, y);
        },
        &context);
}

}  // namespace ToolkitTest
