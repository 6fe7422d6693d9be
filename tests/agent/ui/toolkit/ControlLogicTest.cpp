#include <gtest/gtest.h>

#include <chrono>
#include <initializer_list>
#include <vector>

#include "ControlGeometry.h"
#include "HtmlPageChoice.h"
#include "HtmlText.h"
#include "KeyboardNavigation.h"
#include "WindowListLayout.h"

using namespace Lumen;

TEST(ControlLogic, ButtonStateAndStripFrames)
{
    EXPECT_EQ(SelectButtonState(true, true, true, true), kStateDisabled);
    EXPECT_EQ(SelectButtonState(false, true, false, true), kStatePressed);
    EXPECT_EQ(SelectButtonState(false, false, true, false), kStatePressed);
    EXPECT_EQ(SelectButtonState(false, false, false, true), kStateHover);
    EXPECT_EQ(SelectButtonState(false, false, false, false), kStateNormal);

    // A strip 402 wide: each frame is 100 wide; the 2 spare columns are never shown.
    const RECT third = StripFrameRect(402, 30, kStateDisabled);
    EXPECT_EQ(third.left, 300);
    EXPECT_EQ(third.right, 400);
    EXPECT_EQ(third.bottom, 30);
    EXPECT_EQ(StripFrameRect(402, 30, kStateHover).left, 100);
}

TEST(ControlLogic, PictureUniformityAllowsCopyingOnlyAlongRepeatedRowsOrColumns)
{
    // 3 x 3 pixels of 3 bytes, rows padded to 12 bytes; the padding never counts.
    const auto picture = [](std::initializer_list<unsigned> colours) {
        std::vector<unsigned char> bits(12 * 3, 0xEE);
        int i = 0;
        for (unsigned colour : colours) {
            unsigned char* p = &bits[(i / 3) * 12 + (i % 3) * 3];
            p[0] = static_cast<unsigned char>(colour);
            p[1] = static_cast<unsigned char>(colour >> 8);
            p[2] = static_cast<unsigned char>(colour >> 16);
            ++i;
        }
        for (int row = 0; row < 3; ++row) bits[row * 12 + 9 + row] = static_cast<unsigned char>(row);
        return bits;
    };
    const auto edge = picture({1, 2, 3, 1, 2, 3, 1, 2, 3});
    PictureUniformity u = MeasureUniformity(edge.data(), 3, 3, 12, 3);
    EXPECT_TRUE(u.rows);
    EXPECT_FALSE(u.columns);

    const auto band = picture({5, 5, 5, 6, 6, 6, 7, 7, 7});
    u = MeasureUniformity(band.data(), 3, 3, 12, 3);
    EXPECT_FALSE(u.rows);
    EXPECT_TRUE(u.columns);

    // One pixel off in the last row, or in one byte of a pixel: an averaging stretch it stays.
    const auto lastRow = picture({1, 2, 3, 1, 2, 3, 1, 2, 4});
    u = MeasureUniformity(lastRow.data(), 3, 3, 12, 3);
    EXPECT_FALSE(u.rows);
    EXPECT_FALSE(u.columns);
    const auto oneByte = picture({5, 5, 0x10005, 6, 6, 6, 7, 7, 7});
    EXPECT_FALSE(MeasureUniformity(oneByte.data(), 3, 3, 12, 3).columns);

    const auto flat = picture({9, 9, 9, 9, 9, 9, 9, 9, 9});
    u = MeasureUniformity(flat.data(), 3, 3, 12, 3);
    EXPECT_TRUE(u.rows && u.columns);

    // Nothing to measure, or a stride shorter than a row: neither.
    u = MeasureUniformity(nullptr, 3, 3, 12, 3);
    EXPECT_FALSE(u.rows || u.columns);
    u = MeasureUniformity(flat.data(), 0, 3, 12, 3);
    EXPECT_FALSE(u.rows || u.columns);
    u = MeasureUniformity(flat.data(), 3, 3, 8, 3);
    EXPECT_FALSE(u.rows || u.columns);
}

TEST(ControlLogic, ButtonTextAlignmentTable)
{
    struct Row {
        DWORD style;
        UINT format;
    } rows[] = {
        {0, DT_CENTER | DT_VCENTER},
        {BS_CENTER, DT_CENTER | DT_VCENTER},
        {BS_VCENTER, DT_CENTER | DT_VCENTER},
        {BS_CENTER | BS_VCENTER, DT_CENTER | DT_VCENTER},
        {BS_LEFT, DT_LEFT | DT_VCENTER},
        {BS_LEFT | BS_VCENTER, DT_LEFT | DT_VCENTER},
        {BS_RIGHT, DT_RIGHT | DT_VCENTER},
        {BS_RIGHT | BS_VCENTER, DT_RIGHT | DT_VCENTER},
        {BS_TOP, DT_CENTER | DT_TOP},
        {BS_TOP | BS_CENTER, DT_CENTER | DT_TOP},
        {BS_TOP | BS_RIGHT, DT_RIGHT | DT_TOP},
        {BS_BOTTOM, DT_CENTER | DT_BOTTOM},
        {BS_BOTTOM | BS_CENTER, DT_CENTER | DT_BOTTOM},
        {BS_BOTTOM | BS_LEFT, DT_LEFT | DT_BOTTOM},
        {BS_BOTTOM | BS_RIGHT, DT_RIGHT | DT_BOTTOM},
        {BS_TOP | BS_LEFT, DT_LEFT | DT_TOP},
    };
    for (const Row& r : rows) {
        // Other style bits never change the placement.
        EXPECT_EQ(ButtonTextAlignment(r.style | BS_AUTOCHECKBOX | BS_MULTILINE), r.format) << std::hex << r.style;
    }
}

TEST(ControlLogic, StaticFormatsAndLinkTextArea)
{
    EXPECT_EQ(StaticTextFormat(SS_LEFT), static_cast<UINT>(DT_NOPREFIX | DT_LEFT | DT_WORDBREAK));
    EXPECT_EQ(StaticTextFormat(SS_RIGHT | SS_CENTERIMAGE | SS_ENDELLIPSIS),
              static_cast<UINT>(DT_NOPREFIX | DT_RIGHT | DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS));
    EXPECT_TRUE(StaticTextFormat(SS_CENTER | SS_PATHELLIPSIS) & DT_PATH_ELLIPSIS);

    const RECT client{0, 0, 200, 20};
    RECT r = LinkTextRect(SS_LEFT, client, 50);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.right, 50);
    EXPECT_EQ(r.bottom, 20);
    r = LinkTextRect(SS_CENTER, client, 50);
    EXPECT_EQ(r.left, 75);
    EXPECT_EQ(r.right, 125);
    r = LinkTextRect(SS_RIGHT, client, 500);  // wider than the window: the whole window
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.right, 200);
    r = LinkTextRect(SS_SIMPLE, client, 50);
    EXPECT_EQ(r.right, 200);
}

TEST(ControlLogic, CoordinateBaseScrollAndFrames)
{
    const POINT p = MainWindowPointToClient(POINT{100, 80}, true, 4, 32);
    EXPECT_EQ(p.x, 96);
    EXPECT_EQ(p.y, 48);
    // No top picture: the frame is not skinned there, nothing to subtract.
    EXPECT_EQ(MainWindowPointToClient(POINT{100, 80}, true, 4, 0).y, 80);
    EXPECT_EQ(MainWindowPointToClient(POINT{100, 80}, false, 4, 32).x, 100);

    EXPECT_EQ(ClampScrollPosition(-5, 300, 100), 0);
    EXPECT_EQ(ClampScrollPosition(250, 300, 100), 200);
    EXPECT_EQ(ClampScrollPosition(50, 80, 100), 0);

    const POINT centred = CenteredOrigin(RECT{100, 50, 500, 350}, SIZE{200, 100});
    EXPECT_EQ(centred.x, 200);
    EXPECT_EQ(centred.y, 150);
    const POINT larger = CenteredOrigin(RECT{0, 0, 300, 200}, SIZE{500, 400});
    EXPECT_EQ(larger.x, 0) << "never left of the screen";
    EXPECT_EQ(larger.y, 0);

    EXPECT_EQ(NextAnimationFrame(0, 1), 0u);  // one frame never advances
    EXPECT_EQ(NextAnimationFrame(11, 12), 0u);
    EXPECT_EQ(NextAnimationFrame(3, 12), 4u);
    EXPECT_EQ(NextAnimationFrame(0, 0), 0u);
}

TEST(ControlLogic, WindowListLayoutPlacesGroupsAndCells)
{
    WindowListMetrics m;
    m.cell = SIZE{196, 95};  // an item of 186 x 85 plus the 10-pixel gaps
    const WindowListLayout l = ComputeWindowListLayout({4, 1}, m);
    ASSERT_EQ(l.headings.size(), 2u);
    EXPECT_EQ(l.headings[0].left, 39);
    EXPECT_EQ(l.headings[0].top, 20);
    EXPECT_EQ(l.headings[0].right, 139);
    EXPECT_EQ(l.headings[0].bottom, 39);

    ASSERT_EQ(l.items[0].size(), 4u);
    // Item 0: cell (29, 46), window shrunk by 5 on every side.
    EXPECT_EQ(l.items[0][0].left, 34);
    EXPECT_EQ(l.items[0][0].top, 51);
    EXPECT_EQ(l.items[0][0].right - l.items[0][0].left, 186);
    EXPECT_EQ(l.items[0][0].bottom - l.items[0][0].top, 85);
    // Item 2: third column, x = 29 + 2 * 206.
    EXPECT_EQ(l.items[0][2].left, 29 + 412 + 5);
    // Item 3: second row, y = 46 + 105.
    EXPECT_EQ(l.items[0][3].left, 34);
    EXPECT_EQ(l.items[0][3].top, 151 + 5);

    // Group 1 starts 20 below the first group's extent (last cell bottom 246, + 20).
    EXPECT_EQ(l.headings[1].top, 246 + 20 + 20);
    EXPECT_EQ(l.items[1][0].top, 286 + 26 + 5);
    EXPECT_EQ(l.extent.cy, 286 + 26 + 95 + 20);
    // Widest: the last column's right edge (29 + 412 + 196), no extra margin there.
    EXPECT_EQ(l.extent.cx, 637);

    // A single short row: its cells are not in the last column, 29 more.
    const WindowListLayout one = ComputeWindowListLayout({1}, m);
    EXPECT_EQ(one.extent.cx, 29 + 196 + 29);
    EXPECT_TRUE(ComputeWindowListLayout({}, m).headings.empty());
}

TEST(HtmlText, StyleBlockHoldsOnlySetValues)
{
    EXPECT_EQ(BuildHtmlStyleBlock(0, L"", L"", L""), L"<style> body {} </style>");
    EXPECT_EQ(BuildHtmlStyleBlock(13, L"NanumGothic", L"111827", L"FFFFFF"),
              L"<style> body {font-size: 13px;\nfont-family: NanumGothic;\ncolor: #111827;\n"
              L"background-color: #FFFFFF;\n} </style>");
    EXPECT_EQ(BuildHtmlStyleBlock(-1, L"", L"000000", L""), L"<style> body {color: #000000;\n} </style>");
}

TEST(HtmlText, PageBecomesReadableText)
{
    const std::wstring page =
        L"<html> <head> <style> body {color: #111;} </style><title>t</title> </head> <body>"
        L"<h1>Notice &amp; news</h1><br><p>First   line\n of <b>text</b>.</p>"
        L"<ul><li>one</li><li>two &lt;3&gt; &#xD55C;&#54620;</li></ul>"
        L"Visit <a href=\"https://example.test/a?b=1&amp;c=2\" target=\"_blank\">our site</a> now."
        L"<script>alert('x')</script><!-- hidden --> end&nbsp;here &bogus; a&b"
        L"</body> </html>";
    EXPECT_EQ(HtmlToText(page),
              L"Notice & news\r\n\r\n"
              L"\r\n"
              L"First line of text.\r\n\r\n"
              L"- one\r\n"
              L"- two <3> \xD55C\xD55C\r\n"
              L"Visit our site (https://example.test/a?b=1&c=2) now. end here &bogus; a&b");
}

TEST(HtmlText, MalformedInputStaysSafe)
{
    EXPECT_EQ(HtmlToText(L""), L"");
    EXPECT_EQ(HtmlToText(L"plain <b"), L"plain");
    EXPECT_EQ(HtmlToText(L"<a href=#top>up</a><a href='javascript:x()'>js</a>"), L"upjs");
    EXPECT_EQ(HtmlToText(L"x<script>never closed"), L"x");
    EXPECT_EQ(HtmlToText(L"&#0;&#99999999;&#x;"), L"\xFFFD\xFFFD&#x;");
    EXPECT_EQ(HtmlToText(L"line<br/>two<BR>three"), L"line\r\ntwo\r\nthree");
}

TEST(HtmlText, LargePagesTakeLinearTime)
{
    // About 1 MB each: many elements whose content is skipped, and bare '&'.
    std::wstring skipped;
    while (skipped.size() < 1000000) skipped += L"<p>news</p><STYLE>p {}</STYLE><script>x()</script>";
    const std::wstring ampersands(1000000, L'&');
    const auto start = std::chrono::steady_clock::now();
    const std::wstring text = HtmlToText(skipped);
    const std::wstring amp = HtmlToText(ampersands);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(text.substr(0, 12), L"news\r\n\r\nnews");
    EXPECT_EQ(amp.size(), ampersands.size());
    // Linear work is a few milliseconds here; a pass over the page per element took minutes.
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(), 2000);
}

TEST(HtmlPageChoice, EveryPageIsDecidedOnItsOwn)
{
    using Show = HtmlPageChoice::Show;
    using Reason = HtmlPageChoice::Reason;
    HtmlPageChoice choice;
    // A slow view: the first page runs out of time and is shown as text ...
    choice.NewPage(true, false, false);
    EXPECT_EQ(choice.Current(), Show::Waiting);
    choice.TimedOut();
    EXPECT_EQ(choice.Current(), Show::Text);
    EXPECT_EQ(choice.TextReason(), Reason::TimedOut);
    // ... until its document comes after all.
    choice.DocumentReady();
    EXPECT_EQ(choice.Current(), Show::Html);
    // The next page tries the view again rather than inheriting the text.
    choice.NewPage(true, false, false);
    choice.TimedOut();
    choice.NewPage(true, false, false);
    EXPECT_EQ(choice.Current(), Show::Waiting);
    choice.NewPage(true, true, false);
    EXPECT_EQ(choice.Current(), Show::Html);
    choice.TimedOut();
    EXPECT_EQ(choice.Current(), Show::Html) << "a late time limit of a shown page changes nothing";

    // The view's own report that it has no engine: text at once, and for
    // later pages without waiting.
    choice.NewPage(true, false, false);
    choice.EngineFailed();
    EXPECT_EQ(choice.Current(), Show::Text);
    EXPECT_EQ(choice.TextReason(), Reason::EngineFailed);
    choice.NewPage(true, false, true);
    EXPECT_EQ(choice.Current(), Show::Text);
    EXPECT_EQ(choice.TextReason(), Reason::EngineFailed);

    // No view at all.
    choice.NewPage(false, false, false);
    choice.DocumentReady();
    EXPECT_EQ(choice.Current(), Show::Text);
    EXPECT_EQ(choice.TextReason(), Reason::NoView);
}

TEST(ControlLogic, TabStopsSkipUnusableControlsAndWrapBothWays)
{
    using KeyboardNavigation::NextStop;
    const std::vector<bool> usable = {true, false, true, true, false};
    EXPECT_EQ(NextStop(usable, 0, false), 2) << "a hidden or disabled control is passed over";
    EXPECT_EQ(NextStop(usable, 3, false), 0) << "wraps to the first";
    EXPECT_EQ(NextStop(usable, 0, true), 3) << "backwards wraps to the last usable";
    EXPECT_EQ(NextStop(usable, 2, true), 0);
    EXPECT_EQ(NextStop(usable, -1, false), 0) << "focus outside the list: the first";
    EXPECT_EQ(NextStop(usable, -1, true), 3) << "or, backwards, the last";
    EXPECT_EQ(NextStop(usable, 9, false), 0);
    EXPECT_EQ(NextStop({false, true, false}, 1, false), 1) << "the only usable one stays";
    EXPECT_EQ(NextStop({false, false}, 0, false), -1);
    EXPECT_EQ(NextStop({}, -1, true), -1);
}
