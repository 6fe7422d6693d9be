#include "ImageLoader.h"

// GDI+'s headers need min/max and the COM declarations that
// WIN32_LEAN_AND_MEAN leaves out.
#include <algorithm>
using std::max;
using std::min;
#include <objidl.h>
#include <gdiplus.h>

#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "GdiHandles.h"
#include "Lumen/DebugOutput.h"
#include "Lumen/FileUtils.h"
#include "PngDecoder.h"

namespace Lumen {

namespace {
std::mutex g_startLock;
bool g_started = false;
ULONG_PTR g_token = 0;

std::mutex g_sourceLock;
std::function<bool(const std::wstring&, std::string*)> g_read;
std::function<void()> g_waitForDisk;
}  // namespace

void ImageLoader::SetFileSource(std::function<bool(const std::wstring&, std::string*)> read,
                                std::function<void()> waitForDisk)
{
    std::lock_guard<std::mutex> lock(g_sourceLock);
    g_read = std::move(read);
    g_waitForDisk = std::move(waitForDisk);
}

bool ImageLoader::EnsureStarted()
{
    std::lock_guard<std::mutex> lock(g_startLock);
    if (g_started) return true;
    Gdiplus::GdiplusStartupInput input;
    const Gdiplus::Status status = Gdiplus::GdiplusStartup(&g_token, &input, nullptr);
    if (status != Gdiplus::Ok) {
        OutputDebugMessage(L"fail to start GDI+, status : %d", static_cast<int>(status));
        return false;
    }
    g_started = true;
    return true;
}

void ImageLoader::Premultiply(BYTE* pixels, size_t pixelCount)
{
    for (size_t i = 0; i < pixelCount; ++i) {
        BYTE* p = pixels + i * 4;
        const unsigned alpha = p[3];
        if (alpha == 255) continue;
        p[0] = static_cast<BYTE>(p[0] * alpha / 255);
        p[1] = static_cast<BYTE>(p[1] * alpha / 255);
        p[2] = static_cast<BYTE>(p[2] * alpha / 255);
    }
}

namespace {

// A top-down DIB section for a picture (32-bit when it has alpha, else 24-bit); null on failure.
HBITMAP CreatePictureBitmap(int width, int height, bool alpha, void** bits)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down, as the decoders hand out their rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = static_cast<WORD>(alpha ? 32 : 24);
    info.bmiHeader.biCompression = BI_RGB;
    *bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0);
    if (bitmap != nullptr && *bits == nullptr) {
        ::DeleteObject(bitmap);
        return nullptr;
    }
    return bitmap;
}

// The picture decoded straight into a DIB section (premultiplied when it has alpha).
HBITMAP DecodeToBitmap(const std::string& bytes)
{
    ScopedBitmap dib;
    void* bits = nullptr;
    PngDecoder::Header picture;
    const bool decoded = PngDecoder::Decode(bytes, [&](const PngDecoder::Header& header) -> uint8_t* {
        // A DIB's rows are the decoder's: DWORD-aligned.
        dib.Reset(CreatePictureBitmap(header.width, header.height, header.alpha, &bits));
        picture = header;
        return dib ? static_cast<uint8_t*>(bits) : nullptr;
    });
    if (!decoded || !dib) return nullptr;
    if (picture.alpha) {
        ImageLoader::Premultiply(static_cast<BYTE*>(bits),
                                 static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height));
    }
    return dib.Release();
}

}  // namespace

HBITMAP ImageLoader::Load(const std::wstring& path)
{
    if (path.empty()) return nullptr;
    std::function<bool(const std::wstring&, std::string*)> read;
    std::function<void()> waitForDisk;
    {
        std::lock_guard<std::mutex> lock(g_sourceLock);
        read = g_read;
        waitForDisk = g_waitForDisk;
    }
    std::string bytes;
    const bool readBytes = read ? read(path, &bytes) : ReadWholeFile(path, bytes);
    if (readBytes) {
        if (HBITMAP bitmap = DecodeToBitmap(bytes)) return bitmap;
    }
    if (waitForDisk) waitForDisk();
    return LoadThroughGdiplus(path);
}

HBITMAP ImageLoader::LoadThroughGdiplus(const std::wstring& path)
{
    if (path.empty() || !EnsureStarted()) return nullptr;
    auto image = std::make_unique<Gdiplus::Bitmap>(path.c_str(), FALSE);
    if (image->GetLastStatus() != Gdiplus::Ok) {
        OutputDebugMessage(L"fail to load image : %s", path.c_str());
        return nullptr;
    }
    const int width = static_cast<int>(image->GetWidth());
    const int height = static_cast<int>(image->GetHeight());
    if (width <= 0 || height <= 0) return nullptr;
    const bool alpha = Gdiplus::IsAlphaPixelFormat(image->GetPixelFormat()) != FALSE;
    const int bits = alpha ? 32 : 24;
    const int stride = ((width * bits / 8) + 3) & ~3;

    void* dibBits = nullptr;
    ScopedBitmap dib(CreatePictureBitmap(width, height, alpha, &dibBits));
    if (!dib) return nullptr;

    Gdiplus::BitmapData data = {};
    data.Width = static_cast<UINT>(width);
    data.Height = static_cast<UINT>(height);
    data.Stride = stride;
    data.PixelFormat = alpha ? PixelFormat32bppARGB : PixelFormat24bppRGB;
    data.Scan0 = dibBits;
    Gdiplus::Rect rect(0, 0, width, height);
    const Gdiplus::Status status = image->LockBits(
        &rect, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf, data.PixelFormat, &data);
    if (status != Gdiplus::Ok) {
        OutputDebugMessage(L"fail to read image : %s, status : %d", path.c_str(), static_cast<int>(status));
        return nullptr;
    }
    image->UnlockBits(&data);
    ::GdiFlush();
    if (alpha) Premultiply(static_cast<BYTE*>(dibBits), static_cast<size_t>(width) * height);
    return dib.Release();
}

}  // namespace Lumen
