// Skinned controls driven by a skin of the test's own: resource.json, one
// skin description and pictures written into a skin folder at run time.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <json/json.h>

#include "ControlTestHost.h"
#include "FontHelper.h"
#include "SkinAnimatedGif.h"
#include "SkinButton.h"
#include "SkinCustomHtmlCtrl.h"
#include "SkinCustomWindowList.h"
#include "SkinEditWithClear.h"
#include "SkinLinkCtrl.h"
#include "SkinManager.h"
#include "SkinStatic.h"
#include "TestImages.h"
#include "TestSupport.h"

using namespace Lumen;
using namespace ToolkitTest;

namespace {

constexpr unsigned kStrip[4] = {0xE02020, 0x20C040, 0x2040E0, 0xF0D020};

// A stand-in for the skinned main window: a bordered top-level window that
// answers as a skinned dialog with a skinned frame 4 pixels wide on the left
// and 32 high on top.
class FakeMainWindow : public Window, public SkinHelper {
public:
    int shows = 0;
    bool framed = true;
    HWND GetSkinHwnd() const override { return GetHwnd(); }
    bool IsSkinnedDialog() const override { return true; }
    bool GetSkinnedFrameInsets(SIZE* insets) const override
    {
        if (!framed) return false;
        *insets = SIZE{4, 32};
        return true;
    }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_SHOWWINDOW && wParam) ++shows;
        return DefaultProc(message, wParam, lParam);
    }
};

Json::Value Parse(const std::string& text)
{
    Json::Value v;
    Json::CharReaderBuilder b;
    std::unique_ptr<Json::CharReader> r(b.newCharReader());
    std::string errors;
    EXPECT_TRUE(r->parse(text.data(), text.data() + text.size(), &v, &errors)) << errors;
    return v;
}

class SkinnedControlsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
        ::InitCommonControlsEx(&icc);
        root_ = PavoTest::MakeTempDirectory(L"skin");
        skin_ = std::make_unique<SkinManager>(root_);
        skin_->SetUnpackDirectory(root_ + L"unpacked");
        const std::wstring images = skin_->GetImageDirectory() + L"\\";
        ::CreateDirectoryW((root_ + L"unpacked").c_str(), nullptr);
        ::CreateDirectoryW(images.c_str(), nullptr);
        ASSERT_TRUE(WriteStrip(images + L"button.png", 20, 20, kStrip));
        ASSERT_TRUE(WriteSolid(images + L"first.png", 10, 10, 0x123456));
        ASSERT_TRUE(WriteSolid(images + L"second.png", 10, 10, 0x654321));
        ASSERT_TRUE(WriteGif(images + L"spinner.gif", 16, 16, {0xE02020, 0x20C040}));
        ASSERT_TRUE(PavoTest::WriteFileBytes(images + L"resource.json", R"({"resource":[
            {"id":"IDD_TEST","value":300}, {"id":"IDC_BUTTON","value":1001}, {"id":"IDC_STATIC","value":1002},
            {"id":"IDC_LINK","value":1003}, {"id":"IDC_EDIT","value":1004}, {"id":"IDC_GIF","value":1005},
            {"id":"IDC_LIST","value":1006}, {"id":"IDC_HTML","value":1007}]})"));
        skin_->LoadResource();
        ASSERT_EQ(skin_->IdentifierByName(L"IDC_BUTTON"), 1001);
    }

    std::wstring root_;
    std::unique_ptr<SkinManager> skin_;
};

}  // namespace

TEST_F(SkinnedControlsTest, ButtonEntryPlacesColoursAndPaintsItsStrip)
{
    ControlTestHost host;
    SkinButton button;
    ASSERT_TRUE(button.CreateButton(L"", BS_PUSHBUTTON, RECT{0, 0, 10, 10}, host.Get(), 1001));
    button.ApplySkin(skin_.get(), Parse(R"({"id":"IDC_BUTTON","left":15,"top":25,"width":80,"height":30,
        "coordinate_base":"parent","visible":true,"text":"\uc124\uce58\ud558\uae30","tooltip":" Install ",
        "text_color":"FFFFFF","text_color_normal":"010101","text_color_hover":"020202",
        "text_color_clicked":"030303","text_margin_x":3,"bg_color":"2563EB","bg_image":"button.png",
        "text_bold":true,"font_size":12})"));
    RECT r;
    ::GetWindowRect(button.GetHwnd(), &r);
    ::MapWindowPoints(nullptr, host.Get(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 15);
    EXPECT_EQ(r.top, 25);
    EXPECT_EQ(r.right - r.left, 80);
    EXPECT_TRUE(::IsWindowVisible(button.GetHwnd()));
    wchar_t text[32] = {};
    ::GetWindowTextW(button.GetHwnd(), text, 32);
    EXPECT_STREQ(text, L"\xC124\xCE58\xD558\xAE30");
    EXPECT_EQ(button.GetToolTipText(), L"Install");
    // Three of four state colours: only the single colour counts.
    EXPECT_EQ(button.GetTextColors().normal, RGB(255, 255, 255));
    EXPECT_EQ(button.GetTextColors().disable, RGB(255, 255, 255));
    EXPECT_EQ(button.GetTextMargin().x, 3);
    EXPECT_EQ(button.GetTextMargin().y, 0);
    EXPECT_EQ(button.GetBackgroundColors().hover, RGB(0x25, 0x63, 0xEB));
    LOGFONTW lf = {};
    ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(button.GetHwnd(), WM_GETFONT, 0, 0)), sizeof(lf), &lf);
    EXPECT_EQ(lf.lfWeight, FW_BOLD);
    EXPECT_EQ(lf.lfHeight, FontHelper::PointSizeToHeight(12, 96, 96));
    ASSERT_TRUE(button.Strip().IsValid());
    int w = 0;
    int h = 0;
    EXPECT_TRUE(Near(PixelAt(CaptureClient(button.GetHwnd(), &w, &h), w, 5, 5), kStrip[0]));

    // "enable": false shows the disabled frame; "bg_image2" alone changes nothing.
    button.ApplySkin(skin_.get(), Parse(R"({"enable":false,"bg_image2":"first.png","visible":0})"));
    EXPECT_FALSE(::IsWindowEnabled(button.GetHwnd()));
    EXPECT_FALSE(::IsWindowVisible(button.GetHwnd()));
    EXPECT_FALSE(button.CheckedStrip().IsValid());
    EXPECT_TRUE(Near(PixelAt(CaptureClient(button.GetHwnd(), &w, &h), w, 5, 5), kStrip[3]));
    // A picture that cannot be loaded keeps the previous one.
    button.ApplySkin(skin_.get(), Parse(R"({"bg_image":"missing.png"})"));
    EXPECT_TRUE(button.Strip().IsValid());
    EXPECT_EQ(button.Strip().Width(), 80);
}

TEST_F(SkinnedControlsTest, CoordinateBaseMainWindowCountsFromTheOuterCorner)
{
    FakeMainWindow main;
    ASSERT_TRUE(RegisterWindowClassOnce(L"PavoFakeMainWindow"));
    ASSERT_TRUE(main.Create(L"PavoFakeMainWindow", L"main", WS_POPUP | WS_BORDER | WS_VISIBLE, 0,
                            RECT{50, 50, 450, 350}, nullptr, 0));
    // A page inside the main window, offset in its client area.
    HWND page = ::CreateWindowExW(0, L"Static", L"", WS_CHILD | WS_VISIBLE, 30, 40, 300, 200, main.GetHwnd(),
                                  nullptr, nullptr, nullptr);
    SkinStatic label;
    ASSERT_TRUE(label.CreateStatic(L"", SS_LEFT, RECT{0, 0, 5, 5}, page, 1002));
    auto inMainClient = [&]() {
        RECT r;
        ::GetWindowRect(label.GetHwnd(), &r);
        ::MapWindowPoints(nullptr, main.GetHwnd(), reinterpret_cast<POINT*>(&r), 2);
        return r;
    };
    label.ApplySkin(skin_.get(), Parse(R"({"left":100,"top":80,"width":50,"height":20})"));
    EXPECT_EQ(inMainClient().left, 96);
    EXPECT_EQ(inMainClient().top, 48);
    label.ApplySkin(skin_.get(), Parse(R"({"left":110,"top":90,"width":50,"height":20,"coordinate_base":"MAIN_WINDOW"})"));
    EXPECT_EQ(inMainClient().left, 106);
    // Without a skinned frame nothing is subtracted.
    main.framed = false;
    label.ApplySkin(skin_.get(), Parse(R"({"left":110,"top":90,"width":50,"height":20})"));
    EXPECT_EQ(inMainClient().top, 90);
    // Another base: the parent's client coordinates.
    label.ApplySkin(skin_.get(), Parse(R"({"left":7,"top":9,"width":50,"height":20,"coordinate_base":"page"})"));
    EXPECT_EQ(inMainClient().left, 37);
    EXPECT_EQ(inMainClient().top, 49);
    // Three of the four geometry keys: nothing moves.
    label.ApplySkin(skin_.get(), Parse(R"({"left":70,"top":90,"width":50})"));
    EXPECT_EQ(inMainClient().left, 37);

    // The main window itself: only its size, and "visible" arrives as WM_SHOWWINDOW.
    RECT before;
    ::GetWindowRect(main.GetHwnd(), &before);
    PumpPending();
    main.shows = 0;
    main.ApplySkin(skin_.get(), Parse(R"({"left":0,"top":0,"width":300,"height":200,"visible":true})"));
    RECT after;
    ::GetWindowRect(main.GetHwnd(), &after);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.right - after.left, 300);
    EXPECT_EQ(main.shows, 0);
    PumpPending();
    EXPECT_EQ(main.shows, 1);
    main.DestroyWindow();
}

TEST_F(SkinnedControlsTest, FontFaceFallsBackToTheSkinDefault)
{
    ControlTestHost host;
    SkinStatic label;
    ASSERT_TRUE(label.CreateStatic(L"", SS_LEFT, RECT{0, 0, 100, 20}, host.Get(), 1002));
    label.ApplySkin(skin_.get(), Parse(R"({"font_face":"No Such Face 1234","text_underline":true})"));
    LOGFONTW lf = {};
    ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(label.GetHwnd(), WM_GETFONT, 0, 0)), sizeof(lf), &lf);
    EXPECT_EQ(std::wstring(lf.lfFaceName), skin_->GetDefaultFaceName());
    EXPECT_TRUE(lf.lfUnderline);
    if (FontHelper::IsInstalled(L"NanumGothic")) {
        label.ApplySkin(skin_.get(), Parse(R"({"font_face":"NanumGothic"})"));
        ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(label.GetHwnd(), WM_GETFONT, 0, 0)), sizeof(lf), &lf);
        EXPECT_STREQ(lf.lfFaceName, L"NanumGothic");
    }
}

TEST_F(SkinnedControlsTest, StaticLinkEditGifListAndHtmlEntries)
{
    ControlTestHost host(600, 400);
    SkinStatic label;
    SkinLinkCtrl link;
    SkinEditWithClear edit;
    SkinAnimatedGif gif;
    SkinCustomWindowList list;
    SkinCustomHtmlCtrl html;
    ASSERT_TRUE(label.CreateStatic(L"", SS_LEFT, RECT{0, 0, 40, 40}, host.Get(), 1002));
    ASSERT_TRUE(link.CreateStatic(L"", SS_LEFT, RECT{0, 50, 100, 70}, host.Get(), 1003));
    ASSERT_TRUE(edit.CreateControl(0, RECT{0, 80, 200, 110}, host.Get(), 1004));
    ASSERT_TRUE(gif.CreateControl(RECT{0, 120, 16, 136}, host.Get(), 1005));
    ASSERT_TRUE(list.CreateControl(0, RECT{220, 0, 500, 200}, host.Get(), 1006));
    ASSERT_TRUE(html.CreateControl(0, RECT{220, 210, 500, 390}, host.Get(), 1007));

    label.ApplySkin(skin_.get(), Parse(R"({"bg_image1":"first.png","bg_image2":"second.png","bg_color":"FFFFFF",
        "text_color":"111827","visible":true})"));
    EXPECT_EQ(label.GetImageCount(), 2u);
    EXPECT_EQ(label.GetTextColor(), RGB(0x11, 0x18, 0x27));
    int w = 0;
    int h = 0;
    const auto shot = CaptureClient(label.GetHwnd(), &w, &h);
    EXPECT_TRUE(Near(PixelAt(shot, w, 2, 2), 0x123456));  // the first picture is the one shown
    EXPECT_TRUE(Near(PixelAt(shot, w, 30, 30), 0xFFFFFF));

    link.ApplySkin(skin_.get(), Parse(R"({"url":"https://example.test/","text":"link",
        "link_color_normal":"000001","link_color_hover":"000002","link_color_visited":"000003"})"));
    EXPECT_EQ(link.GetUrl(), L"https://example.test/");
    EXPECT_EQ(link.GetLinkColors().visited, RGB(0, 0, 3));

    edit.ApplySkin(skin_.get(), Parse(R"({"nc_info":{"nc_border_color":"E5E7EB"},"hint_text":"ID",
        "text_color":"111827","hint_text_color":"9CA3AF","bg_color":"F5F7FA","button_bg_image":"button.png",
        "child_pos":[{"part":"EDIT","left":4,"top":2,"width":150,"height":24},
                     {"part":"button","left":170,"top":3,"width":20,"height":20},
                     {"part":"other","left":0,"top":0,"width":1,"height":1}]})"));
    EXPECT_EQ(edit.GetBorderColor(), RGB(0xE5, 0xE7, 0xEB));
    EXPECT_EQ(edit.Edit().GetHint(), L"ID");
    EXPECT_EQ(edit.GetBackgroundColor(), RGB(0xF5, 0xF7, 0xFA));
    EXPECT_TRUE(edit.ClearButton().Strip().IsValid());
    // The button is made where the skin puts it once there is text to clear.
    edit.SetText(L"user");
    ASSERT_NE(edit.ClearButton().GetHwnd(), nullptr);
    RECT r;
    ::GetWindowRect(edit.ClearButton().GetHwnd(), &r);
    ::MapWindowPoints(nullptr, edit.GetHwnd(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 170);
    EXPECT_EQ(r.right - r.left, 20);

    gif.ApplySkin(skin_.get(), Parse(R"({"bg_image":"spinner.gif"})"));
    EXPECT_EQ(gif.GetFrameCount(), 2u);

    list.ApplySkin(skin_.get(), Parse(R"({"text_color":"6B7280","bg_color":"F5F7FA"})"));
    EXPECT_EQ(list.GetTextColor(), RGB(0x6B, 0x72, 0x80));
    EXPECT_EQ(list.GetBackgroundColor(), RGB(0xF5, 0xF7, 0xFA));

    html.ApplySkin(skin_.get(), Parse(R"({"nc_info":{"nc_border_color":"E5E7EB"},"font_face":"NanumGothic",
        "font_size":13,"text_color":"111827","bg_color":"FFFFFF"})"));
    EXPECT_EQ(html.GetStyleBlock(), L"<style> body {font-size: 13px;\nfont-family: NanumGothic;\n"
                                    L"color: #111827;\nbackground-color: #FFFFFF;\n} </style>");
    EXPECT_EQ(html.GetBorderColor(), RGB(0xE5, 0xE7, 0xEB));
}
