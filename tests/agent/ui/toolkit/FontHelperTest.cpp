#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "FontHelper.h"
#include "GdiHandles.h"
#include "Window.h"

namespace {

class FontProbe : public Lumen::Window, public Lumen::FontHelper {
public:
    FontProbe() : FontHelper(this) {}
    int changes = 0;
    void OnFontChanged() override { ++changes; }
};

TEST(FontHelperTest, PointSizeAndKeysRebuildTheWindowFont)
{
    FontProbe probe;
    ASSERT_TRUE(probe.Create(L"STATIC", L"가나다 text", WS_POPUP, 0, RECT{0, 0, 200, 40}, nullptr, 0));
    int dpiX = 96;
    int dpiY = 96;
    {
        Lumen::ScopedGetDC screen(nullptr);
        dpiX = ::GetDeviceCaps(screen.Get(), LOGPIXELSX);
        dpiY = ::GetDeviceCaps(screen.Get(), LOGPIXELSY);
    }
    probe.SetPointSize(12);
    EXPECT_EQ(Lumen::FontHelper::PointSizeToHeight(12, dpiX, dpiY), probe.GetLogFont().lfHeight);
    EXPECT_EQ(reinterpret_cast<LRESULT>(probe.GetFont()), ::SendMessageW(probe.GetHwnd(), WM_GETFONT, 0, 0));
    EXPECT_EQ(1, probe.changes);

    probe.SetBold(true);
    probe.SetUnderline(true);
    probe.Apply(probe.GetLogFont());
    const LOGFONTW font = probe.GetLogFont();
    EXPECT_EQ(FW_BOLD, font.lfWeight);
    EXPECT_TRUE(font.lfUnderline);
    EXPECT_EQ(Lumen::FontHelper::PointSizeToHeight(12, dpiX, dpiY), font.lfHeight);  // kept
    EXPECT_EQ(2, probe.changes);
    probe.DestroyWindow();

    // Without a window the font is still built, and nothing is sent.
    FontProbe detached;
    detached.SetPointSize(9);
    EXPECT_NE(nullptr, detached.GetFont());
    EXPECT_EQ(0, detached.changes);
}

TEST(FontHelperTest, InstalledFaces)
{
    // Debian's Nanum fonts reach Wine through the system font configuration.
    EXPECT_TRUE(Lumen::FontHelper::IsInstalled(L"NanumGothic"));
    EXPECT_FALSE(Lumen::FontHelper::IsInstalled(L"No Such Face 7f3a"));
    EXPECT_FALSE(Lumen::FontHelper::IsInstalled(L""));
    EXPECT_FALSE(Lumen::FontHelper::IsInstalled(std::wstring(40, L'A')));  // longer than LOGFONT's field
}

}  // namespace
