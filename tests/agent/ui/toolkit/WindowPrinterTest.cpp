#include <gtest/gtest.h>

#include <windows.h>

#include "GdiHandles.h"
#include "WindowPrinter.h"

namespace {

const wchar_t kWhiteClass[] = L"PavoPrinterWhite";
const wchar_t kGreyClass[] = L"PavoPrinterGrey";
const wchar_t kBlackClass[] = L"PavoPrinterBlack";

void RegisterClassWithBrush(const wchar_t* name, int brush)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = ::DefWindowProcW;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(brush));
    windowClass.lpszClassName = name;
    ::RegisterClassW(&windowClass);
}

HWND Child(const wchar_t* className, DWORD style, int x, int y, int width, int height, HWND parent)
{
    return ::CreateWindowExW(0, className, L"", WS_CHILD | style, x, y, width, height, parent, nullptr,
                             ::GetModuleHandleW(nullptr), nullptr);
}

// The overlay's picture of the page it covers: the page and everything shown
// inside it, nested windows included, each at its place.
TEST(WindowPrinterTest, PrintsNestedChildrenAtTheirPlacesAndSkipsHiddenOnes)
{
    RegisterClassWithBrush(kWhiteClass, WHITE_BRUSH);
    RegisterClassWithBrush(kGreyClass, GRAY_BRUSH);
    RegisterClassWithBrush(kBlackClass, BLACK_BRUSH);
    const HWND page = ::CreateWindowExW(WS_EX_TOOLWINDOW, kWhiteClass, L"page", WS_POPUP, 10, 10, 200, 100, nullptr,
                                        nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(page, nullptr);
    // A grey panel at (20,20) holding a black square at (10,10) of its own;
    // a black square at (150,20) that is hidden; a black square that reaches
    // past the page's right edge.
    const HWND panel = Child(kGreyClass, WS_VISIBLE, 20, 20, 80, 60, page);
    Child(kBlackClass, WS_VISIBLE, 10, 10, 20, 20, panel);
    Child(kBlackClass, 0, 150, 20, 20, 20, page);
    Child(kBlackClass, WS_VISIBLE, 190, 70, 40, 40, page);
    ::ShowWindow(page, SW_SHOWNA);

    HDC screen = ::GetDC(nullptr);
    Lumen::ScopedCreatedDC memory(::CreateCompatibleDC(screen));
    Lumen::ScopedBitmap bitmap(::CreateCompatibleBitmap(screen, 240, 120));
    ::ReleaseDC(nullptr, screen);
    const HGDIOBJ old = ::SelectObject(memory.Get(), bitmap.Get());
    RECT all{0, 0, 240, 120};
    Lumen::ScopedBrush red(::CreateSolidBrush(RGB(255, 0, 0)));
    ::FillRect(memory.Get(), &all, red.Get());

    ASSERT_TRUE(Lumen::WindowPrinter::Print(page, memory.Get()));
    const COLORREF white = RGB(255, 255, 255);
    const COLORREF black = RGB(0, 0, 0);
    EXPECT_EQ(white, ::GetPixel(memory.Get(), 5, 5)) << "the page itself";
    EXPECT_EQ(RGB(128, 128, 128), ::GetPixel(memory.Get(), 25, 25)) << "the panel";
    EXPECT_EQ(black, ::GetPixel(memory.Get(), 40, 40)) << "the square inside the panel";
    EXPECT_EQ(white, ::GetPixel(memory.Get(), 160, 30)) << "a hidden child is not printed";
    EXPECT_EQ(black, ::GetPixel(memory.Get(), 195, 75)) << "the square at the edge";
    EXPECT_EQ(RGB(255, 0, 0), ::GetPixel(memory.Get(), 215, 75)) << "nothing is drawn past the page";

    ::ShowWindow(page, SW_HIDE);
    EXPECT_FALSE(Lumen::WindowPrinter::Print(page, memory.Get())) << "a hidden page prints nothing";
    ::SelectObject(memory.Get(), old);
    ::DestroyWindow(page);
}

}  // namespace
