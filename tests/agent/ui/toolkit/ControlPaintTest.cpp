// The controls on real windows: painted, captured with PrintWindow and
// probed at known pixels.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "AnimatedGif.h"
#include "BitmapDC.h"
#include "ControlTestHost.h"
#include "CustomHtmlCtrl.h"
#include "CustomWindowList.h"
#include "EditWithClear.h"
#include "GdiHandles.h"
#include "HtmlText.h"
#include "HyperLink.h"
#include "ImageButton.h"
#include "ImageLoader.h"
#include "KeyboardNavigation.h"
#include "SkinImage.h"
#include "StaticEx.h"
#include "TestImages.h"
#include "TestSupport.h"

using namespace Lumen;
using namespace ToolkitTest;

namespace {

constexpr unsigned kRed = 0xE02020;
constexpr unsigned kGreen = 0x20C040;
constexpr unsigned kBlue = 0x2040E0;
constexpr unsigned kYellow = 0xF0D020;
constexpr unsigned kStrip[4] = {kRed, kGreen, kBlue, kYellow};
constexpr unsigned kChecked[4] = {0x101010, 0x404040, 0x808080, 0xC0C0C0};

// Left half fully transparent, right half opaque red, a middle column half transparent.
unsigned HalfTransparent(int x, int, void*)
{
    if (x < 10) return 0x00000000;
    if (x < 12) return 0x80FF0000;
    return 0xFF000000u | kRed;
}

// A 32-bit strip of four opaque frames, 110 pixels each.
unsigned AlphaStripPixel(int x, int, void*)
{
    return 0xFF000000u | kStrip[std::min(x / 110, 3)];
}

unsigned Capture(HWND hwnd, int x, int y)
{
    int w = 0;
    int h = 0;
    const auto pixels = CaptureClient(hwnd, &w, &h);
    return PixelAt(pixels, w, x, y);
}

int CountColour(HWND hwnd, unsigned colour, int tolerance = 24)
{
    int w = 0;
    int h = 0;
    const auto pixels = CaptureClient(hwnd, &w, &h);
    int n = 0;
    for (unsigned p : pixels) n += Near(p, colour, tolerance) ? 1 : 0;
    return n;
}

class ControlPaintTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
        ::InitCommonControlsEx(&icc);
        dir_ = PavoTest::MakeTempDirectory(L"controls");
        ASSERT_TRUE(WriteStrip(dir_ + L"strip.png", 20, 20, kStrip));
        ASSERT_TRUE(WriteStrip(dir_ + L"checked.png", 20, 20, kChecked));
        ASSERT_TRUE(WritePng(dir_ + L"strip32.png", 440, 20, true, AlphaStripPixel, nullptr));
        ASSERT_TRUE(WritePng(dir_ + L"alpha.png", 24, 16, true, HalfTransparent, nullptr));
        ASSERT_TRUE(WriteSolid(dir_ + L"solid24.png", 24, 16, kGreen));
        ASSERT_TRUE(WriteGif(dir_ + L"three.gif", 16, 16, {kRed, kGreen, kBlue}));
        ASSERT_TRUE(WriteGif(dir_ + L"one.gif", 16, 16, {kYellow}));
    }
    static std::wstring dir_;
};
std::wstring ControlPaintTest::dir_;

}  // namespace

TEST_F(ControlPaintTest, ImageLoaderKeepsAlphaOnlyWhereThePictureHasIt)
{
    ScopedBitmap alpha(ImageLoader::Load(dir_ + L"alpha.png"));
    ScopedBitmap solid(ImageLoader::Load(dir_ + L"solid24.png"));
    ASSERT_TRUE(alpha);
    ASSERT_TRUE(solid);
    BITMAP a = {};
    BITMAP s = {};
    ::GetObjectW(alpha.Get(), sizeof(a), &a);
    ::GetObjectW(solid.Get(), sizeof(s), &s);
    EXPECT_EQ(a.bmBitsPixel, 32);
    EXPECT_EQ(a.bmWidth, 24);
    EXPECT_EQ(s.bmBitsPixel, 24);
    // Premultiplied: the half-transparent red is stored as half red.
    const auto* px = static_cast<const BYTE*>(a.bmBits);
    ASSERT_NE(px, nullptr);
    const BYTE* half = px + 10 * 4;
    EXPECT_NEAR(half[2], 0x80, 2);
    EXPECT_EQ(half[3], 0x80);
    EXPECT_EQ(px[3], 0);  // fully transparent pixel: all zero
    EXPECT_EQ(px[2], 0);

    EXPECT_EQ(ImageLoader::Load(dir_ + L"missing.png"), nullptr);
    EXPECT_EQ(ImageLoader::Load(L""), nullptr);
    PavoTest::WriteFileBytes(dir_ + L"broken.png", "\x89PNG not really");
    EXPECT_EQ(ImageLoader::Load(dir_ + L"broken.png"), nullptr);

    BYTE pixels[8] = {200, 100, 50, 255, 200, 100, 50, 51};
    ImageLoader::Premultiply(pixels, 2);
    EXPECT_EQ(pixels[0], 200);  // opaque: untouched
    EXPECT_EQ(pixels[4], 40);
    EXPECT_EQ(pixels[5], 20);
    EXPECT_EQ(pixels[6], 10);
}

// Three columns, red, green and blue, in every row: an edge piece.
unsigned ColumnsPixel(int x, int, void*)
{
    return 0xFF000000u | kStrip[std::min(x, 2)];
}

// Rows that differ: red above, blue below.
unsigned RowsPixel(int, int y, void*)
{
    return 0xFF000000u | (y == 0 ? kRed : kBlue);
}

TEST_F(ControlPaintTest, SkinImageStretchesAndRedrawsAcrossReloads)
{
    ASSERT_TRUE(WritePng(dir_ + L"edge.png", 3, 2, false, ColumnsPixel, nullptr));
    ASSERT_TRUE(WritePng(dir_ + L"rows.png", 1, 2, false, RowsPixel, nullptr));
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 8, -40, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    ScopedBitmap target(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    ASSERT_TRUE(target);
    BitmapDC dc(nullptr, target.Get());
    ASSERT_TRUE(dc);
    const auto* pixels = static_cast<const unsigned*>(bits);
    const auto at = [&](int x, int y) {
        ::GdiFlush();
        return pixels[y * 8 + x] & 0xFFFFFF;
    };

    SkinImage image;
    ASSERT_TRUE(image.Load(dir_ + L"edge.png"));
    // Stretched down its repeated rows, every row is the picture's row exactly.
    ASSERT_TRUE(image.Draw(dc.Get(), RECT{0, 0, 3, 40}));
    for (int y = 0; y < 40; ++y) {
        EXPECT_EQ(at(0, y), kRed) << y;
        EXPECT_EQ(at(1, y), kGreen) << y;
        EXPECT_EQ(at(2, y), kBlue) << y;
    }
    // Drawn again, somewhere else, from the same picture.
    ASSERT_TRUE(image.Draw(dc.Get(), RECT{5, 0, 8, 40}));
    EXPECT_EQ(at(5, 39), kRed);
    EXPECT_EQ(at(7, 20), kBlue);

    // Loaded over, the new picture is what is drawn; rows that differ still
    // come out red at the top and blue at the bottom.
    ASSERT_TRUE(image.Load(dir_ + L"rows.png"));
    ASSERT_TRUE(image.Draw(dc.Get(), RECT{0, 0, 1, 40}));
    EXPECT_TRUE(Near(at(0, 0), kRed, 24));
    EXPECT_TRUE(Near(at(0, 39), kBlue, 24));
    // A failed load keeps the picture that was there.
    EXPECT_FALSE(image.Load(dir_ + L"missing.png"));
    ASSERT_TRUE(image.Draw(dc.Get(), RECT{1, 0, 2, 40}));
    EXPECT_TRUE(Near(at(1, 39), kBlue, 24));

    image.Reset();
    EXPECT_FALSE(image.Draw(dc.Get(), RECT{0, 0, 3, 40}));
    // The bitmap is free again for any other context once the picture is gone.
    SkinImage moved;
    ASSERT_TRUE(moved.Load(dir_ + L"edge.png"));
    ASSERT_TRUE(moved.DrawAt(dc.Get(), 0, 0));
    SkinImage owner(std::move(moved));
    ASSERT_TRUE(owner.Draw(dc.Get(), RECT{0, 0, 3, 40}));
    EXPECT_EQ(at(2, 30), kBlue);
}

TEST_F(ControlPaintTest, StaticShowsParentThroughTransparentPixelsOnly)
{
    ControlTestHost host;
    StaticEx transparent;
    StaticEx opaque;
    ASSERT_TRUE(transparent.CreateStatic(L"", WS_VISIBLE | SS_LEFT, RECT{10, 10, 60, 40}, host.Get(), 100));
    ASSERT_TRUE(opaque.CreateStatic(L"", WS_VISIBLE | SS_LEFT, RECT{10, 60, 60, 90}, host.Get(), 101));
    EXPECT_TRUE(transparent.SetImages({dir_ + L"alpha.png"}));
    EXPECT_TRUE(opaque.SetImages({dir_ + L"solid24.png"}));
    PumpPending();

    EXPECT_TRUE(Near(Capture(transparent.GetHwnd(), 2, 5), kHostColour)) << std::hex << Capture(transparent.GetHwnd(), 2, 5);
    EXPECT_TRUE(Near(Capture(transparent.GetHwnd(), 20, 5), kRed));
    // Half alpha: half the picture over half the background.
    const unsigned mixed = Capture(transparent.GetHwnd(), 10, 5);
    EXPECT_TRUE(Near(mixed, 0x99335E, 16)) << std::hex << mixed;
    // Outside the picture (it is drawn at its own size): the parent again.
    EXPECT_TRUE(Near(Capture(transparent.GetHwnd(), 40, 25), kHostColour));
    EXPECT_TRUE(Near(Capture(opaque.GetHwnd(), 2, 5), kGreen));
    EXPECT_TRUE(Near(Capture(opaque.GetHwnd(), 20, 10), kGreen));

    // A background colour replaces the parent's; a picture that cannot be read keeps the old one.
    opaque.SetBackgroundColor(RGB(0x10, 0x20, 0x30));
    EXPECT_FALSE(opaque.SetImages({dir_ + L"missing.png"}));
    EXPECT_EQ(opaque.GetImageCount(), 1u);
    EXPECT_TRUE(Near(Capture(opaque.GetHwnd(), 40, 25), 0x102030));
    EXPECT_TRUE(Near(Capture(opaque.GetHwnd(), 2, 5), kGreen));

    // Text in its colour.
    ::SetWindowTextW(transparent.GetHwnd(), L"WWWW");
    transparent.SetTextColor(RGB(0xFF, 0xFF, 0xFF));
    EXPECT_GT(CountColour(transparent.GetHwnd(), 0xFFFFFF, 40), 4);
}

TEST_F(ControlPaintTest, ButtonShowsEachStripFrameForItsState)
{
    ControlTestHost host;
    ImageButton button;
    ASSERT_TRUE(button.CreateButton(L"", WS_VISIBLE | BS_PUSHBUTTON, RECT{10, 10, 70, 40}, host.Get(), 200));
    ASSERT_TRUE(button.LoadStrip(dir_ + L"strip.png"));
    HWND hwnd = button.GetHwnd();
    PumpPending();
    EXPECT_EQ(button.GetPaintState(), kStateNormal);
    EXPECT_TRUE(Near(Capture(hwnd, 30, 15), kRed)) << std::hex << Capture(hwnd, 30, 15);

    // Hover: the first move asks for tracking; the hover notification sets the state.
    ::SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    ::SendMessageW(hwnd, WM_MOUSEHOVER, 0, MAKELPARAM(5, 5));
    EXPECT_TRUE(button.IsHover());
    EXPECT_TRUE(Near(Capture(hwnd, 30, 15), kGreen)) << std::hex << Capture(hwnd, 30, 15);

    ::SendMessageW(hwnd, BM_SETSTATE, TRUE, 0);
    EXPECT_TRUE(Near(Capture(hwnd, 30, 15), kBlue)) << std::hex << Capture(hwnd, 30, 15);
    ::SendMessageW(hwnd, BM_SETSTATE, FALSE, 0);

    ::SendMessageW(hwnd, WM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(button.IsHover());
    EXPECT_TRUE(Near(Capture(hwnd, 30, 15), kRed));

    ::EnableWindow(hwnd, FALSE);
    EXPECT_TRUE(Near(Capture(hwnd, 30, 15), kYellow)) << std::hex << Capture(hwnd, 30, 15);
    // Disabled wins over pressed.
    ::SendMessageW(hwnd, BM_SETSTATE, TRUE, 0);
    EXPECT_TRUE(Near(Capture(hwnd, 30, 15), kYellow));
}

TEST_F(ControlPaintTest, BlendedStripFramesKeepTheirEdges)
{
    // A frame shown at its own size: its first and last columns are its own,
    // never the neighbouring frame's.
    ControlTestHost host;
    ImageButton button;
    ASSERT_TRUE(button.CreateButton(L"", WS_VISIBLE | BS_PUSHBUTTON, RECT{10, 10, 120, 30}, host.Get(), 204));
    ASSERT_TRUE(button.LoadStrip(dir_ + L"strip32.png"));
    ASSERT_EQ(button.Strip().BitsPerPixel(), 32);
    ::EnableWindow(button.GetHwnd(), FALSE);
    EXPECT_TRUE(Near(Capture(button.GetHwnd(), 0, 10), kYellow)) << std::hex << Capture(button.GetHwnd(), 0, 10);
    EXPECT_TRUE(Near(Capture(button.GetHwnd(), 109, 10), kYellow)) << std::hex << Capture(button.GetHwnd(), 109, 10);
    ::EnableWindow(button.GetHwnd(), TRUE);
    ::SendMessageW(button.GetHwnd(), BM_SETSTATE, TRUE, 0);
    EXPECT_TRUE(Near(Capture(button.GetHwnd(), 0, 10), kBlue)) << std::hex << Capture(button.GetHwnd(), 0, 10);
    EXPECT_TRUE(Near(Capture(button.GetHwnd(), 109, 10), kBlue)) << std::hex << Capture(button.GetHwnd(), 109, 10);
}

namespace {

// A parent that destroys a button, window and object, when it is clicked.
class DestroyingOwner : public Window {
public:
    ImageButton* button = nullptr;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED && button != nullptr) {
            ::DestroyWindow(button->GetHwnd());
            delete button;
            button = nullptr;
            return 0;
        }
        return DefaultProc(message, wParam, lParam);
    }
};

}  // namespace

// What the window shows on screen (its surface, not a fresh print), 0xRRGGBB,
// at a point of its client area or, `withFrame`, of the whole window.
unsigned OnScreen(HWND hwnd, int x, int y, bool withFrame = false)
{
    HDC dc = withFrame ? ::GetWindowDC(hwnd) : ::GetDC(hwnd);
    const COLORREF c = ::GetPixel(dc, x, y);
    ::ReleaseDC(hwnd, dc);
    return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

TEST_F(ControlPaintTest, ControlsChangedWhileHiddenShowTheirNewLookWhenShown)
{
    ControlTestHost host;
    // One button hidden itself, one visible on a hidden page.
    ImageButton hidden;
    ASSERT_TRUE(hidden.CreateButton(L"", BS_PUSHBUTTON, RECT{10, 10, 70, 40}, host.Get(), 200));
    ASSERT_TRUE(hidden.LoadStrip(dir_ + L"strip.png"));
    const HWND page = ::CreateWindowExW(0, L"Static", L"", WS_CHILD | SS_NOTIFY, 100, 0, 200, 100, host.Get(), nullptr,
                                        nullptr, nullptr);
    ASSERT_NE(page, nullptr);
    ImageButton onPage;
    ASSERT_TRUE(onPage.CreateButton(L"", WS_VISIBLE | BS_PUSHBUTTON, RECT{10, 10, 70, 40}, page, 201));
    ASSERT_TRUE(onPage.LoadStrip(dir_ + L"strip.png"));
    PumpPending();

    ASSERT_TRUE(hidden.LoadStrip(dir_ + L"checked.png"));
    ASSERT_TRUE(onPage.LoadStrip(dir_ + L"checked.png"));
    ::ShowWindow(hidden.GetHwnd(), SW_SHOW);
    ::ShowWindow(page, SW_SHOW);
    PumpPending();
    EXPECT_TRUE(Near(OnScreen(hidden.GetHwnd(), 30, 15), kChecked[0]))
        << std::hex << OnScreen(hidden.GetHwnd(), 30, 15);
    EXPECT_TRUE(Near(OnScreen(onPage.GetHwnd(), 30, 15), kChecked[0]))
        << std::hex << OnScreen(onPage.GetHwnd(), 30, 15);

    // Visible, a change shows at once.
    ASSERT_TRUE(hidden.LoadStrip(dir_ + L"strip.png"));
    PumpPending();
    EXPECT_TRUE(Near(OnScreen(hidden.GetHwnd(), 30, 15), kRed)) << std::hex << OnScreen(hidden.GetHwnd(), 30, 15);
    ::DestroyWindow(page);
}

namespace {

// The class under a bound control: counts the frame paints that reach it.
int g_framePaints = 0;
LRESULT CALLBACK CountingFrameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCPAINT) ++g_framePaints;
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

// Frame paints that reach the class of `control`, bound by a plain Window,
// when all of it is marked for repainting.
int FramePaintsReachingTheClass(HWND control)
{
    g_framePaints = 0;
    ::RedrawWindow(control, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    return g_framePaints;
}

}  // namespace

TEST_F(ControlPaintTest, OnlyControlsWithAFrameOrScrollBarPaintOne)
{
    ASSERT_TRUE(RegisterWindowClassOnce(L"PavoFrameProbe", CountingFrameProc));
    ControlTestHost host;
    const auto make = [&](DWORD style, DWORD exStyle, int x) {
        return ::CreateWindowExW(exStyle, L"PavoFrameProbe", L"", WS_CHILD | WS_VISIBLE | style, x, 10, 60, 50,
                                 host.Get(), nullptr, nullptr, nullptr);
    };
    const HWND plain = make(0, 0, 10);
    const HWND bordered = make(WS_BORDER, 0, 80);
    const HWND edged = make(0, WS_EX_CLIENTEDGE, 150);
    const HWND scrolled = make(WS_VSCROLL, 0, 220);
    ASSERT_TRUE(plain && bordered && edged && scrolled);
    Window bound[4];
    const HWND controls[4] = {plain, bordered, edged, scrolled};
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(bound[i].Subclass(controls[i]));
    PumpPending();

    EXPECT_TRUE(HasNoNonClientArea(plain));
    EXPECT_FALSE(HasNoNonClientArea(host.Get()));  // not a child
    EXPECT_EQ(FramePaintsReachingTheClass(plain), 0);
    for (HWND framed : {bordered, edged, scrolled}) {
        EXPECT_FALSE(HasNoNonClientArea(framed));
        EXPECT_EQ(FramePaintsReachingTheClass(framed), 1);
    }

    // The frame is drawn again over whatever covered it.
    HDC dc = ::GetWindowDC(bordered);
    RECT whole{0, 0, 60, 50};
    ScopedBrush red(::CreateSolidBrush(RGB(0xE0, 0x20, 0x20)));
    ::FillRect(dc, &whole, red.Get());
    ::ReleaseDC(bordered, dc);
    ASSERT_TRUE(Near(OnScreen(bordered, 0, 25, true), kRed));
    FramePaintsReachingTheClass(bordered);
    EXPECT_FALSE(Near(OnScreen(bordered, 0, 25, true), kRed, 40)) << std::hex << OnScreen(bordered, 0, 25, true);
    for (HWND control : controls) ::DestroyWindow(control);
}

TEST_F(ControlPaintTest, ButtonMayEndInsideItsOwnClick)
{
    ControlTestHost host;
    DestroyingOwner owner;
    ASSERT_TRUE(owner.Subclass(host.Get()));
    owner.button = new ImageButton;
    ASSERT_TRUE(owner.button->CreateButton(L"x", WS_VISIBLE | BS_PUSHBUTTON, RECT{0, 0, 40, 20}, host.Get(), 205));
    HWND hwnd = owner.button->GetHwnd();
    ::SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    ::SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(owner.button, nullptr);
    EXPECT_FALSE(::IsWindow(hwnd));
    owner.Detach();
}

TEST_F(ControlPaintTest, CheckBoxAndRadioPictures)
{
    ControlTestHost host;
    ImageButton check;
    ImageButton radio;
    ASSERT_TRUE(check.CreateButton(L"", WS_VISIBLE | BS_AUTOCHECKBOX, RECT{10, 10, 50, 40}, host.Get(), 201));
    ASSERT_TRUE(radio.CreateButton(L"", WS_VISIBLE | BS_AUTORADIOBUTTON, RECT{60, 10, 100, 40}, host.Get(), 202));
    ASSERT_TRUE(check.LoadStrip(dir_ + L"strip.png"));
    ASSERT_TRUE(check.LoadCheckedStrip(dir_ + L"checked.png"));
    ASSERT_TRUE(radio.LoadStrip(dir_ + L"strip.png"));
    EXPECT_TRUE(Near(Capture(check.GetHwnd(), 20, 15), kRed));
    ::SendMessageW(check.GetHwnd(), BM_CLICK, 0, 0);
    ASSERT_EQ(::SendMessageW(check.GetHwnd(), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_TRUE(Near(Capture(check.GetHwnd(), 20, 15), kChecked[0])) << std::hex << Capture(check.GetHwnd(), 20, 15);
    // A checked automatic radio button shows the pressed frame.
    ::SendMessageW(radio.GetHwnd(), BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_TRUE(Near(Capture(radio.GetHwnd(), 20, 15), kBlue));
}

TEST_F(ControlPaintTest, ButtonColoursTextAndMarginsWithoutPicture)
{
    ControlTestHost host;
    ImageButton button;
    ASSERT_TRUE(button.CreateButton(L"", WS_VISIBLE | BS_PUSHBUTTON | BS_LEFT | BS_TOP, RECT{10, 10, 110, 50},
                                    host.Get(), 203));
    button.SetBackgroundColors(StateColors{RGB(1, 2, 3), RGB(4, 5, 6), RGB(7, 8, 9), RGB(10, 11, 12)});
    button.SetTextColors(StateColors{RGB(255, 255, 255), RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)});
    EXPECT_TRUE(Near(Capture(button.GetHwnd(), 50, 20), 0x010203, 2));
    ::EnableWindow(button.GetHwnd(), FALSE);
    EXPECT_TRUE(Near(Capture(button.GetHwnd(), 50, 20), 0x0A0B0C, 2));
    ::EnableWindow(button.GetHwnd(), TRUE);

    // Top-left text, then moved by the margins: nothing white stays in the first rows.
    ::SetWindowTextW(button.GetHwnd(), L"MMMM");
    int w = 0;
    int h = 0;
    auto firstWhiteRow = [&]() {
        const auto pixels = CaptureClient(button.GetHwnd(), &w, &h);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                if (Near(PixelAt(pixels, w, x, y), 0xFFFFFF, 60)) return y;
            }
        }
        return -1;
    };
    const int before = firstWhiteRow();
    ASSERT_GE(before, 0);
    button.SetTextMargin(POINT{0, 12});
    EXPECT_EQ(firstWhiteRow(), before + 12);
}

namespace {

// A top-level window that keeps its keyboard-cue state and passes changes
// to its children, as Windows' default window procedure does. Wine's keeps
// no state (WM_QUERYUISTATE always answers 0, cues always shown).
LRESULT CALLBACK UiStateHostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    static LRESULT state = 0;
    switch (message) {
    case WM_QUERYUISTATE:
        return state;
    case WM_CHANGEUISTATE:
    case WM_UPDATEUISTATE: {
        const LRESULT flags = HIWORD(wParam);
        if (LOWORD(wParam) == UIS_SET) state |= flags;
        if (LOWORD(wParam) == UIS_CLEAR) state &= ~flags;
        for (HWND child = ::GetWindow(hwnd, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
            ::SendMessageW(child, WM_UPDATEUISTATE, wParam, lParam);
        }
        return 0;
    }
    default:
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

}  // namespace

// A mouse user's window starts with the cues hidden (the system's keyboard-cue
// setting); the first key that moves the focus shows them.
TEST_F(ControlPaintTest, FocusCuesFollowTheWindowsKeyboardCueState)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = UiStateHostProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"PavoUiStateHost";
    ::RegisterClassW(&windowClass);
    const HWND host = ::CreateWindowExW(0, L"PavoUiStateHost", L"", WS_POPUP | WS_VISIBLE, 0, 0, 300, 200, nullptr,
                                        nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(host, nullptr);
    ImageButton button;
    ImageButton check;
    HyperLink link;
    ASSERT_TRUE(button.CreateButton(L"OK", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, RECT{10, 10, 110, 50}, host, 210));
    ASSERT_TRUE(check.CreateButton(L"check", WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, RECT{10, 60, 110, 80}, host,
                                   211));
    ASSERT_TRUE(link.CreateStatic(L"link", WS_VISIBLE | WS_TABSTOP | SS_LEFT | SS_NOTIFY, RECT{10, 90, 110, 110},
                                  host, 212));
    link.SetBackgroundColor(RGB(255, 255, 255));
    ::SetForegroundWindow(host);
    for (HWND control : {button.GetHwnd(), check.GetHwnd(), link.GetHwnd()}) {
        SCOPED_TRACE(::GetDlgCtrlID(control));
        ::SetFocus(host);
        ::SendMessageW(host, WM_UPDATEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS), 0);
        int w = 0;
        int h = 0;
        const auto unfocused = CaptureClient(control, &w, &h);
        ::SetFocus(control);
        ASSERT_EQ(::GetFocus(), control);
        EXPECT_FALSE(KeyboardNavigation::ShowsFocusCue(control));
        EXPECT_EQ(CaptureClient(control, &w, &h), unfocused) << "focused by the mouse: no cue";
        KeyboardNavigation::ShowFocusCues(control);
        EXPECT_TRUE(KeyboardNavigation::ShowsFocusCue(control));
        EXPECT_NE(CaptureClient(control, &w, &h), unfocused) << "after a key: the cue";
        ::SetFocus(host);
        EXPECT_EQ(CaptureClient(control, &w, &h), unfocused) << "the cue goes with the focus";
    }
    ::DestroyWindow(host);
}

TEST_F(ControlPaintTest, LinkColourFollowsHoverAndVisited)
{
    ControlTestHost host;
    HyperLink link;
    ASSERT_TRUE(link.CreateStatic(L"WWWWWWWW", WS_VISIBLE | SS_LEFT | SS_NOTIFY, RECT{10, 10, 300, 40}, host.Get(),
                                  300));
    link.SetLinkColors(LinkColors{RGB(0, 0, 255), RGB(255, 0, 0), RGB(128, 0, 128)});
    PumpPending();
    EXPECT_GT(CountColour(link.GetHwnd(), 0x0000FF), 4);
    EXPECT_EQ(CountColour(link.GetHwnd(), 0xFF0000), 0);
    // Over the text: hover colour; past its measured end: not over it.
    ::SendMessageW(link.GetHwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(3, 10));
    EXPECT_TRUE(link.IsOverText());
    EXPECT_GT(CountColour(link.GetHwnd(), 0xFF0000), 4);
    ::SendMessageW(link.GetHwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(285, 10));
    EXPECT_FALSE(link.IsOverText());
    link.SetVisited(true);
    EXPECT_GT(CountColour(link.GetHwnd(), 0x800080), 4);
    EXPECT_EQ(CountColour(link.GetHwnd(), 0x0000FF, 8), 0);
    // Nothing to open: no visit.
    HyperLink empty;
    EXPECT_FALSE(empty.Open());
}

namespace {

struct RecordingHandler : EditWithClear::IEditChangeHandler {
    int changed = 0;
    int tabs = 0;
    int returns = 0;
    void OnEditChanged(EditWithClear*) override { ++changed; }
    void OnEditTab(EditWithClear*) override { ++tabs; }
    void OnEditReturn(EditWithClear*) override { ++returns; }
};

}  // namespace

TEST_F(ControlPaintTest, EditWithClearButtonHandlerAndHint)
{
    ControlTestHost host;
    EditWithClear edit;
    ASSERT_TRUE(edit.CreateControl(WS_VISIBLE, RECT{10, 10, 210, 40}, host.Get(), 400));
    HWND field = ::GetDlgItem(edit.GetHwnd(), EditWithClear::kEditId);
    ASSERT_EQ(field, edit.Edit().GetHwnd());
    // An empty field has nothing to clear: its button is made with its first text.
    EXPECT_EQ(::GetDlgItem(edit.GetHwnd(), EditWithClear::kButtonId), nullptr);
    const HFONT font = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    ::SendMessageW(edit.GetHwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);

    RecordingHandler handler;
    edit.SetEditChangeHandler(&handler);
    edit.SetText(L"abc");
    HWND clear = ::GetDlgItem(edit.GetHwnd(), EditWithClear::kButtonId);
    ASSERT_NE(clear, nullptr);
    ASSERT_EQ(clear, edit.ClearButton().GetHwnd());
    EXPECT_TRUE(::IsWindowVisible(clear));
    // Made at the square on the right end, in the field's font.
    RECT client = {};
    ::GetClientRect(edit.GetHwnd(), &client);
    RECT placed = {};
    ::GetWindowRect(clear, &placed);
    ::MapWindowPoints(nullptr, edit.GetHwnd(), reinterpret_cast<POINT*>(&placed), 2);
    EXPECT_EQ(placed.right, client.right);
    EXPECT_EQ(placed.right - placed.left, client.bottom - client.top);
    EXPECT_EQ(reinterpret_cast<HFONT>(::SendMessageW(clear, WM_GETFONT, 0, 0)), font);
    EXPECT_EQ(handler.changed, 1);
    EXPECT_EQ(edit.GetText(), L"abc");

    // The clear button empties the field and focuses it.
    ::SendMessageW(clear, BM_CLICK, 0, 0);
    EXPECT_EQ(edit.GetText(), L"");
    EXPECT_FALSE(::IsWindowVisible(clear));
    EXPECT_EQ(::GetFocus(), field);
    EXPECT_EQ(handler.changed, 2);

    ::SendMessageW(field, WM_KEYDOWN, VK_TAB, 0);
    ::SendMessageW(field, WM_CHAR, L'\t', 0);
    ::SendMessageW(field, WM_KEYDOWN, VK_RETURN, 0);
    ::SendMessageW(field, WM_CHAR, L'\r', 0);
    EXPECT_EQ(handler.tabs, 1);
    EXPECT_EQ(handler.returns, 1);
    EXPECT_EQ(edit.GetText(), L"");  // the keys inserted nothing

    // Without a handler the keys are the edit's again.
    edit.SetEditChangeHandler(nullptr);
    ::SendMessageW(field, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(handler.returns, 1);

    // The hint shows while the field is empty and unfocused.
    edit.SetHint(L"WWWW");
    edit.SetHintColor(RGB(0xFF, 0, 0));
    edit.SetBackgroundColor(RGB(0, 0, 0));
    ::SetFocus(host.Get());
    EXPECT_TRUE(edit.Edit().IsShowingHint());
    EXPECT_GT(CountColour(field, 0xFF0000, 60), 4);
    ::SetFocus(field);
    EXPECT_FALSE(edit.Edit().IsShowingHint());
    EXPECT_EQ(CountColour(field, 0xFF0000, 60), 0);

    edit.SetText(L"selected text");
    edit.SetEditFocus();
    DWORD start = 1;
    DWORD end = 0;
    ::SendMessageW(field, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 13u);
    EXPECT_EQ(::GetFocus(), field);

    // Child positions.
    edit.SetEditRect(RECT{2, 3, 100, 25});
    RECT r;
    ::GetWindowRect(field, &r);
    ::MapWindowPoints(nullptr, edit.GetHwnd(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 2);
    EXPECT_EQ(r.top, 3);
    EXPECT_EQ(r.right, 100);
}

TEST_F(ControlPaintTest, AnimationCountsFramesAndWrapsAround)
{
    ControlTestHost host;
    AnimatedGif three;
    AnimatedGif one;
    ASSERT_TRUE(three.CreateControl(RECT{10, 10, 26, 26}, host.Get(), 500));
    ASSERT_TRUE(one.CreateControl(RECT{40, 10, 56, 26}, host.Get(), 501));
    // A picture named for later is read when it is first asked about, and a
    // later Load replaces what was named.
    three.LoadWhenNeeded(dir_ + L"one.gif");
    ASSERT_TRUE(three.Load(dir_ + L"three.gif"));
    one.LoadWhenNeeded(dir_ + L"one.gif");
    EXPECT_TRUE(one.HasImage());
    EXPECT_FALSE(three.Load(dir_ + L"missing.gif"));
    EXPECT_EQ(three.GetFrameCount(), 3u);
    EXPECT_EQ(one.GetFrameCount(), 1u);
    EXPECT_FALSE(::IsWindowVisible(three.GetHwnd()));

    three.Play(20);
    one.Play(20);
    EXPECT_TRUE(::IsWindowVisible(three.GetHwnd()));
    EXPECT_EQ(three.GetCurrentFrame(), 0u);
    // Each tick selects the next frame; after the last comes the first.
    for (UINT expected : {1u, 2u, 0u}) {
        ::SendMessageW(three.GetHwnd(), WM_TIMER, AnimatedGif::kFrameTimer, 0);
        EXPECT_EQ(three.GetCurrentFrame(), expected);
    }
    ::SendMessageW(one.GetHwnd(), WM_TIMER, AnimatedGif::kFrameTimer, 0);
    EXPECT_EQ(one.GetCurrentFrame(), 0u);
    // The real timer runs too.
    EXPECT_TRUE(PumpUntil([&] { return three.GetCurrentFrame() == 2; }, 5000));

    three.Stop();
    EXPECT_FALSE(three.IsPlaying());
    EXPECT_FALSE(::IsWindowVisible(three.GetHwnd()));
    const UINT stopped = three.GetCurrentFrame();
    PumpPending();
    EXPECT_EQ(three.GetCurrentFrame(), stopped);

    // Named for later, then played: the frames are there when it starts; a
    // missing file leaves it without a picture and without frames.
    AnimatedGif later;
    ASSERT_TRUE(later.CreateControl(RECT{70, 10, 86, 26}, host.Get(), 502));
    later.LoadWhenNeeded(dir_ + L"three.gif");
    later.Play(20);
    EXPECT_EQ(later.GetFrameCount(), 3u);
    later.Stop();
    AnimatedGif missing;
    missing.LoadWhenNeeded(dir_ + L"missing.gif");
    EXPECT_FALSE(missing.HasImage());
    EXPECT_EQ(missing.GetFrameCount(), 0u);
}

TEST_F(ControlPaintTest, WindowListPlacesGroupsAndScrolls)
{
    ControlTestHost host(600, 500);
    CustomWindowList list;
    ASSERT_TRUE(list.CreateControl(WS_VISIBLE | WS_VSCROLL | WS_HSCROLL, RECT{0, 0, 400, 200}, host.Get(), 600));
    std::vector<std::unique_ptr<StaticEx>> rows;
    auto add = [&](int state, const wchar_t* heading) {
        auto row = std::make_unique<StaticEx>();
        row->CreateStatic(L"row", WS_VISIBLE | SS_LEFT, RECT{0, 0, 100, 40}, host.Get(), 0);
        list.AddItem(CWL_ITEM{state, heading, row->GetHwnd(), nullptr});
        rows.push_back(std::move(row));
    };
    add(2, L"installed");
    add(1, L"available");
    add(1, L"available");
    list.Layout();
    EXPECT_EQ(list.GetMetrics().cell.cx, 110);
    EXPECT_EQ(list.GetMetrics().cell.cy, 50);
    ASSERT_EQ(list.GetGroups().size(), 2u);
    EXPECT_EQ(list.GetGroups().begin()->first, 1);

    auto placed = [&](HWND w) {
        RECT r;
        ::GetWindowRect(w, &r);
        ::MapWindowPoints(nullptr, list.GetHwnd(), reinterpret_cast<POINT*>(&r), 2);
        return r;
    };
    // The state-1 group comes first although it was added second.
    EXPECT_EQ(::GetParent(rows[1]->GetHwnd()), list.GetHwnd());
    EXPECT_EQ(placed(rows[1]->GetHwnd()).left, 34);
    EXPECT_EQ(placed(rows[1]->GetHwnd()).top, 51);
    EXPECT_EQ(placed(rows[2]->GetHwnd()).left, 29 + 120 + 5);
    const RECT installed = placed(rows[0]->GetHwnd());
    EXPECT_EQ(installed.top, 46 + 50 + 20 + 20 + 26 + 5);

    // Scrolling moves the content by 10-pixel lines; positions stay inside it.
    ASSERT_GT(list.GetContentSize().cy, 200);
    ::SendMessageW(list.GetHwnd(), WM_VSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(list.GetScrollPosition().y, 10);
    EXPECT_EQ(placed(rows[1]->GetHwnd()).top, 41);
    ::SendMessageW(list.GetHwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
    EXPECT_EQ(list.GetScrollPosition().y, 0);
    ::SendMessageW(list.GetHwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
    EXPECT_EQ(list.GetScrollPosition().y, 0);
    ::SendMessageW(list.GetHwnd(), WM_VSCROLL, SB_BOTTOM, 0);
    RECT client;
    ::GetClientRect(list.GetHwnd(), &client);
    EXPECT_EQ(list.GetScrollPosition().y, list.GetContentSize().cy - client.bottom);

    list.EnableList(false);
    EXPECT_FALSE(::IsWindowEnabled(list.GetHwnd()));
    std::vector<HWND> headings;
    for (HWND child = ::GetWindow(list.GetHwnd(), GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (child != rows[0]->GetHwnd() && child != rows[1]->GetHwnd() && child != rows[2]->GetHwnd()) {
            headings.push_back(child);
        }
    }
    EXPECT_EQ(headings.size(), 2u);
    list.RemoveAllItems();
    EXPECT_TRUE(list.GetGroups().empty());
    EXPECT_TRUE(::IsWindow(rows[0]->GetHwnd())) << "rows belong to the caller";
    for (HWND heading : headings) EXPECT_FALSE(::IsWindow(heading)) << "headings go with the groups";
    // Filled again, the list makes new headings.
    list.AddItem(CWL_ITEM{1, L"again", rows[1]->GetHwnd(), nullptr});
    list.Layout();
    EXPECT_EQ(list.GetGroups().size(), 1u);
}

TEST_F(ControlPaintTest, HtmlControlFallsBackToReadableText)
{
    ControlTestHost host;
    CustomHtmlCtrl html;
    ASSERT_TRUE(html.CreateControl(WS_VISIBLE, RECT{10, 10, 310, 210}, host.Get(), 700));
    html.SetFontSize(13);
    html.SetTextColorText(L"111827");
    EXPECT_EQ(html.GetStyleBlock(), L"<style> body {font-size: 13px;\ncolor: #111827;\n} </style>");
    const std::wstring page = L"<html> <head> " + html.GetStyleBlock() +
                              L" </head> <body> <h1>Title</h1><p>Body &amp; more</p>"
                              L"<a href=\"https://example.test/\">site</a> </body> </html>";
    html.SetHtml(page);
    // Wine has no HTML engine: the page must end up as text, never blank. The
    // view says so itself (its blank page completes without an HTML
    // document), well before the time limit.
    const DWORD start = ::GetTickCount();
    ASSERT_TRUE(PumpUntil([&] { return html.IsTextFallback(); }, 10000));
    EXPECT_EQ(html.TextReason(), HtmlPageChoice::Reason::EngineFailed);
    EXPECT_LT(::GetTickCount() - start, CustomHtmlCtrl::kDocumentWaitMs);
    EXPECT_EQ(html.GetFallbackText(), HtmlToText(page));
    EXPECT_NE(html.GetFallbackText().find(L"site (https://example.test/)"), std::wstring::npos);
    // A later page replaces the text.
    html.SetHtml(L"<p>second</p>");
    EXPECT_EQ(html.GetFallbackText(), L"second");
}

TEST(ToolTipHelperTest, TrimsAndIgnoresEmptyText)
{
    EXPECT_EQ(ToolTipHelper::TrimText(L"  tip \r\n"), L"tip");
    EXPECT_EQ(ToolTipHelper::TrimText(L" \t "), L"");
    ControlTestHost host;
    StaticEx label;
    ASSERT_TRUE(label.CreateStatic(L"x", WS_VISIBLE | SS_LEFT, RECT{0, 0, 50, 20}, host.Get(), 800));
    EXPECT_TRUE(label.SetToolTip(label.GetHwnd(), L"  "));
    EXPECT_EQ(label.GetToolTipHwnd(), nullptr);
    EXPECT_TRUE(label.SetToolTip(label.GetHwnd(), L" hello "));
    ASSERT_NE(label.GetToolTipHwnd(), nullptr);
    EXPECT_EQ(::SendMessageW(label.GetToolTipHwnd(), TTM_GETTOOLCOUNT, 0, 0), 1);
    EXPECT_NE(::GetWindowLongW(label.GetHwnd(), GWL_STYLE) & SS_NOTIFY, 0);
    EXPECT_TRUE(label.SetToolTip(label.GetHwnd(), L"again"));
    EXPECT_EQ(::SendMessageW(label.GetToolTipHwnd(), TTM_GETTOOLCOUNT, 0, 0), 1);
    EXPECT_TRUE(label.SetToolTip(label.GetHwnd(), L""));
    EXPECT_EQ(::SendMessageW(label.GetToolTipHwnd(), TTM_GETTOOLCOUNT, 0, 0), 0);
}
