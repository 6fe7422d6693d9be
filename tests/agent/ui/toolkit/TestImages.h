#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace ToolkitTest {

// Pictures made by the tests themselves, written with GDI+'s PNG encoder
// (and a small GIF writer of our own for animations).

// A PNG of `width` x `height`; `pixel(x, y)` gives 0xAARRGGBB. With
// `alpha` false the file has no alpha channel (24-bit).
bool WritePng(const std::wstring& path, int width, int height, bool alpha,
              unsigned (*pixel)(int x, int y, void* context), void* context);

// A four-frame state strip, 24-bit: frame i is filled with colours[i]
// (0xRRGGBB). `frameWidth` pixels per frame.
bool WriteStrip(const std::wstring& path, int frameWidth, int height, const unsigned colours[4]);

// A solid picture, 24-bit, colour 0xRRGGBB.
bool WriteSolid(const std::wstring& path, int width, int height, unsigned colour);

// An animated GIF with one frame per entry of `colours` (0xRRGGBB), each a
// solid `width` x `height` picture.
bool WriteGif(const std::wstring& path, int width, int height, const std::vector<unsigned>& colours);

// An animated GIF of `frames` frames over a four-colour palette (0xRRGGBB);
// `index(x, y, frame)` picks each pixel's palette entry (0..3).
bool WriteIndexedGif(const std::wstring& path, int width, int height, const unsigned palette[4], int frames,
                     int (*index)(int x, int y, int frame));

// The client area of `hwnd` as drawn by the window itself (PrintWindow into
// a 32-bit bitmap); pixels as 0xRRGGBB, row-major. Empty on failure.
std::vector<unsigned> CaptureClient(HWND hwnd, int* width, int* height);

// One pixel of a capture (0xRRGGBB).
unsigned PixelAt(const std::vector<unsigned>& pixels, int width, int x, int y);

// True when each channel differs by at most `tolerance`.
bool Near(unsigned a, unsigned b, int tolerance = 8);

// Saves a 0xRRGGBB capture as PNG.
bool SaveCapture(const std::wstring& path, const std::vector<unsigned>& pixels, int width, int height);

// Starts GDI+ for the test program (once).
void StartGdiplus();

}  // namespace ToolkitTest
