// Runs the gallery tool on a skin of ours (resource.json and the dialog's
// description from tests' data, pictures drawn here) and keeps its
// screenshot in the build folder.
#include <gtest/gtest.h>

#include <algorithm>
using std::max;
using std::min;
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cmath>
#include <functional>
#include <set>

#include "TestImages.h"
#include "TestSupport.h"

using namespace ToolkitTest;

namespace {

// A Unix path of the build as the Wine program sees it.
std::wstring HostPath(const char* unixPath)
{
    std::wstring path = L"Z:";
    for (const char* p = unixPath; *p != '\0'; ++p) path.push_back(*p == '/' ? L'\\' : static_cast<wchar_t>(*p));
    return path;
}

Gdiplus::Color Argb(unsigned rgb, BYTE alpha = 255)
{
    return Gdiplus::Color(alpha, (rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

void RoundRect(Gdiplus::GraphicsPath* path, float x, float y, float w, float h, float r)
{
    path->AddArc(x, y, 2 * r, 2 * r, 180, 90);
    path->AddArc(x + w - 2 * r, y, 2 * r, 2 * r, 270, 90);
    path->AddArc(x + w - 2 * r, y + h - 2 * r, 2 * r, 2 * r, 0, 90);
    path->AddArc(x, y + h - 2 * r, 2 * r, 2 * r, 90, 90);
    path->CloseFigure();
}

bool SavePng(Gdiplus::Bitmap& bitmap, const std::wstring& path)
{
    UINT count = 0;
    UINT size = 0;
    Gdiplus::GetImageEncodersSize(&count, &size);
    std::vector<BYTE> buffer(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    Gdiplus::GetImageEncoders(count, size, codecs);
    for (UINT i = 0; i < count; ++i) {
        if (std::wstring(codecs[i].MimeType) == L"image/png") {
            return bitmap.Save(path.c_str(), &codecs[i].Clsid, nullptr) == Gdiplus::Ok;
        }
    }
    return false;
}

// Draws a picture with GDI+ and saves it; `alpha` keeps transparency.
bool Draw(const std::wstring& path, int w, int h, bool alpha, const std::function<void(Gdiplus::Graphics&)>& paint)
{
    Gdiplus::Bitmap bitmap(w, h, PixelFormat32bppARGB);
    {
        Gdiplus::Graphics g(&bitmap);
        g.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
        g.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);  // pixel x spans x .. x + 1
        g.Clear(alpha ? Gdiplus::Color(0, 0, 0, 0) : Argb(0xFFFFFF));
        paint(g);
    }
    if (alpha) return SavePng(bitmap, path);
    // Without alpha: copy into a 24-bit picture.
    Gdiplus::Bitmap flat(w, h, PixelFormat24bppRGB);
    {
        Gdiplus::Graphics g(&flat);
        g.DrawImage(&bitmap, 0, 0, w, h);
    }
    return SavePng(flat, path);
}

// Four frames of a rounded button: normal, hover, pressed, disabled.
bool DrawButtonStrip(const std::wstring& path, const unsigned fills[4], const unsigned borders[4], int w, int h)
{
    return Draw(path, w * 4, h, true, [&](Gdiplus::Graphics& g) {
        for (int i = 0; i < 4; ++i) {
            Gdiplus::GraphicsPath shape;
            // One pixel inside the frame on every side: rasterisers may round
            // half-pixel edges either way, and no frame may reach its neighbour.
            RoundRect(&shape, i * w + 1.5f, 1.5f, w - 3.0f, h - 3.0f, 4.0f);
            Gdiplus::SolidBrush fill(Argb(fills[i]));
            g.FillPath(&fill, &shape);
            Gdiplus::Pen pen(Argb(borders[i]), 1.0f);
            g.DrawPath(&pen, &shape);
        }
    });
}

bool DrawCheckStrip(const std::wstring& path, bool checked, int w, int h)
{
    const unsigned boxes[4] = {0xFFFFFF, 0xEFF6FF, 0xDBEAFE, 0xE5E7EB};
    const unsigned checkedBoxes[4] = {0x2563EB, 0x1D4ED8, 0x1E40AF, 0x9CA3AF};
    return Draw(path, w * 4, h, true, [&](Gdiplus::Graphics& g) {
        for (int i = 0; i < 4; ++i) {
            const float x = i * w + 8.0f;
            const float y = (h - 18) / 2.0f;
            Gdiplus::GraphicsPath box;
            RoundRect(&box, x, y, 18, 18, 3);
            Gdiplus::SolidBrush fill(Argb(checked ? checkedBoxes[i] : boxes[i]));
            g.FillPath(&fill, &box);
            Gdiplus::Pen border(Argb(checked ? checkedBoxes[i] : 0x9CA3AF), 1.0f);
            g.DrawPath(&border, &box);
            if (checked) {
                Gdiplus::Pen mark(Argb(0xFFFFFF), 2.2f);
                Gdiplus::PointF points[3] = {{x + 4, y + 9}, {x + 8, y + 13}, {x + 14, y + 5}};
                g.DrawLines(&mark, points, 3);
            }
        }
    });
}

int SpinnerIndex(int x, int y, int frame)
{
    // Twelve dots on a circle; the frame's dot in the accent colour, the two
    // before it lighter, the rest pale.
    const double cx = 19.5;
    const double cy = 19.5;
    for (int dot = 0; dot < 12; ++dot) {
        const double angle = dot * 3.14159265358979 / 6.0;
        const double dx = cx + 14 * std::sin(angle);
        const double dy = cy - 14 * std::cos(angle);
        if ((x - dx) * (x - dx) + (y - dy) * (y - dy) <= 9.0) {
            const int age = (frame - dot + 12) % 12;
            return age == 0 ? 1 : (age <= 2 ? 2 : 3);
        }
    }
    return 0;
}

}  // namespace

TEST(GalleryTest, ShowsEveryControlAndSavesItsScreenshot)
{
    StartGdiplus();
    const std::wstring root = PavoTest::MakeTempDirectory(L"gallery");
    const std::wstring unpacked = root + L"unpacked";
    const std::wstring images = unpacked + L"\\100\\";
    ::CreateDirectoryW(unpacked.c_str(), nullptr);
    ::CreateDirectoryW(images.c_str(), nullptr);

    const std::wstring data = HostPath(PAVO_TOOLKIT_TEST_DATA) + L"\\gallery\\";
    ASSERT_TRUE(::CopyFileW((data + L"resource.json").c_str(), (images + L"resource.json").c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW((data + L"IDD_GALLERY.json").c_str(), (images + L"IDD_GALLERY.json").c_str(), FALSE));

    const unsigned fills[4] = {0x2563EB, 0x1D4ED8, 0x1E40AF, 0xE5E7EB};
    ASSERT_TRUE(DrawButtonStrip(images + L"button.png", fills, fills, 110, 34));
    ASSERT_TRUE(DrawCheckStrip(images + L"check_off.png", false, 124, 34));
    ASSERT_TRUE(DrawCheckStrip(images + L"check_on.png", true, 124, 34));
    const unsigned clearFills[4] = {0xD1D5DB, 0x9CA3AF, 0x6B7280, 0xF3F4F6};
    ASSERT_TRUE(Draw(images + L"clear.png", 80, 20, true, [&](Gdiplus::Graphics& g) {
        for (int i = 0; i < 4; ++i) {
            Gdiplus::SolidBrush fill(Argb(clearFills[i]));
            g.FillEllipse(&fill, i * 20 + 2, 2, 16, 16);
            Gdiplus::Pen cross(Argb(0xFFFFFF), 1.8f);
            g.DrawLine(&cross, i * 20 + 7.0f, 7.0f, i * 20 + 13.0f, 13.0f);
            g.DrawLine(&cross, i * 20 + 13.0f, 7.0f, i * 20 + 7.0f, 13.0f);
        }
    }));
    // The success picture with alpha: a check in a green circle, transparent around it.
    ASSERT_TRUE(Draw(images + L"alpha.png", 64, 64, true, [](Gdiplus::Graphics& g) {
        Gdiplus::SolidBrush shadow(Argb(0x16A34A, 60));
        g.FillEllipse(&shadow, 2, 2, 60, 60);
        Gdiplus::SolidBrush fill(Argb(0x16A34A));
        g.FillEllipse(&fill, 6, 6, 52, 52);
        Gdiplus::Pen mark(Argb(0xFFFFFF), 5.0f);
        Gdiplus::PointF points[3] = {{19, 33}, {28, 42}, {45, 24}};
        g.DrawLines(&mark, points, 3);
    }));
    // The failure picture without alpha: its corners cover what lies behind.
    ASSERT_TRUE(Draw(images + L"opaque.png", 64, 64, false, [](Gdiplus::Graphics& g) {
        Gdiplus::SolidBrush back(Argb(0xF5F7FA));
        g.FillRectangle(&back, 0, 0, 64, 64);
        Gdiplus::SolidBrush fill(Argb(0xDC2626));
        g.FillEllipse(&fill, 6, 6, 52, 52);
        Gdiplus::Pen cross(Argb(0xFFFFFF), 5.0f);
        g.DrawLine(&cross, 22, 22, 42, 42);
        g.DrawLine(&cross, 42, 22, 22, 42);
    }));
    // The skinned frame: a light caption band with a line under it, 1-pixel
    // edges, and caption buttons with a thin glyph (close turns red on hover).
    ASSERT_TRUE(Draw(images + L"frame_edge.png", 1, 1, false, [](Gdiplus::Graphics& g) { g.Clear(Argb(0xD1D5DB)); }));
    ASSERT_TRUE(Draw(images + L"frame_top_edge.png", 1, 32, false, [](Gdiplus::Graphics& g) { g.Clear(Argb(0xD1D5DB)); }));
    ASSERT_TRUE(Draw(images + L"frame_top.png", 8, 32, false, [](Gdiplus::Graphics& g) {
        g.Clear(Argb(0xF5F7FA));
        Gdiplus::SolidBrush top(Argb(0xD1D5DB));
        g.FillRectangle(&top, 0, 0, 8, 1);
        Gdiplus::SolidBrush line(Argb(0xE5E7EB));
        g.FillRectangle(&line, 0, 31, 8, 1);
    }));
    const unsigned captionBacks[4] = {0xF5F7FA, 0xDC2626, 0xB91C1C, 0xF5F7FA};
    const unsigned closeGlyphs[4] = {0x6B7280, 0xFFFFFF, 0xFFFFFF, 0xD1D5DB};
    ASSERT_TRUE(Draw(images + L"btn_close.png", 128, 32, false, [&](Gdiplus::Graphics& g) {
        for (int i = 0; i < 4; ++i) {
            Gdiplus::SolidBrush back(Argb(captionBacks[i]));
            g.FillRectangle(&back, i * 32, 1, 32, 30);
            Gdiplus::Pen glyph(Argb(closeGlyphs[i]), 1.4f);
            g.DrawLine(&glyph, i * 32 + 11.0f, 11.0f, i * 32 + 21.0f, 21.0f);
            g.DrawLine(&glyph, i * 32 + 21.0f, 11.0f, i * 32 + 11.0f, 21.0f);
        }
    }));
    const unsigned minimizeBacks[4] = {0xF5F7FA, 0xE5E7EB, 0xD1D5DB, 0xF5F7FA};
    ASSERT_TRUE(Draw(images + L"btn_minimize.png", 128, 32, false, [&](Gdiplus::Graphics& g) {
        for (int i = 0; i < 4; ++i) {
            Gdiplus::SolidBrush back(Argb(minimizeBacks[i]));
            g.FillRectangle(&back, i * 32, 1, 32, 30);
            Gdiplus::Pen glyph(Argb(i == 3 ? 0xD1D5DB : 0x6B7280), 1.4f);
            g.DrawLine(&glyph, i * 32 + 11.0f, 16.0f, i * 32 + 21.0f, 16.0f);
        }
    }));
    const unsigned spinner[4] = {0xFFFFFF, 0x2563EB, 0x93C5FD, 0xDBEAFE};
    ASSERT_TRUE(WriteIndexedGif(images + L"spinner.gif", 40, 40, spinner, 12, SpinnerIndex));

    const std::wstring shot = HostPath(PAVO_SCREENSHOT_PATH);
    ::DeleteFileW(shot.c_str());
    DWORD code = 99;
    ASSERT_TRUE(PavoTest::RunAndWait(L"\"" + PavoTest::BinDirectory() + L"PavoUiGallery.exe\" \"" + unpacked +
                                         L"\" \"" + shot + L"\"",
                                     60000, &code));
    ASSERT_EQ(code, 0u);

    // The screenshot shows the controls: the accent and disabled button
    // colours, the success green and the failure red are all on it.
    Gdiplus::Bitmap image(shot.c_str());
    ASSERT_EQ(image.GetLastStatus(), Gdiplus::Ok);
    EXPECT_GT(image.GetWidth(), 600u);
    std::set<unsigned> seen;
    for (UINT y = 0; y < image.GetHeight(); y += 2) {
        for (UINT x = 0; x < image.GetWidth(); x += 2) {
            Gdiplus::Color c;
            image.GetPixel(static_cast<INT>(x), static_cast<INT>(y), &c);
            seen.insert(c.GetValue() & 0xFFFFFF);
        }
    }
    for (unsigned colour : {0x2563EBu, 0x1D4ED8u, 0x1E40AFu, 0xE5E7EBu, 0x16A34Au, 0xDC2626u, 0xF5F7FAu}) {
        EXPECT_TRUE(seen.count(colour) == 1) << std::hex << colour;
    }
}
