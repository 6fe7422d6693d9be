#include <gtest/gtest.h>

#include <windows.h>

#include <objbase.h>

#include <string>
#include <vector>

#include "DirectoryUtils.h"
#include "FrameTestResource.h"
#include "Lumen/PathUtils.h"
#include "MessageLoop.h"
#include "SkinDialog.h"
#include "SkinHelper.h"
#include "SkinManager.h"
#include "TestImages.h"
#include "Window.h"
#include "ZipTestSupport.h"

namespace {

using Lumen::JoinPath;

// Caption-button strip frames: normal, hover, pressed, disabled.
constexpr unsigned kStrip[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0x808080};
constexpr unsigned kTopColour = 0x203040;
constexpr int kTop = 30;
constexpr int kSide = 4;
constexpr int kBottom = 5;
constexpr UINT kMarker = WM_APP + 100;

// A template child taken over as a skinned control.
class ProbeControl : public Lumen::Window, public Lumen::SkinHelper {
public:
    HWND GetSkinHwnd() const override { return GetHwnd(); }
    void ApplySkin(Lumen::SkinManager* skin, const Json::Value& entry) override
    {
        ++applied;
        SkinHelper::ApplySkin(skin, entry);
    }
    int applied = 0;
};

class FrameDialog : public Lumen::SkinDialog {
public:
    FrameDialog() : SkinDialog(IDD_FRAME_TEST) {}
    ProbeControl probe;
    ProbeControl other;
    int cancels = 0;
    int oks = 0;
    int customs = 0;
    int helps = 0;
    int markers = 0;
    int frameCalcs = 0;  // WM_NCCALCSIZE with wParam TRUE: the frame laid out again

protected:
    BOOL OnInitDialog() override
    {
        probe.SubclassDlgItem(IDC_FRAME_PROBE, GetHwnd());
        other.SubclassDlgItem(IDC_FRAME_OTHER, GetHwnd());
        return SkinDialog::OnInitDialog();
    }
    void OnOK() override { ++oks; }
    void OnCancel() override
    {
        ++cancels;
        SkinDialog::OnCancel();
    }
    void OnCustomButton() override { ++customs; }
    void OnHelpButton() override { ++helps; }
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        if (message == kMarker) {
            ++markers;
            return true;
        }
        if (message == WM_NCCALCSIZE && wParam != FALSE) ++frameCalcs;
        return SkinDialog::OnMessage(message, wParam, lParam, result);
    }
};

class SkinDialogTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        ToolkitTest::StartGdiplus();
    }

    void SetUp() override
    {
        program_ = ToolkitTest::MakeTempFolder(L"skin-dialog");
        images_ = JoinPath(program_, L"skin\\Test.exe\\100");
        ASSERT_TRUE(Lumen::CreateDirectoryTree(images_));
        ASSERT_TRUE(ToolkitTest::WriteSolid(JoinPath(images_, L"top.png"), 8, kTop, kTopColour));
        ASSERT_TRUE(ToolkitTest::WriteSolid(JoinPath(images_, L"left.png"), kSide, 8, 0x111111));
        ASSERT_TRUE(ToolkitTest::WriteSolid(JoinPath(images_, L"right.png"), kSide, 8, 0x111111));
        ASSERT_TRUE(ToolkitTest::WriteSolid(JoinPath(images_, L"bottom.png"), 8, kBottom, 0x111111));
        ASSERT_TRUE(ToolkitTest::WriteStrip(JoinPath(images_, L"button.png"), 20, 16, kStrip));
        ASSERT_TRUE(ToolkitTest::WriteTextFile(
            JoinPath(images_, L"resource.json"),
            R"({"resource":[{"id":"IDD_FRAME","value":7000},{"id":"IDC_PROBE","value":7010},)"
            R"({"id":"IDC_OTHER","value":7011},{"id":"IDC_NOWHERE","value":7999}]})"));
        skin_ = std::make_unique<Lumen::SkinManager>(program_);
        skin_->SetUnpackDirectory(JoinPath(program_, L"skin\\Test.exe"));
        skin_->LoadResource();
        Lumen::SkinDialog::SetDefaultResources(skin_.get(), nullptr);
    }

    void TearDown() override
    {
        Lumen::SkinDialog::SetDefaultResources(nullptr, nullptr);
        Lumen::DeleteDirectoryTree(program_);
    }

    void WriteDialogSkin(int sysMenuType, const std::string& size = "")
    {
        const std::string buttons = R"("nc_part_btn_close":"button.png","nc_part_btn_minimize":"button.png",)"
                                    R"("nc_part_btn_maximize":"button.png","nc_part_btn_restore":"button.png",)"
                                    R"("nc_part_btn_help":"button.png","nc_part_btn_custom":"button.png")";
        ASSERT_TRUE(ToolkitTest::WriteTextFile(
            JoinPath(images_, L"IDD_FRAME.json"),
            R"({"skin_info_list":[{"id":"IDD_FRAME",)" + size + R"("text":"skinned","bg_color":"FFFFFF","nc_info":{)"
            R"("nc_part_top":"top.png","nc_part_left":"left.png","nc_part_right":"right.png",)"
            R"("nc_part_bottom":"bottom.png",)" +
                buttons + R"(,"nc_btn_margin_x":6,"nc_btn_margin_y":1,"nc_btn_gap":2,"sys_menu_type":)" +
                std::to_string(sysMenuType) +
                R"(}},{"id":"IDC_PROBE","left":50,"top":60,"width":30,"height":10,"visible":true},)"
                R"({"id":"IDC_NOWHERE","visible":true},{"id":"IDC_UNNAMED","visible":true}]})"));
    }

    void Open(FrameDialog& dialog, int sysMenuType)
    {
        WriteDialogSkin(sysMenuType);
        ASSERT_TRUE(dialog.Create(nullptr));
        ::SetWindowPos(dialog.GetHwnd(), HWND_TOP, 40, 40, 420, 260, SWP_SHOWWINDOW);
        Pump(dialog);
    }

    // Runs the loop until everything posted so far has been handled.
    static void Pump(FrameDialog& dialog)
    {
        dialog.markers = 0;
        ::PostMessageW(dialog.GetHwnd(), kMarker, 0, 0);
        ASSERT_TRUE(Lumen::MessageLoop::RunUntil([&dialog] { return dialog.markers > 0; }));
    }

    // The centre of a caption button, on the screen.
    static POINT ButtonCentre(const FrameDialog& dialog, int button)
    {
        const RECT rect = Lumen::CaptionButtonRect(dialog.GetCaptionLayout(), button);
        RECT window = {};
        ::GetWindowRect(dialog.GetHwnd(), &window);
        return POINT{window.left + (rect.left + rect.right) / 2, window.top + (rect.top + rect.bottom) / 2};
    }

    // The frame's pixel at a screen point, as 0xRRGGBB.
    static unsigned FramePixel(const FrameDialog& dialog, POINT screen)
    {
        RECT window = {};
        ::GetWindowRect(dialog.GetHwnd(), &window);
        HDC dc = ::GetWindowDC(dialog.GetHwnd());
        const COLORREF colour = ::GetPixel(dc, screen.x - window.left, screen.y - window.top);
        ::ReleaseDC(dialog.GetHwnd(), dc);
        return (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
    }

    static LPARAM ScreenParam(POINT point) { return MAKELPARAM(point.x, point.y); }
    static LPARAM ClientParam(HWND hwnd, POINT screen)
    {
        ::ScreenToClient(hwnd, &screen);
        return MAKELPARAM(static_cast<short>(screen.x), static_cast<short>(screen.y));
    }

    std::wstring program_;
    std::wstring images_;
    std::unique_ptr<Lumen::SkinManager> skin_;
};

TEST_F(SkinDialogTest, AppliesItsSkinToItselfAndItsControls)
{
    FrameDialog dialog;
    Open(dialog, 0);
    const HWND hwnd = dialog.GetHwnd();
    ASSERT_TRUE(dialog.IsFrameSkinned());
    wchar_t caption[64] = {};
    ::GetWindowTextW(hwnd, caption, 64);
    EXPECT_STREQ(L"skinned", caption);

    // The client area is the window less the frame pictures.
    RECT window = {};
    RECT client = {};
    ::GetWindowRect(hwnd, &window);
    ::GetClientRect(hwnd, &client);
    ::MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&client), 2);
    EXPECT_EQ(kSide, client.left - window.left);
    EXPECT_EQ(kTop, client.top - window.top);
    EXPECT_EQ(kSide, window.right - client.right);
    EXPECT_EQ(kBottom, window.bottom - client.bottom);

    // Skinned children start hidden; only the one with an entry is shown,
    // placed from the main window's outer corner less the frame.
    EXPECT_EQ(1, dialog.probe.applied);
    EXPECT_EQ(0, dialog.other.applied);
    EXPECT_TRUE(::IsWindowVisible(dialog.probe.GetHwnd()));
    EXPECT_FALSE(::IsWindowVisible(dialog.other.GetHwnd()));
    RECT probe = {};
    ::GetWindowRect(dialog.probe.GetHwnd(), &probe);
    ::MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&probe), 2);
    EXPECT_EQ(50 - kSide, probe.left);
    EXPECT_EQ(60 - kTop, probe.top);
    EXPECT_EQ(30, probe.right - probe.left);

    // The frame is drawn from the pictures; the caption band is a caption.
    const POINT band{window.left + 120, window.top + 3};
    EXPECT_TRUE(ToolkitTest::Near(kTopColour, FramePixel(dialog, band)));
    // Every side is painted (each side has a buffer of its own), also once
    // the window has grown.
    const auto expectSides = [&dialog, hwnd] {
        RECT now = {};
        ::GetWindowRect(hwnd, &now);
        const int middleY = (now.top + now.bottom) / 2;
        EXPECT_TRUE(ToolkitTest::Near(0x111111, FramePixel(dialog, POINT{now.left + 1, middleY})));
        EXPECT_TRUE(ToolkitTest::Near(0x111111, FramePixel(dialog, POINT{now.right - 2, middleY})));
        EXPECT_TRUE(ToolkitTest::Near(0x111111, FramePixel(dialog, POINT{(now.left + now.right) / 2, now.bottom - 2})));
        EXPECT_TRUE(ToolkitTest::Near(kTopColour, FramePixel(dialog, POINT{(now.left + now.right) / 2, now.top + 3})));
    };
    // The window region is the whole window after every size change (a
    // region that is already right is not set again).
    const auto expectRegionFits = [hwnd] {
        RECT now = {};
        ::GetWindowRect(hwnd, &now);
        RECT box = {};
        ASSERT_EQ(SIMPLEREGION, ::GetWindowRgnBox(hwnd, &box));
        EXPECT_EQ(0, box.left);
        EXPECT_EQ(0, box.top);
        EXPECT_EQ(now.right - now.left, box.right);
        EXPECT_EQ(now.bottom - now.top, box.bottom);
    };
    expectSides();
    expectRegionFits();
    ::SetWindowPos(hwnd, nullptr, 0, 0, window.right - window.left + 40, window.bottom - window.top + 30,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::RedrawWindow(hwnd, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
    expectSides();
    expectRegionFits();
    ::SetWindowPos(hwnd, nullptr, window.left, window.top, window.right - window.left, window.bottom - window.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    expectRegionFits();
    EXPECT_EQ(HTCAPTION, ::SendMessageW(hwnd, WM_NCHITTEST, 0, ScreenParam(POINT{window.left + 120, window.top + 15})));
    EXPECT_EQ(HTCLIENT, ::SendMessageW(hwnd, WM_NCHITTEST, 0, ScreenParam(POINT{window.left + 120, window.top + 60})));

    // A new caption keeps the skinned band (the system draws its own caption
    // when the text changes).
    ::SetWindowTextW(hwnd, L"renamed");
    EXPECT_TRUE(ToolkitTest::Near(kTopColour, FramePixel(dialog, band)));

    // Maximised, the window covers its monitor's work area less one pixel.
    MINMAXINFO info = {};
    ::SendMessageW(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    ASSERT_TRUE(::GetMonitorInfoW(::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &monitor));
    EXPECT_EQ(0, info.ptMaxPosition.x);
    EXPECT_EQ(monitor.rcWork.right - monitor.rcWork.left, info.ptMaxSize.x);
    EXPECT_EQ(monitor.rcWork.bottom - monitor.rcWork.top - 1, info.ptMaxSize.y);
    EXPECT_EQ(info.ptMaxSize.y, info.ptMaxTrackSize.y);

    // A posted "TaskbarButtonCreated" makes the taskbar interface only when
    // the window accepts the message.
    ::PostMessageW(hwnd, Lumen::TaskbarManager::TaskbarButtonCreatedMessage(), 0, 0);
    Pump(dialog);
    EXPECT_EQ(nullptr, dialog.GetTaskbarManager().Get());
    dialog.GetTaskbarManager().SetAcceptsMessage(true);
    ::PostMessageW(hwnd, Lumen::TaskbarManager::TaskbarButtonCreatedMessage(), 0, 0);
    Pump(dialog);
    EXPECT_NE(nullptr, dialog.GetTaskbarManager().Get());
}

TEST_F(SkinDialogTest, AHiddenDialogTakesItsSkinnedFrameAndSizeInOneMove)
{
    // Without a size in the skin the frame change is a move of its own.
    FrameDialog unsized;
    WriteDialogSkin(0);
    ASSERT_TRUE(unsized.Create(nullptr));
    const int alone = unsized.frameCalcs;

    FrameDialog sized;
    WriteDialogSkin(0, R"("left":0,"top":0,"width":430,"height":270,)");
    ASSERT_TRUE(sized.Create(nullptr));
    const HWND hwnd = sized.GetHwnd();
    ASSERT_FALSE(::IsWindowVisible(hwnd));
    RECT window = {};
    RECT client = {};
    ::GetWindowRect(hwnd, &window);
    ::GetClientRect(hwnd, &client);
    ::MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&client), 2);
    EXPECT_EQ(430, window.right - window.left);
    EXPECT_EQ(270, window.bottom - window.top);
    EXPECT_EQ(kSide, client.left - window.left);
    EXPECT_EQ(kTop, client.top - window.top);
    EXPECT_EQ(kSide, window.right - client.right);
    EXPECT_EQ(kBottom, window.bottom - client.bottom);
    // Each costs a move of the top-level window: one for the resize, which
    // carries the new frame, and one for the region of the new size. Before,
    // the frame change was a move of its own, and the region was set three
    // times (the region's own move put back one of the old size).
    EXPECT_EQ(2, alone);
    EXPECT_EQ(2, sized.frameCalcs);

    // Any later resize: one move and one region, which fits the new size.
    sized.frameCalcs = 0;
    ::SetWindowPos(hwnd, nullptr, 0, 0, 470, 300, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(2, sized.frameCalcs);
    RECT box = {};
    ASSERT_EQ(SIMPLEREGION, ::GetWindowRgnBox(hwnd, &box));
    EXPECT_EQ(470, box.right);
    EXPECT_EQ(300, box.bottom);
}

TEST_F(SkinDialogTest, CaptionButtonsHoverPressAndActOnlyWhenReleasedOnThem)
{
    FrameDialog dialog;
    Open(dialog, 0);
    const HWND hwnd = dialog.GetHwnd();
    const POINT close = ButtonCentre(dialog, Lumen::kCaptionClose);
    EXPECT_TRUE(ToolkitTest::Near(kStrip[0], FramePixel(dialog, close)));

    // Hover.
    ::SendMessageW(hwnd, WM_NCMOUSEMOVE, HTCAPTION, ScreenParam(close));
    EXPECT_EQ(Lumen::kCaptionClose, dialog.GetHoveredButton());
    EXPECT_TRUE(ToolkitTest::Near(kStrip[1], FramePixel(dialog, close)));

    // Press, then release outside the button: nothing happens.
    ::SendMessageW(hwnd, WM_NCLBUTTONDOWN, HTCAPTION, ScreenParam(close));
    EXPECT_EQ(Lumen::kCaptionClose, dialog.GetPressedButton());
    EXPECT_EQ(hwnd, ::GetCapture());
    EXPECT_TRUE(ToolkitTest::Near(kStrip[2], FramePixel(dialog, close)));
    RECT window = {};
    ::GetWindowRect(hwnd, &window);
    ::SendMessageW(hwnd, WM_LBUTTONUP, 0, ClientParam(hwnd, POINT{window.left + 100, window.top + 15}));
    EXPECT_NE(hwnd, ::GetCapture());
    EXPECT_EQ(Lumen::kCaptionNone, dialog.GetPressedButton());
    Pump(dialog);
    EXPECT_EQ(0, dialog.cancels);
    EXPECT_TRUE(::IsWindowVisible(hwnd));
    EXPECT_TRUE(ToolkitTest::Near(kStrip[0], FramePixel(dialog, close)));

    // The custom button while the user button is disabled: the disabled
    // frame, and clicks do nothing.
    const POINT custom = ButtonCentre(dialog, Lumen::kCaptionCustom);
    dialog.EnableUserButton(false);
    EXPECT_TRUE(ToolkitTest::Near(kStrip[3], FramePixel(dialog, custom)));
    ::SendMessageW(hwnd, WM_NCLBUTTONDOWN, HTCAPTION, ScreenParam(custom));
    ::SendMessageW(hwnd, WM_LBUTTONUP, 0, ClientParam(hwnd, custom));
    EXPECT_EQ(0, dialog.customs);
    dialog.EnableUserButton(true);
    EXPECT_TRUE(ToolkitTest::Near(kStrip[0], FramePixel(dialog, custom)));
    ::SendMessageW(hwnd, WM_NCLBUTTONDOWN, HTCAPTION, ScreenParam(custom));
    ::SendMessageW(hwnd, WM_LBUTTONUP, 0, ClientParam(hwnd, custom));
    EXPECT_EQ(1, dialog.customs);
    const POINT help = ButtonCentre(dialog, Lumen::kCaptionHelp);
    ::SendMessageW(hwnd, WM_NCLBUTTONDOWN, HTCAPTION, ScreenParam(help));
    ::SendMessageW(hwnd, WM_LBUTTONUP, 0, ClientParam(hwnd, help));
    EXPECT_EQ(1, dialog.helps);

    // Press and release on close: it acts once, as the system close.
    ::SendMessageW(hwnd, WM_NCLBUTTONDOWN, HTCAPTION, ScreenParam(close));
    ::SendMessageW(hwnd, WM_LBUTTONUP, 0, ClientParam(hwnd, close));
    Pump(dialog);
    EXPECT_EQ(1, dialog.cancels);
    EXPECT_FALSE(::IsWindowVisible(hwnd));
}

TEST_F(SkinDialogTest, SysMenuTypeTwoShowsOnlyCloseAndEnterEscapeNeverClose)
{
    FrameDialog dialog;
    Open(dialog, 2);
    const HWND hwnd = dialog.GetHwnd();
    const Lumen::CaptionLayout& layout = dialog.GetCaptionLayout();
    EXPECT_FALSE(layout.placedMaximize || layout.placedMinimize || layout.placedHelp || layout.placedCustom);
    // Where the maximise button would be, the caption band shows.
    RECT window = {};
    ::GetWindowRect(hwnd, &window);
    const POINT close = ButtonCentre(dialog, Lumen::kCaptionClose);
    EXPECT_TRUE(ToolkitTest::Near(kStrip[0], FramePixel(dialog, close)));
    EXPECT_TRUE(ToolkitTest::Near(kTopColour, FramePixel(dialog, POINT{close.x - 22, close.y})));

    const HWND edit = dialog.GetDlgItem(IDC_FRAME_EDIT);
    ::ShowWindow(edit, SW_SHOW);
    ::SetFocus(edit);
    for (HWND target : {edit, hwnd, dialog.GetDlgItem(IDOK)}) {
        for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
            ::PostMessageW(target, WM_KEYDOWN, key, 1);
            ::PostMessageW(target, WM_KEYUP, key, 0xC0000001);
        }
    }
    Pump(dialog);
    EXPECT_EQ(0, dialog.oks);
    EXPECT_EQ(0, dialog.cancels);
    EXPECT_TRUE(::IsWindowVisible(hwnd));
}

// The client area as the window's own paint left it on the screen, as 0xRRGGBB.
std::vector<unsigned> ScreenClient(HWND hwnd, const RECT& client)
{
    const int width = client.right;
    const int height = client.bottom;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP dib = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(memory, dib);
    HDC screen = ::GetDC(hwnd);
    ::BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    ::ReleaseDC(hwnd, screen);
    ::GdiFlush();
    const auto* p = static_cast<const unsigned*>(bits);
    std::vector<unsigned> pixels(p, p + static_cast<size_t>(width) * height);
    for (auto& v : pixels) v &= 0xFFFFFF;
    ::SelectObject(memory, old);
    ::DeleteDC(memory);
    ::DeleteObject(dib);
    return pixels;
}

TEST_F(SkinDialogTest, ItsPaintShowsExactlyItsComposedBackgroundAlsoWhenPartlyRepainted)
{
    // A fill with a picture and shapes; the picture (placed from the window's
    // outer corner, as a main window's are) lies over a shape's corner.
    ASSERT_TRUE(ToolkitTest::WriteSolid(JoinPath(images_, L"logo.png"), 16, 12, 0x2563EB));
    ASSERT_TRUE(ToolkitTest::WriteTextFile(
        JoinPath(images_, L"IDD_FRAME.json"),
        R"({"skin_info_list":[{"id":"IDD_FRAME","bg_color":"FFFFFF","nc_info":{)"
        R"("nc_part_top":"top.png","nc_part_left":"left.png","nc_part_right":"right.png","nc_part_bottom":"bottom.png"},)"
        R"("additional_bg_images":[{"image":"logo.png","left":200,"top":50,"width":16,"height":12}],)"
        R"("shape_items":[{"type":"ractangle","border_color":"E5E7EB","bg_color":"E5E7EB","left":120,"top":80,"width":200,"height":1},)"
        R"({"type":"ractangle","border_color":"111827","bg_color":"DC2626","left":210,"top":26,"width":40,"height":20},)"
        R"({"type":"circle","bg_color":"000000","left":0,"top":0,"width":50,"height":50}]}]})"));
    FrameDialog dialog;
    ASSERT_TRUE(dialog.Create(nullptr));
    const HWND hwnd = dialog.GetHwnd();
    ::SetWindowPos(hwnd, HWND_TOP, 40, 40, 420, 260, SWP_SHOWWINDOW);
    for (HWND child = ::GetWindow(hwnd, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        ::ShowWindow(child, SW_HIDE);
    }
    ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    Pump(dialog);

    RECT client = {};
    ::GetClientRect(hwnd, &client);
    int w = 0;
    int h = 0;
    const auto composed = ToolkitTest::CaptureClient(hwnd, &w, &h);  // DrawBackground, in one buffer
    ASSERT_EQ(w, client.right);
    const auto pixel = [w](const std::vector<unsigned>& shot, int x, int y) { return shot[static_cast<size_t>(y) * w + x]; };
    EXPECT_EQ(0xFFFFFFu, pixel(composed, 5, 5));     // the fill (a circle is not drawn)
    EXPECT_EQ(0x2563EBu, pixel(composed, 198, 22));  // the picture, at 196,20 in the client area
    EXPECT_EQ(0x2563EBu, pixel(composed, 211, 27));  // over the shape's corner
    EXPECT_EQ(0xDC2626u, pixel(composed, 230, 40));  // the shape
    EXPECT_EQ(0x111827u, pixel(composed, 230, 26));  // its border
    EXPECT_EQ(0xE5E7EBu, pixel(composed, 150, 80));  // the line
    const auto painted = ScreenClient(hwnd, client);
    ASSERT_EQ(composed.size(), painted.size());
    size_t differing = 0;
    for (size_t i = 0; i < composed.size(); ++i) differing += composed[i] != painted[i] ? 1 : 0;
    EXPECT_EQ(0u, differing);

    // A repaint of a part that cuts through the picture, the shapes and the
    // fill paints that part alone, the same.
    HDC dc = ::GetDC(hwnd);
    ::FillRect(dc, &client, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    ::ReleaseDC(hwnd, dc);
    const RECT part{190, 15, 235, 90};
    ::InvalidateRect(hwnd, &part, FALSE);
    ::UpdateWindow(hwnd);
    const auto repainted = ScreenClient(hwnd, client);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const POINT at{x, y};
            const unsigned expected = ::PtInRect(&part, at) ? pixel(composed, x, y) : 0u;
            ASSERT_EQ(expected, pixel(repainted, x, y)) << "at " << x << "," << y;
        }
    }
}

}  // namespace
