// The agent's windows, driven with posted keyboard and mouse messages, on the
// real controller against the reference operator server.
#include <cstdlib>
#include <gtest/gtest.h>

#include <objidl.h>

#include <gdiplus.h>
#include <shellapi.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cwctype>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "AgentCmdCheckProduct.h"
#include "AgentCmdContinueInstall.h"
#include "AgentCmdInstallAllProduct.h"
#include "AgentCmdLogout.h"
#include "AgentCmdNotifyConfigChange.h"
#include "AgentCmdStopTray.h"
#include "CommandFlow.h"
#include "ConfigManager.h"
#include "EditEx.h"
#include "FakeDesktopShell.h"
#include "ControlGeometry.h"
#include "ImageButton.h"
#include "Lumen/Event.h"
#include "Lumen/LogManager.h"
#include "Lumen/StringUtils.h"
#include "MessageLoop.h"
#include "MessageViewFlags.h"
#include "NCPaintDialog.h"
#include "PavoAgentDlg.h"
#include "ResourceManager.h"
#include "ServerTestSupport.h"
#include "SkinManager.h"
#include "TestSupport.h"
#include "UiTestSupport.h"
#include "resource.h"

using namespace UiTest;
using PavoTest::BinDirectory;

namespace {

std::wstring g_folder;
const wchar_t kRemoteAssistUrl[] = L"https://assist.example.test/tray";
// The login page's link 1004 as the skin gives it ("url").
const wchar_t kSkinLinkUrl[] = L"http://127.0.0.1:18480/remote-assist";

bool CopyAll(const std::wstring& from, const std::wstring& to)
{
    ::CreateDirectoryW(to.c_str(), nullptr);
    WIN32_FIND_DATAW data = {};
    HANDLE find = ::FindFirstFileW((from + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    do {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
        ::CopyFileW((from + data.cFileName).c_str(), (to + data.cFileName).c_str(), FALSE);
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    return true;
}

// Once per process: the language table (the server address first, so that
// it wins), the skin and the fonts of the build, GDI+, the log.
class AgentUiEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        Lumen::LogManager::GetInstance()->Initialize(Lumen::LogProcessKind::Agent);
        Gdiplus::GdiplusStartupInput input;
        ASSERT_EQ(Gdiplus::GdiplusStartup(&token_, &input, nullptr), Gdiplus::Ok);
        wchar_t port[16] = {};
        ASSERT_GT(::GetEnvironmentVariableW(L"PAVO_OPERATOR_PORT", port, 16), 0u) << "no operator server";
        g_folder = PavoTest::MakeTempDirectory(L"agent ui");
        // The tray's remote assistance: an address other than the login page's link.
        const std::string escaped = Lumen::WideToUtf8(kRemoteAssistUrl);
        const std::string strings = std::string(R"({"language":"ENG","strings":[)") +
                                    R"({"key":"Pavo_HOST_URL","value":"http://127.0.0.1:)" + Lumen::WideToUtf8(port) +
                                    R"("},{"key":"REMOTE_ASSIST_URL","value":")" + escaped + R"("}]})";
        ASSERT_TRUE(PavoTest::WriteFileBytes(g_folder + L"server.json", strings));
        ASSERT_TRUE(ResourceManager::GetInstance()->InitializeStrings(g_folder + L"server.json"));

        const std::wstring dist = BinDirectory() + L"..\\dist\\";
        ASSERT_TRUE(CopyAll(dist + L"skin\\", g_folder + L"skin\\"));
        ASSERT_TRUE(CopyAll(dist + L"font\\", g_folder + L"font\\"));
        ASSERT_TRUE(CopyAll(dist + L"language\\", g_folder + L"language\\"));
        ASSERT_TRUE(ResourceManager::GetInstance()->Load(g_folder, L"AgentAppTest.exe"));

        ::CreateDirectoryW((g_folder + L"inspection_data").c_str(), nullptr);
        ASSERT_TRUE(PavoTest::WriteFileBytes(g_folder + L"inspection_data\\inspection_data.json", R"({
            "PAVO_VIEWER": [ { "type": "service", "value": "RpcSs" } ],
            "PAVO_GUARD": [ { "type": "service", "value": "PavoPkgTestA" } ],
            "PAVO_SYNC": [ { "type": "service", "value": "PavoPkgNever" } ],
            "UNLISTED_CODE": [ { "type": "service", "value": "PavoPkgNever" } ],
            "PAVO_NOTE": [ { "type": "service", "value": "PavoPkgNever" } ] })"));
        PavoTest::WriteFileBytes(g_folder + L"inspection_data\\additional_installer_info.json", "{}");
        accelerators_ = ::LoadAcceleratorsW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_ACCELERATOR));
        ASSERT_NE(accelerators_, nullptr);
    }
    void TearDown() override
    {
        ResourceManager::GetInstance()->Unload();
        Gdiplus::GdiplusShutdown(token_);
        Lumen::LogManager::GetInstance()->Release();
    }
    static HACCEL accelerators_;

private:
    ULONG_PTR token_ = 0;
};
HACCEL AgentUiEnvironment::accelerators_ = nullptr;

const ::testing::Environment* const g_environment = ::testing::AddGlobalTestEnvironment(new AgentUiEnvironment);

// A main dialog per test, with a fresh configuration store.
class AgentWindowsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::DeleteFileW(ConfigManager::DefaultFilePath().c_str());
        ConfigManager::DestroyInstance();
        dialog_ = std::make_unique<PavoAgentDlg>();
        dialog_->GetController().GetPackageManager().SetDataDirectory(g_folder);
        ASSERT_TRUE(dialog_->Create(IDD_PAVOAGENT_DIALOG, nullptr));
        hwnd_ = dialog_->GetHwnd();
        Lumen::MessageLoop::SetApplicationFilter([this](MSG& msg) {
            return hwnd_ != nullptr && ::IsWindow(hwnd_) &&
                   ::TranslateAcceleratorW(hwnd_, AgentUiEnvironment::accelerators_, &msg) != 0;
        });
        ASSERT_TRUE(PumpUntil([&] { return dialog_->GetCurrentPage() == &dialog_->GetLoginView(); }));
        login_ = dialog_->GetLoginView().GetHwnd();
        // The icon is added right after the first paint. Without a tray Wine
        // shows it in a small window of its own at the screen's corner, over
        // this one; on Windows it never covers a window.
        ASSERT_TRUE(PumpUntil([&] { return dialog_->IsTrayIconPresent(); }, 10000));
        ::SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        PumpPending();
    }
    void TearDown() override
    {
        Lumen::MessageLoop::SetApplicationFilter(nullptr);
        dialog_.reset();
        // The dialog's quit message belongs to it, not to the next test.
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        ConfigManager::DestroyInstance();
    }

    HWND Item(HWND page, int id) const { return ::GetDlgItem(page, id); }
    // Names the dialog's tray icon to the shell.
    NOTIFYICONDATAW TrayIconData() const
    {
        NOTIFYICONDATAW data = {};
        data.cbSize = sizeof(data);
        data.hWnd = hwnd_;
        data.uID = TrayIcon::kIconId;
        return data;
    }
    HWND IdEdit() const { return InnerEdit(Item(login_, IDC_EDIT_ID)); }
    HWND PasswordEdit() const { return InnerEdit(Item(login_, IDC_EDIT_PASSWORD)); }

    void TypeLogin(const std::wstring& id, const std::wstring& password)
    {
        ::SetWindowTextW(IdEdit(), L"");
        ::SetWindowTextW(PasswordEdit(), L"");
        TypeText(IdEdit(), id);
        TypeText(PasswordEdit(), password);
        PumpPending();
    }

    bool LoggedIn()
    {
        return PumpUntil([&] {
            return dialog_->GetCurrentPage() == &dialog_->GetInspectionView() &&
                   dialog_->GetInspectionView().GetRowPool().Size() >= 4 &&
                   !::IsWindowVisible(dialog_->GetMessageView().GetHwnd()) && dialog_->IsUserButtonEnabled();
        }, 60000);
    }

    void LogIn()
    {
        TypeLogin(L"demo", L"demo1234");
        ClickCenter(Item(login_, IDC_BUTTON_LOGIN));
        ASSERT_TRUE(LoggedIn());
    }

    // Whether every command queued before has completed: a marker command
    // of its own kind completes after them.
    bool QueueDrained()
    {
        bool done = false;
        struct Marker : IAgentCmdResponseHandler {
            bool* done;
            void OnCommandStart(std::shared_ptr<AgentCmdBase>) override {}
            void OnCommandComplete(std::shared_ptr<AgentCmdBase>) override { *done = true; }
            void OnCommandCancel() override {}
        } marker;
        marker.done = &done;
        auto command = std::make_shared<AgentCmdNotifyConfigChange>(0);
        command->SetResponseHandler(&marker);
        dialog_->GetController().PushCommand(command);
        return PumpUntil([&] { return done; }, 30000);
    }

    std::unique_ptr<PavoAgentDlg> dialog_;
    HWND hwnd_ = nullptr;
    HWND login_ = nullptr;
};

size_t VisibleChildren(HWND parent)
{
    size_t count = 0;
    for (HWND child = ::GetWindow(parent, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if ((::GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE) != 0) ++count;
    }
    return count;
}


bool IsClass(HWND hwnd, const wchar_t* name)
{
    wchar_t className[64] = {};
    return ::GetClassNameW(hwnd, className, 64) > 0 && lstrcmpiW(className, name) == 0;
}

// The text a control draws: a skinned button may draw another text than its
// window text.
std::wstring ShownText(HWND control)
{
    if (const auto* button = dynamic_cast<Lumen::ImageButton*>(Lumen::Window::FromHandle(control))) {
        if (!button->GetDisplayText().empty()) return button->GetDisplayText();
    }
    if (IsClass(control, L"EditWithClear")) return L"";
    return TextOf(control);
}

// The room `text` takes in `control`'s font, laid out as the control lays it
// out (wrapped statics at their width, everything else on one line). For an
// edit, the height of a line in its field.
SIZE TextSizeIn(HWND control, const std::wstring& text)
{
    HWND measured = control;
    std::wstring sample = text;
    if (IsClass(control, L"EditWithClear")) {
        measured = InnerEdit(control);
        sample = L"Ag";
    }
    if (measured == nullptr || sample.empty()) return SIZE{0, 0};
    RECT client = {};
    ::GetClientRect(control, &client);
    const HDC dc = ::GetDC(measured);
    const HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(measured, WM_GETFONT, 0, 0)));
    RECT need = {0, 0, client.right, 0};
    UINT format = DT_CALCRECT | DT_NOPREFIX | DT_SINGLELINE;
    if (IsClass(measured, L"Static")) {
        const UINT own = Lumen::StaticTextFormat(static_cast<DWORD>(::GetWindowLongW(measured, GWL_STYLE)));
        if ((own & DT_WORDBREAK) != 0 && (own & DT_END_ELLIPSIS) == 0) format = DT_CALCRECT | DT_NOPREFIX | DT_WORDBREAK;
    }
    ::DrawTextW(dc, sample.c_str(), -1, &need, format);
    ::SelectObject(dc, old);
    ::ReleaseDC(measured, dc);
    if (measured != control) {
        RECT field = {};
        ::GetClientRect(measured, &field);
        // Reported against the container's size: the field's shortfall added.
        return SIZE{0, need.bottom + (client.bottom - field.bottom)};
    }
    return SIZE{need.right, need.bottom};
}

// What is cut, clipped or overlaps in `window`: each shown child must lie
// inside the client area, its text (in its own font) must fit it, and no two
// shown controls with text or input may overlap. Pictures without text may
// lie under or over others.
std::vector<std::string> LayoutProblems(HWND window, const std::string& where)
{
    struct Shown {
        HWND hwnd;
        RECT rect;
    };
    std::vector<std::string> problems;
    std::vector<Shown> shown;
    RECT client = {};
    ::GetClientRect(window, &client);
    for (HWND child = ::GetWindow(window, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (!::IsWindowVisible(child)) continue;
        const RECT rect = ClientRectIn(window, child);
        const std::wstring text = ShownText(child);
        const std::string name = where + " #" + std::to_string(::GetDlgCtrlID(child)) + " \"" +
                                 Lumen::WideToUtf8(text) + "\"";
        RECT inside = {};
        ::IntersectRect(&inside, &rect, &client);
        if (!::EqualRect(&inside, &rect)) problems.push_back(name + " is cut by the window's edge");
        const SIZE need = TextSizeIn(child, text);
        RECT area = {};
        ::GetClientRect(child, &area);
        if (const auto* button = dynamic_cast<Lumen::ImageButton*>(Lumen::Window::FromHandle(child))) {
            area.right -= std::max<LONG>(button->GetTextMargin().x, 0);
            area.bottom -= std::max<LONG>(button->GetTextMargin().y, 0);
        }
        if (need.cx > area.right || need.cy > area.bottom) {
            problems.push_back(name + " needs " + std::to_string(need.cx) + "x" + std::to_string(need.cy) +
                               " but has " + std::to_string(area.right) + "x" + std::to_string(area.bottom));
        }
        if (!text.empty() || !IsClass(child, L"Static")) shown.push_back(Shown{child, rect});
    }
    for (size_t i = 0; i < shown.size(); ++i) {
        for (size_t j = i + 1; j < shown.size(); ++j) {
            RECT both = {};
            if (::IntersectRect(&both, &shown[i].rect, &shown[j].rect)) {
                problems.push_back(where + " #" + std::to_string(::GetDlgCtrlID(shown[i].hwnd)) + " and #" +
                                   std::to_string(::GetDlgCtrlID(shown[j].hwnd)) + " overlap");
            }
        }
    }
    return problems;
}

// Counts the prints of one control, and those while it had the focus.
struct PrintWatch {
    HWND control = nullptr;
    WNDPROC previous = nullptr;
    int prints = 0;
    int printsWithFocus = 0;
};
PrintWatch g_printWatch;

LRESULT CALLBACK WatchPrints(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (hwnd == g_printWatch.control && (message == WM_PRINT || message == WM_PRINTCLIENT)) {
        ++g_printWatch.prints;
        if (::GetFocus() == hwnd) ++g_printWatch.printsWithFocus;
    }
    return ::CallWindowProcW(g_printWatch.previous, hwnd, message, wParam, lParam);
}

}  // namespace

TEST_F(AgentWindowsTest, LoginButtonFollowsTheTwoCharacterRuleAndKeysRoute)
{
    SaveScreenshot(hwnd_, L"01-login-page");
    EXPECT_FALSE(dialog_->IsUserButtonEnabled()) << "the login page disables the user button";
    const HWND button = Item(login_, IDC_BUTTON_LOGIN);
    TypeLogin(L" a ", L"pw");
    EXPECT_FALSE(::IsWindowEnabled(button)) << "one character between white space";
    TypeText(IdEdit(), L"b");
    PumpPending();
    EXPECT_TRUE(::IsWindowEnabled(button));
    TypeText(PasswordEdit(), L"\b\b ");
    PumpPending();
    EXPECT_EQ(TextOf(PasswordEdit()), L" ");
    EXPECT_FALSE(::IsWindowEnabled(button));

    TypeText(PasswordEdit(), L"pw");
    PumpPending();
    ASSERT_TRUE(::IsWindowEnabled(button));
    ::SetFocus(IdEdit());
    PressKey(IdEdit(), VK_RETURN);
    EXPECT_EQ(::GetFocus(), PasswordEdit()) << "Enter in the id field";
    PressKey(PasswordEdit(), VK_TAB);
    EXPECT_EQ(::GetFocus(), button) << "Tab in the password field";
    const HWND check = Item(login_, IDC_CHECK_AUTO_LOGIN);
    const HWND link = Item(login_, IDC_LINK_REMOTE_ASSIST);
    PressKey(button, VK_TAB);
    EXPECT_EQ(::GetFocus(), check) << "Tab on the login button";
    PressKey(check, VK_TAB);
    EXPECT_EQ(::GetFocus(), link) << "Tab on the check box";
    PressKey(link, VK_TAB);
    EXPECT_EQ(::GetFocus(), IdEdit()) << "Tab on the link wraps round";
    PressKey(IdEdit(), VK_TAB);
    EXPECT_EQ(::GetFocus(), PasswordEdit());
    // Space toggles the check box; Enter on the link opens it.
    ::SetFocus(check);
    const LRESULT checked = ::SendMessageW(check, BM_GETCHECK, 0, 0);
    PressKey(check, VK_SPACE);
    EXPECT_NE(::SendMessageW(check, BM_GETCHECK, 0, 0), checked) << "Space on the check box";
    ToolkitTest::FakeDesktopShell shell;
    ASSERT_TRUE(shell.IsRegistered());
    ::SetFocus(link);
    PressKey(link, VK_RETURN);
    EXPECT_TRUE(PumpUntil([&] { return !shell.Calls().empty(); }, 30000)) << "Enter on the link";
    ::SetFocus(PasswordEdit());
    EXPECT_TRUE(::IsWindowVisible(login_)) << "Enter and Escape never close the page";
    PressKey(PasswordEdit(), VK_ESCAPE);
    EXPECT_TRUE(::IsWindowVisible(login_));
}

TEST_F(AgentWindowsTest, LoginErrorsMoveTheControlsAndShowingThePageRestoresThem)
{
    const HWND button = Item(login_, IDC_BUTTON_LOGIN);
    const HWND check = Item(login_, IDC_CHECK_AUTO_LOGIN);
    const HWND error = Item(login_, IDC_STATIC_LOGIN_ERROR);
    const RECT buttonBefore = ClientRectIn(login_, button);
    const RECT checkBefore = ClientRectIn(login_, check);
    const RECT errorBefore = ClientRectIn(login_, error);
    const int line = errorBefore.bottom - errorBefore.top;

    TypeLogin(L"demo", L"wrong-password");
    ::SetFocus(PasswordEdit());
    PressKey(PasswordEdit(), VK_RETURN);
    ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(error) && ::IsWindowEnabled(button); }));
    EXPECT_EQ(TextOf(error), dialog_->GetString(L"아이디 또는 비밀번호를 확인해 주세요."));
    EXPECT_EQ(ClientRectIn(login_, button).top, buttonBefore.top + line + 4);
    EXPECT_EQ(ClientRectIn(login_, check).top, checkBefore.top + line + 4);
    EXPECT_EQ(ClientRectIn(login_, error).bottom - ClientRectIn(login_, error).top, line);
    EXPECT_EQ(dialog_->GetCurrentPage(), &dialog_->GetLoginView()) << "the page stays";
    SaveScreenshot(hwnd_, L"02-login-error");

    // Two lines: two line heights and 4 pixels.
    dialog_->GetLoginView().ShowError(L"first line\nsecond line");
    EXPECT_EQ(ClientRectIn(login_, button).top, buttonBefore.top + 2 * line + 4);
    EXPECT_EQ(ClientRectIn(login_, error).bottom - ClientRectIn(login_, error).top, 2 * line);

    dialog_->GetLoginView().OnPageShow();
    EXPECT_FALSE(::IsWindowVisible(error));
    EXPECT_EQ(ClientRectIn(login_, button).top, buttonBefore.top);
    EXPECT_EQ(ClientRectIn(login_, check).top, checkBefore.top);

    // Shown again with nothing moved (as at the start), the page leaves the
    // controls it does not change as they are painted.
    ::RedrawWindow(login_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    dialog_->GetLoginView().OnPageShow();
    for (const int id : {IDC_STATIC_PHONE_LABEL, IDC_STATIC_PHONE, IDC_LINK_REMOTE_ASSIST}) {
        RECT pending = {};
        EXPECT_FALSE(::GetUpdateRect(Item(login_, id), &pending, FALSE)) << id;
    }
}

TEST_F(AgentWindowsTest, LoginShowsTheProductsAndLogoutSlidesBack)
{
    LogIn();
    InspectionView& list = dialog_->GetInspectionView();
    const auto& groups = list.GetList().GetGroups();
    ASSERT_EQ(groups.count(1), 1u);
    EXPECT_EQ(groups.at(1).size(), 1u) << "PAVO_VIEWER is installed (its service exists)";
    ASSERT_EQ(groups.count(0), 1u);
    EXPECT_EQ(groups.at(0).size(), 3u);
    // The rows show their names from the table, or the code without an entry.
    bool sawCode = false;
    for (const auto& row : list.GetRowPool().Rows()) {
        const std::wstring name = TextOf(Item(row->GetHwnd(), IDC_STATIC_PRODUCT_NAME));
        if (row->GetProduct().productCode == L"UNLISTED_CODE") {
            EXPECT_EQ(name, L"UNLISTED_CODE");
            sawCode = true;
        } else {
            EXPECT_EQ(name, dialog_->GetString(row->GetProduct().productCode));
        }
        EXPECT_EQ(::IsWindowVisible(Item(row->GetHwnd(), IDC_BUTTON_INSTALL)) != FALSE, !row->GetProduct().installed);
    }
    EXPECT_TRUE(sawCode);
    EXPECT_EQ(ConfigManager::GetInstance()->GetUserId(), L"demo");
    SaveScreenshot(hwnd_, L"03-product-list");

    // The user button shows the customer.
    const RECT custom = dialog_->GetCaptionLayout().custom;
    RECT window = {};
    ::GetWindowRect(hwnd_, &window);
    POINT screen = {window.left + (custom.left + custom.right) / 2, window.top + (custom.top + custom.bottom) / 2};
    POINT client = screen;
    ::ScreenToClient(hwnd_, &client);
    ::PostMessageW(hwnd_, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(screen.x, screen.y));
    ::PostMessageW(hwnd_, WM_LBUTTONUP, 0, MAKELPARAM(client.x, client.y));
    ASSERT_TRUE(PumpUntil([&] {
        return dialog_->GetUserInfoView() != nullptr && ::IsWindowVisible(dialog_->GetUserInfoView()->GetHwnd());
    }));
    EXPECT_EQ(dialog_->GetUserInfoView()->GetCompanyText(), L"DemoCorp");
    EXPECT_EQ(dialog_->GetUserInfoView()->GetCustomerIdText(), L"DEMO-0001");
    EXPECT_EQ(dialog_->GetUserInfoView()->GetCustomerNameText(), L"Demo Customer");
    SaveScreenshot(dialog_->GetUserInfoView()->GetHwnd(), L"08-user-information");
    ClickCenter(Item(dialog_->GetUserInfoView()->GetHwnd(), IDOK));
    ASSERT_TRUE(PumpUntil([&] { return !::IsWindowVisible(dialog_->GetUserInfoView()->GetHwnd()); }));

    // Log-out (test mode shows the item): back to the login page, which now waits.
    ::PostMessageW(hwnd_, WM_COMMAND, ID_TRAY_LOGOUT, 0);
    ASSERT_TRUE(PumpUntil([&] { return dialog_->GetCurrentPage() == &dialog_->GetLoginView(); }, 30000));
    EXPECT_TRUE(::IsWindowVisible(login_));
    EXPECT_FALSE(::IsWindowVisible(list.GetHwnd()));
    EXPECT_FALSE(dialog_->IsUserButtonEnabled());
    EXPECT_FALSE(dialog_->GetLoginView().IsFirstShow());
    EXPECT_EQ(TextOf(IdEdit()), L"demo");
    EXPECT_TRUE(QueueDrained());
    EXPECT_EQ(dialog_->GetCurrentPage(), &dialog_->GetLoginView()) << "no automatic login after a log-out";
}

TEST_F(AgentWindowsTest, ProductRowsAreReusedFromTheirPool)
{
    InspectionView& list = dialog_->GetInspectionView();
    auto products = [](size_t count) {
        std::vector<PRODUCT_INFO> result;
        for (size_t i = 0; i < count; ++i) {
            result.push_back(PRODUCT_INFO{i == 0 ? L"PAVO_VIEWER" : L"CODE_" + std::to_wstring(i), L"", i % 2 == 1});
        }
        return result;
    };
    list.FillList(products(3));
    ASSERT_EQ(list.GetRowPool().Size(), 3u);
    const HWND first = list.GetRowPool().Rows()[0]->GetHwnd();
    list.FillList(products(1));
    ASSERT_EQ(list.GetRowPool().Size(), 3u);
    EXPECT_EQ(list.GetRowPool().Rows()[0]->GetHwnd(), first) << "rows are reused";
    EXPECT_EQ(::GetParent(first), list.GetList().GetHwnd());
    for (size_t i = 1; i < 3; ++i) {
        const HWND extra = list.GetRowPool().Rows()[i]->GetHwnd();
        EXPECT_FALSE(::IsWindowVisible(extra)) << i;
        EXPECT_NE(::GetParent(extra), list.GetList().GetHwnd()) << i;
    }
    EXPECT_EQ(list.GetList().GetGroups().size(), 1u);
    EXPECT_EQ(VisibleChildren(list.GetList().GetHwnd()), 2u) << "one heading and one row: no heading of the last filling";
    list.FillList(products(5));
    ASSERT_EQ(list.GetRowPool().Size(), 5u);
    EXPECT_EQ(list.GetRowPool().Rows()[0]->GetHwnd(), first);
    EXPECT_EQ(list.GetList().GetGroups().at(0).size(), 3u);
    EXPECT_EQ(list.GetList().GetGroups().at(1).size(), 2u);
    EXPECT_EQ(TextOf(::GetDlgItem(list.GetRowPool().Rows()[2]->GetHwnd(), IDC_STATIC_PRODUCT_NAME)), L"CODE_2");
}

TEST_F(AgentWindowsTest, AReusedRowShowsOnlyItsOwnProductsIcon)
{
    InspectionView& list = dialog_->GetInspectionView();
    const PRODUCT_INFO withIcon{L"PAVO_VIEWER", L"", false};
    list.FillList({withIcon});
    const ProductItemView& row = *list.GetRowPool().Rows()[0];
    ASSERT_EQ(row.GetIconImageCount(), 1u) << "the skin has an icon for PAVO_VIEWER";
    // A product without an icon, and codes refused as file names, on the row
    // that showed PAVO_VIEWER.
    for (const wchar_t* code : {L"NO_ICON_PRODUCT", L"COM1", L"..\\100\\product_icons\\PAVO_VIEWER"}) {
        list.FillList({withIcon});
        ASSERT_EQ(row.GetIconImageCount(), 1u);
        list.FillList({PRODUCT_INFO{code, L"", false}});
        ASSERT_EQ(list.GetRowPool().Rows()[0].get(), &row);
        EXPECT_EQ(row.GetIconImageCount(), 0u) << code;
    }

    // Codes come from the server: a device, a path or a name Windows would
    // change never reaches the file system.
    const std::wstring images = L"C:\\App\\skin\\100";
    EXPECT_EQ(ProductItemView::IconPath(images, L"PAVO_VIEWER"), L"C:\\App\\skin\\100\\product_icons\\PAVO_VIEWER.png");
    for (const wchar_t* code : {L"COM1", L"com9", L"LPT\u00B9", L"CON", L"nul", L"CONIN$", L"a\\b", L"a/b", L"..",
                                L"a.", L"a ", L"C:x", L"", L"a*"}) {
        EXPECT_EQ(ProductItemView::IconPath(images, code), L"") << code;
    }
    EXPECT_EQ(ProductItemView::IconPath(L"", L"PAVO_VIEWER"), L"");
}

TEST_F(AgentWindowsTest, FillingTheListLeavesAnotherWindowsUpdateLockAlone)
{
    InspectionView& list = dialog_->GetInspectionView();
    const std::vector<PRODUCT_INFO> products{{L"PAVO_VIEWER", L"", false}, {L"PAVO_SYNC", L"", true}};
    list.FillList(products);  // the list is shown now: the next filling holds its painting
    // Another program's window, locked as during a drag; made here, since no
    // second program draws under the test's Wine desktop.
    const HWND other = ::CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr,
                                         nullptr, nullptr, nullptr);
    ASSERT_NE(other, nullptr);
    ASSERT_TRUE(::LockWindowUpdate(other));
    list.FillList(products);
    const BOOL lockStillHeld = !::LockWindowUpdate(hwnd_);
    ::LockWindowUpdate(nullptr);
    ::DestroyWindow(other);
    EXPECT_TRUE(lockStillHeld) << "filling the list released another window's lock";
    // Painting is back on: the list and its rows are visible.
    EXPECT_NE(::GetWindowLongW(list.GetList().GetHwnd(), GWL_STYLE) & WS_VISIBLE, 0);
    EXPECT_EQ(VisibleChildren(list.GetList().GetHwnd()), 4u) << "two headings and two rows";
}

TEST_F(AgentWindowsTest, MessageOverlayFlags)
{
    MessageView& overlay = dialog_->GetMessageView();
    const HWND view = overlay.GetHwnd();
    EXPECT_EQ(overlay.ShowMessage(dialog_->GetString(L"보안 소프트웨어를 설치 중입니다.\n잠시만 기다려주세요."),
                                  MessageViewFlags::kLoading),
              0)
        << "16 returns at once";
    EXPECT_TRUE(::IsWindowVisible(view));
    EXPECT_FALSE(::IsWindowVisible(login_)) << "the overlay covers the page";
    EXPECT_TRUE(overlay.GetLoadingAnimation().IsPlaying());
    EXPECT_FALSE(::IsWindowVisible(Item(view, IDC_BUTTON_MSG_OK)));
    PumpPending();
    SaveScreenshot(hwnd_, L"05-installing-overlay");

    // 18: "취소" gives -1.
    RunWhen([&] { return overlay.IsWaiting(); }, [&] {
        SaveScreenshot(hwnd_, L"04-reboot-question");
        ClickCenter(Item(view, IDC_BUTTON_MSG_CANCEL));
    });
    EXPECT_EQ(overlay.ShowMessage(dialog_->GetString(L"소프트웨어 설치 간 재부팅이 필요할 수 있습니다.\n설치를 계속 진행하시겠습니까?"),
                                  MessageViewFlags::kLoadingQuestion),
              -1);
    // 18: "계속 진행" gives 0.
    RunWhen([&] { return overlay.IsWaiting(); }, [&] { ClickCenter(Item(view, IDC_BUTTON_MSG_CONTINUE)); });
    EXPECT_EQ(overlay.ShowMessage(L"question", MessageViewFlags::kLoadingQuestion), 0);
    // 33 and 65 wait for "확인".
    RunWhen([&] { return overlay.IsWaiting(); }, [&] {
        EXPECT_TRUE(::IsWindowVisible(Item(view, IDC_STATIC_MSG_SUCCESS)));
        SaveScreenshot(hwnd_, L"06-success-message");
        ClickCenter(Item(view, IDC_BUTTON_MSG_OK));
    });
    EXPECT_EQ(overlay.ShowMessage(dialog_->GetString(L"소프트웨어 설치가 완료되었습니다."), MessageViewFlags::kSuccess), 0);
    RunWhen([&] { return overlay.IsWaiting(); }, [&] {
        EXPECT_TRUE(::IsWindowVisible(Item(view, IDC_STATIC_MSG_FAILURE)));
        ClickCenter(Item(view, IDC_BUTTON_MSG_OK));
    });
    EXPECT_EQ(overlay.ShowMessage(L"failure", MessageViewFlags::kFailure), 0);
    // A cancellation from another thread ends a pending question with -1.
    RunWhen([&] { return overlay.IsWaiting(); }, [&] { std::thread([&] { dialog_->OnCommandCancel(); }).join(); });
    EXPECT_EQ(overlay.ShowMessage(L"question", MessageViewFlags::kLoadingQuestion), -1);

    overlay.HideMessage();
    EXPECT_FALSE(::IsWindowVisible(view));
    EXPECT_FALSE(overlay.GetLoadingAnimation().IsPlaying());
    EXPECT_TRUE(::IsWindowVisible(login_)) << "the page comes back";
}

TEST_F(AgentWindowsTest, DeclinedInstallationShowsNothingAndKeepsTheList)
{
    LogIn();
    MessageView& overlay = dialog_->GetMessageView();
    InspectionView& list = dialog_->GetInspectionView();
    HWND installButton = nullptr;
    for (const auto& row : list.GetRowPool().Rows()) {
        if (row->GetProduct().productCode == L"PAVO_GUARD") installButton = Item(row->GetHwnd(), IDC_BUTTON_INSTALL);
    }
    ASSERT_NE(installButton, nullptr);
    // The question waits in its own loop: the answers come from timers.
    auto asked = [&] { return overlay.IsWaiting() && overlay.GetFlags() == MessageViewFlags::kLoadingQuestion; };
    int answered = 0;
    RunWhen(asked, [&] {
        ++answered;
        ClickCenter(Item(overlay.GetHwnd(), IDC_BUTTON_MSG_CANCEL));
    });
    ClickCenter(installButton);
    ASSERT_TRUE(PumpUntil([&] { return answered == 1; }));
    ASSERT_TRUE(QueueDrained());
    EXPECT_FALSE(overlay.IsWaiting()) << "no result message after \"취소\"";
    EXPECT_FALSE(::IsWindowVisible(overlay.GetHwnd()));
    EXPECT_EQ(list.GetList().GetGroups().at(1).size(), 1u) << "the list is unchanged";

    // Accepted: installs, says so, and the refreshed list shows it installed.
    int resultFlags = 0;
    RunWhen(asked, [&] { ClickCenter(Item(overlay.GetHwnd(), IDC_BUTTON_MSG_CONTINUE)); });
    RunWhen([&] { return overlay.IsWaiting() && overlay.GetFlags() != MessageViewFlags::kLoadingQuestion; }, [&] {
        resultFlags = overlay.GetFlags();
        ClickCenter(Item(overlay.GetHwnd(), IDC_BUTTON_MSG_OK));
    });
    ClickCenter(installButton);
    ASSERT_TRUE(PumpUntil([&] {
        const auto& groups = list.GetList().GetGroups();
        return resultFlags != 0 && !overlay.IsWaiting() && groups.count(1) != 0 && groups.at(1).size() == 2;
    }, 120000)) << resultFlags;
    EXPECT_EQ(resultFlags, MessageViewFlags::kSuccess);
}

TEST_F(AgentWindowsTest, TrayMenuFollowsPageNoticeAndMode)
{
    auto itemState = [](HMENU root, UINT id) -> int {
        // -1 absent, 0 enabled, 1 grayed
        const UINT state = ::GetMenuState(::GetSubMenu(root, 0), id, MF_BYCOMMAND);
        if (state == static_cast<UINT>(-1)) return -1;
        return (state & MF_GRAYED) != 0 ? 1 : 0;
    };
    HMENU menu = dialog_->BuildTrayMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(itemState(menu, ID_TRAY_OPEN), 0);
    EXPECT_EQ(itemState(menu, ID_TRAY_REMOTE_ASSIST), 0);
    EXPECT_EQ(itemState(menu, ID_TRAY_REFRESH), 1);
    EXPECT_EQ(itemState(menu, ID_TRAY_NOTICE), 1);
    EXPECT_EQ(itemState(menu, ID_TRAY_ABOUT), 0);
    EXPECT_EQ(itemState(menu, ID_TRAY_LOGOUT), -1);
    EXPECT_EQ(itemState(menu, ID_TRAY_EXIT), -1);
    wchar_t text[64] = {};
    ::GetMenuStringW(::GetSubMenu(menu, 0), ID_TRAY_OPEN, text, 64, MF_BYCOMMAND);
    EXPECT_EQ(std::wstring(text), dialog_->GetString(L"열기"));
    ::DestroyMenu(menu);

    LogIn();
    ConfigManager::GetInstance()->SetTestMode(true);
    menu = dialog_->BuildTrayMenu();
    EXPECT_EQ(itemState(menu, ID_TRAY_REFRESH), 0);
    EXPECT_EQ(itemState(menu, ID_TRAY_NOTICE), 1) << "no notice stored";
    EXPECT_EQ(itemState(menu, ID_TRAY_LOGOUT), 0);
    EXPECT_EQ(itemState(menu, ID_TRAY_EXIT), 0);
    ::DestroyMenu(menu);
    NOTICE_INFO notice;
    notice.id = 5;
    notice.title = L"t";
    ConfigManager::GetInstance()->SetNotice(notice);
    menu = dialog_->BuildTrayMenu();
    EXPECT_EQ(itemState(menu, ID_TRAY_NOTICE), 0);
    ::DestroyMenu(menu);

    // The menu as the tray opens it, at the pointer near the screen's corner.
    auto shownMenu = [] {
        const HWND menuWindow = ::FindWindowW(L"#32768", nullptr);
        return menuWindow != nullptr && ::IsWindowVisible(menuWindow) ? menuWindow : nullptr;
    };
    auto items = std::make_shared<int>(-1);
    RunWhen([shownMenu] { return shownMenu() != nullptr; }, [shownMenu, items] {
        const auto shown = reinterpret_cast<HMENU>(::SendMessageW(shownMenu(), MN_GETHMENU, 0, 0));
        *items = ::GetMenuItemCount(shown);
        SaveScreen(L"10-tray-menu");
        ::EndMenu();
    });
    ::SetCursorPos(::GetSystemMetrics(SM_CXSCREEN) - 24, ::GetSystemMetrics(SM_CYSCREEN) - 12);
    ::PostMessageW(hwnd_, PavoAgentDlg::WM_AGENT_TRAY_NOTIFY, 1, WM_RBUTTONUP);
    ASSERT_TRUE(PumpUntil([&] { return *items >= 0; })) << "the tray menu opened";
    menu = dialog_->BuildTrayMenu();
    EXPECT_EQ(*items, ::GetMenuItemCount(::GetSubMenu(menu, 0)));
    ::DestroyMenu(menu);
    EXPECT_TRUE(PumpUntil([&] { return shownMenu() == nullptr; }));
}

TEST_F(AgentWindowsTest, AcceleratorsSwitchModesAndStoreTheDemonstrationNotice)
{
    ConfigManager* config = ConfigManager::GetInstance();
    PressKey(hwnd_, VK_F12, true);
    EXPECT_EQ(dialog_->GetBalloonsPushed(), 0) << "Ctrl+F12 in normal mode does nothing";
    PressKey(hwnd_, VK_F10, true);
    EXPECT_EQ(config->GetNotice().id, 0) << "Ctrl+F10 outside test mode does nothing";

    PressKey(hwnd_, VK_F11, true);
    PressKey(hwnd_, VK_F11, true);
    EXPECT_TRUE(config->IsTestMode());
    EXPECT_EQ(dialog_->GetBalloonsPushed(), 1) << "Ctrl+F11 twice pushes one balloon";
    EXPECT_EQ(dialog_->GetSubText(), dialog_->GetString(L"테스트 모드 동작중"));

    PressKey(hwnd_, VK_F10, true);
    ASSERT_TRUE(PumpUntil([&] {
        return dialog_->GetNoticeView() != nullptr && ::IsWindowVisible(dialog_->GetNoticeView()->GetHwnd());
    }, 30000));
    NoticeView& notice = *dialog_->GetNoticeView();
    EXPECT_EQ(notice.GetTitleText(), dialog_->GetString(L"데모용 공지 사항입니다."));
    EXPECT_EQ(notice.GetSubText(), L"2023-07-10 오후 02:00");
    // Without the system's HTML view (Wine) the body is shown as text.
    if (PumpUntil([&] { return notice.GetHtml().IsTextFallback(); }, 10000)) {
        EXPECT_NE(notice.GetHtml().GetFallbackText().find(dialog_->GetString(L"데모용 공지 사항입니다.")),
                  std::wstring::npos);
    }
    SaveScreenshot(notice.GetHwnd(), L"07-notice-window");
    ClickCenter(::GetDlgItem(notice.GetHwnd(), IDOK));
    ASSERT_TRUE(PumpUntil([&] { return !::IsWindowVisible(notice.GetHwnd()); }));
    PressKey(hwnd_, VK_F10, true);
    EXPECT_TRUE(QueueDrained());
    EXPECT_FALSE(::IsWindowVisible(notice.GetHwnd())) << "the same notice id opens nothing";

    PressKey(hwnd_, VK_F12, true);
    EXPECT_FALSE(config->IsTestMode());
    EXPECT_EQ(dialog_->GetBalloonsPushed(), 2);
    EXPECT_TRUE(dialog_->GetSubText().empty());
}

TEST_F(AgentWindowsTest, ServerTextIsShownAsData)
{
    dialog_->OnConfigChanged(1);  // creates the windows
    ASSERT_TRUE(QueueDrained());
    ASSERT_NE(dialog_->GetNoticeView(), nullptr);
    ::ShowWindow(dialog_->GetNoticeView()->GetHwnd(), SW_HIDE);
    NOTICE_INFO notice;
    notice.id = 77;
    notice.title = L"%s%n%d 100%";
    notice.body = L"<script>document.title='x'</script><b>%s %n</b> body";
    notice.date = L"%s";
    ConfigManager::GetInstance()->SetNotice(notice);
    ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(dialog_->GetNoticeView()->GetHwnd()); }, 30000));
    NoticeView& view = *dialog_->GetNoticeView();
    PumpUntil([&] { return view.GetHtml().IsTextFallback(); }, 10000);
    EXPECT_EQ(view.GetTitleText(), L"%s%n%d 100%");
    EXPECT_EQ(view.GetSubText(), L"%s");
    if (view.GetHtml().IsTextFallback()) {
        const std::wstring shown = view.GetHtml().GetFallbackText();
        EXPECT_NE(shown.find(L"%s %n"), std::wstring::npos) << Lumen::WideToUtf8(shown);
        EXPECT_EQ(shown.find(L"document.title"), std::wstring::npos) << "script is not text to show";
    }
    EXPECT_EQ(NoticeView::BuildPage(L"<style></style>", L"%s"),
              L"<html> <head> <style></style> </head> <body> %s </body> </html>");
}

// Every window as the user sees it at this run's screen DPI (the program runs
// once per DPI, see the test list): screenshots named after the DPI, and
// nothing cut, clipped or overlapping.
TEST_F(AgentWindowsTest, EveryWindowFitsAtThisDpi)
{
    int dpi = 96;
    {
        const HDC screen = ::GetDC(nullptr);
        dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
        ::ReleaseDC(nullptr, screen);
    }
    wchar_t asked[16] = {};
    ::GetEnvironmentVariableW(L"PAVO_WINE_DPI", asked, 16);
    std::printf("screen DPI %d (LogPixels %ls), caption %d px, default GUI font:", dpi, asked[0] ? asked : L"96",
                ::GetSystemMetrics(SM_CYCAPTION));
    {
        LOGFONTW font = {};
        ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(font), &font);
        std::printf(" %ld px\n", static_cast<long>(font.lfHeight));
    }
    const std::wstring prefix = L"dpi" + std::to_wstring(dpi) + L"-";
    auto check = [&](HWND window, const char* where) {
        for (const std::string& problem : LayoutProblems(window, where)) ADD_FAILURE() << dpi << " dpi: " << problem;
    };

    ::SetForegroundWindow(hwnd_);
    SaveScreenshot(hwnd_, prefix + L"01-login");
    check(login_, "login page");

    LogIn();
    InspectionView& list = dialog_->GetInspectionView();
    SaveScreenshot(hwnd_, prefix + L"02-products");
    check(list.GetHwnd(), "list page");
    for (const auto& row : list.GetRowPool().Rows()) {
        if (::IsWindowVisible(row->GetHwnd())) check(row->GetHwnd(), "product row");
    }

    MessageView& overlay = dialog_->GetMessageView();
    RunWhen([&] { return overlay.IsWaiting(); }, [&] {
        SaveScreenshot(hwnd_, prefix + L"03-question");
        check(overlay.GetHwnd(), "question");
        ClickCenter(Item(overlay.GetHwnd(), IDC_BUTTON_MSG_CANCEL));
    });
    overlay.ShowMessage(dialog_->GetString(L"소프트웨어 설치 간 재부팅이 필요할 수 있습니다.\n설치를 계속 진행하시겠습니까?"),
                        MessageViewFlags::kLoadingQuestion);
    RunWhen([&] { return overlay.IsWaiting(); }, [&] {
        SaveScreenshot(hwnd_, prefix + L"04-failure");
        check(overlay.GetHwnd(), "failure message");
        ClickCenter(Item(overlay.GetHwnd(), IDC_BUTTON_MSG_OK));
    });
    overlay.ShowMessage(dialog_->GetString(L"일부 소프트웨어 설치에 실패했습니다.\n해당 프로그램을 재설치 해주세요."),
                        MessageViewFlags::kFailure);
    overlay.HideMessage();

    NOTICE_INFO notice;
    notice.id = 9;
    notice.title = dialog_->GetString(L"데모용 공지 사항입니다.");
    notice.body = L"<b>" + notice.title + L"</b>";
    notice.date = L"2023-07-10 오후 02:00";
    ConfigManager::GetInstance()->SetNotice(notice);
    ASSERT_TRUE(PumpUntil([&] {
        return dialog_->GetNoticeView() != nullptr && ::IsWindowVisible(dialog_->GetNoticeView()->GetHwnd());
    }, 30000));
    PumpUntil([&] { return dialog_->GetNoticeView()->GetHtml().IsTextFallback(); }, 10000);
    SaveScreenshot(dialog_->GetNoticeView()->GetHwnd(), prefix + L"05-notice");
    check(dialog_->GetNoticeView()->GetHwnd(), "notice");
    ::ShowWindow(dialog_->GetNoticeView()->GetHwnd(), SW_HIDE);

    ASSERT_NE(dialog_->GetUserInfoView(), nullptr);
    UserInfoView& info = *dialog_->GetUserInfoView();
    info.SetUserInfo(L"DemoCorp", L"DEMO-0001", L"Demo Customer");
    info.CenterOn(hwnd_);
    ::ShowWindow(info.GetHwnd(), SW_SHOW);
    SaveScreenshot(info.GetHwnd(), prefix + L"06-user-information");
    check(info.GetHwnd(), "user information");
    ::ShowWindow(info.GetHwnd(), SW_HIDE);

    HWND about = nullptr;
    RunWhen([] { return ::GetDlgItem(::GetActiveWindow(), IDC_STATIC_VERSION) != nullptr; }, [&] {
        about = ::GetActiveWindow();
        SaveScreenshot(about, prefix + L"07-about");
        check(about, "about box");
        ::PostMessageW(about, WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
    });
    ::SendMessageW(hwnd_, WM_COMMAND, ID_TRAY_ABOUT, 0);
    EXPECT_NE(about, nullptr);
}

TEST_F(AgentWindowsTest, TrayIconIsAddedAgainWhenTheShellRestarts)
{
    // Wine keeps a tray window even without a desktop shell.
    ASSERT_TRUE(PumpUntil([&] { return dialog_->IsTrayIconPresent(); }, 10000));
    NOTIFYICONDATAW data = TrayIconData();
    ASSERT_TRUE(::Shell_NotifyIconW(NIM_DELETE, &data)) << "the icon was there";
    const UINT taskbarCreated = ::RegisterWindowMessageW(L"TaskbarCreated");
    EXPECT_EQ(::SendMessageW(hwnd_, taskbarCreated, 0, 0), 1);
    EXPECT_TRUE(dialog_->IsTrayIconPresent());
    EXPECT_TRUE(::Shell_NotifyIconW(NIM_DELETE, &data)) << "added again";
}

// A shell tray window that is not ready: it refuses every icon while
// `refusing` is set. Shell_NotifyIconW sends to the first window of the
// tray's class, which this one is while it exists (topmost, created last).
struct RefusingTray {
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message != WM_COPYDATA) return ::DefWindowProcW(hwnd, message, wParam, lParam);
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (data != nullptr && data->dwData == NIM_ADD) ++adds;
        return FALSE;
    }
    RefusingTray()
    {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = Proc;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"Shell_TrayWnd";
        ::RegisterClassW(&windowClass);
        hwnd = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"Shell_TrayWnd", L"", WS_POPUP, 0, 0, 1, 1,
                                 nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    }
    ~RefusingTray() { Close(); }
    void Close()
    {
        if (hwnd != nullptr) ::DestroyWindow(hwnd);
        hwnd = nullptr;
    }
    static int adds;
    HWND hwnd = nullptr;
};
int RefusingTray::adds = 0;

TEST_F(AgentWindowsTest, TrayIconIsRetriedEverySecondUntilTheShellTakesIt)
{
    ASSERT_TRUE(PumpUntil([&] { return dialog_->IsTrayIconPresent(); }, 10000));
    NOTIFYICONDATAW data = TrayIconData();
    ASSERT_TRUE(::Shell_NotifyIconW(NIM_DELETE, &data));

    RefusingTray tray;
    ASSERT_EQ(::FindWindowW(L"Shell_TrayWnd", nullptr), tray.hwnd) << "the refusing tray is found first";
    RefusingTray::adds = 0;
    // The shell (re)starts but does not take the icon yet.
    ::SendMessageW(hwnd_, ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_FALSE(dialog_->IsTrayIconPresent());
    EXPECT_EQ(RefusingTray::adds, 1);
    ASSERT_TRUE(PumpUntil([&] { return RefusingTray::adds >= 3; }, 10000)) << "retried while refused";
    EXPECT_FALSE(dialog_->IsTrayIconPresent());

    // The real tray takes the next try.
    tray.Close();
    ASSERT_TRUE(PumpUntil([&] { return dialog_->IsTrayIconPresent(); }, 5000));
    EXPECT_TRUE(::Shell_NotifyIconW(NIM_DELETE, &data)) << "the icon is in the real tray";
}

TEST_F(AgentWindowsTest, AboutBoxIsCentredOnTheMainWindowAndClosesOnAClick)
{
    ::ShowWindow(hwnd_, SW_SHOW);
    ::SetWindowPos(hwnd_, nullptr, 30, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    RECT main = {};
    ::GetWindowRect(hwnd_, &main);
    RECT box = {};
    HWND about = nullptr;
    RunWhen([] { return ::GetDlgItem(::GetActiveWindow(), IDC_STATIC_VERSION) != nullptr; },
            [&] {
                about = ::GetActiveWindow();
                ::GetWindowRect(about, &box);
                SaveScreenshot(about, L"09-about-box");
                ::PostMessageW(about, WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
            });
    // Returns when the modal box has closed.
    ::SendMessageW(hwnd_, WM_COMMAND, ID_TRAY_ABOUT, 0);
    ASSERT_NE(about, nullptr);
    EXPECT_FALSE(::IsWindow(about));
    EXPECT_LE(std::abs((box.left + box.right) - (main.left + main.right)), 1);
    EXPECT_LE(std::abs((box.top + box.bottom) - (main.top + main.bottom)), 1);
}

TEST_F(AgentWindowsTest, SystemMenuAboutItemAndRemoteAssistance)
{
    // The system menu ends with the about item, command 16.
    HMENU system = ::GetSystemMenu(hwnd_, FALSE);
    ASSERT_NE(system, nullptr);
    const int count = ::GetMenuItemCount(system);
    ASSERT_GE(count, 2);
    EXPECT_EQ(::GetMenuItemID(system, count - 1), 16u);
    wchar_t text[64] = {};
    ::GetMenuStringW(system, 16, text, 64, MF_BYCOMMAND);
    EXPECT_EQ(std::wstring(text), dialog_->GetString(L"프로그램 정보"));
    HWND about = nullptr;
    RunWhen([] { return ::GetDlgItem(::GetActiveWindow(), IDC_STATIC_VERSION) != nullptr; },
            [&] {
                about = ::GetActiveWindow();
                ::PostMessageW(about, WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
            });
    // Modal: returns when the box has closed.
    ::SendMessageW(hwnd_, WM_SYSCOMMAND, 16, 0);
    EXPECT_NE(about, nullptr);
    EXPECT_FALSE(::IsWindow(about));
    // By keyboard: Enter and Escape leave it open, Space closes it.
    about = nullptr;
    bool openAfterEnter = false;
    auto spaceFailed = std::make_shared<bool>(false);
    RunWhen([] { return ::GetDlgItem(::GetActiveWindow(), IDC_STATIC_VERSION) != nullptr; }, [&] {
        about = ::GetActiveWindow();
        ::PostMessageW(about, WM_KEYDOWN, VK_RETURN, 1);
        ::PostMessageW(about, WM_KEYDOWN, VK_ESCAPE, 1);
        RunWhen([] { return true; }, [&] {
            openAfterEnter = ::IsWindowVisible(about) != FALSE;
            ::PostMessageW(about, WM_KEYDOWN, VK_SPACE, 1);
            ::PostMessageW(about, WM_KEYUP, VK_SPACE, 0xC0000001);
            const ULONGLONG due = ::GetTickCount64() + 5000;
            RunWhen([due] { return ::GetTickCount64() >= due; }, [box = about, spaceFailed] {
                if (!::IsWindow(box)) return;
                *spaceFailed = true;
                ::PostMessageW(box, WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
            });
        });
    });
    ::SendMessageW(hwnd_, WM_SYSCOMMAND, 16, 0);
    EXPECT_TRUE(openAfterEnter);
    EXPECT_FALSE(*spaceFailed) << "Space did not close the box";

    // The tray item hands the language table's address to the user's desktop
    // shell, and the login page's link the skin's "url".
    ToolkitTest::FakeDesktopShell shell;
    ASSERT_TRUE(shell.IsRegistered());
    ::PostMessageW(hwnd_, WM_COMMAND, ID_TRAY_REMOTE_ASSIST, 0);
    ASSERT_TRUE(PumpUntil([&] { return !shell.Calls().empty(); }, 30000)) << "the address was not opened";
    EXPECT_EQ(shell.Calls()[0].file, kRemoteAssistUrl);
    EXPECT_EQ(shell.Calls()[0].operation, L"open");
    ::SendMessageW(Item(login_, IDC_LINK_REMOTE_ASSIST), WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_EQ(shell.Calls().size(), 2u);
    EXPECT_EQ(shell.Calls()[1].file, kSkinLinkUrl);
}

TEST_F(AgentWindowsTest, LoginHintsComeFromTheSkin)
{
    // The skin's "hint_text" of each field, in the user's language.
    const auto* id = dynamic_cast<Lumen::EditEx*>(Lumen::Window::FromHandle(IdEdit()));
    const auto* password = dynamic_cast<Lumen::EditEx*>(Lumen::Window::FromHandle(PasswordEdit()));
    ASSERT_NE(id, nullptr);
    ASSERT_NE(password, nullptr);
    EXPECT_EQ(id->GetHint(), dialog_->GetString(L"아이디"));
    EXPECT_EQ(password->GetHint(), dialog_->GetString(L"비밀번호"));
}

// The session manager reports the expiry on its own timer thread.
TEST_F(AgentWindowsTest, TokenExpiryOnAnotherThreadLogsOut)
{
    LogIn();
    std::thread session([&] { dialog_->OnTokenExpired(); });
    session.join();
    ASSERT_TRUE(PumpUntil([&] { return dialog_->GetCurrentPage() == &dialog_->GetLoginView(); }, 30000));
    EXPECT_TRUE(::IsWindowVisible(login_));
    EXPECT_FALSE(dialog_->IsUserButtonEnabled());
    EXPECT_EQ(TextOf(IdEdit()), L"demo");
}

// Last: the continued installation installs what it can for the tests after.
TEST_F(AgentWindowsTest, AutomaticLoginRules)
{
    ConfigManager* config = ConfigManager::GetInstance();
    // The flag with an empty password is cleared and the page waits.
    config->SetUserId(L"demo");
    config->SetPassword(L"");
    config->SetAutoLogin(true);
    dialog_->GetLoginView().OnPageShow();
    EXPECT_FALSE(config->IsAutoLogin());
    EXPECT_EQ(::GetFocus(), IdEdit());
    EXPECT_TRUE(QueueDrained());
    EXPECT_EQ(dialog_->GetCurrentPage(), &dialog_->GetLoginView());

    // An interrupted installation logs in by itself without the flag, and the
    // product list then continues the installation.
    config->SetPassword(L"demo1234");
    config->SetInstalling(true);
    dialog_->GetLoginView().OnPageShow();
    ASSERT_TRUE(PumpUntil([&] { return dialog_->GetCurrentPage() == &dialog_->GetInspectionView(); }, 30000));
    EXPECT_FALSE(dialog_->GetLoginView().IsFirstShow());
    // The continued installation ends with its result message: confirm it.
    int resultFlags = 0;
    RunWhen([&] { return dialog_->GetMessageView().IsWaiting(); }, [&] {
        resultFlags = dialog_->GetMessageView().GetFlags();
        ClickCenter(Item(dialog_->GetMessageView().GetHwnd(), IDC_BUTTON_MSG_OK));
    });
    ASSERT_TRUE(PumpUntil([&] { return resultFlags != 0 && !config->IsInstalling(); }, 180000));
    EXPECT_EQ(resultFlags, MessageViewFlags::kFailure) << "two of the products cannot be installed";
}

// After the continued installation: whatever is left to install fails fast.
// Real key input only, from the login page to the end of an install-all.
TEST_F(AgentWindowsTest, KeyboardAloneLogsInAndInstallsAll)
{
    ::SetForegroundWindow(hwnd_);
    ASSERT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == hwnd_; }, 5000));
    ASSERT_TRUE(PumpUntil([&] { return ::GetFocus() == IdEdit(); }, 5000)) << "the login page starts in the id field";
    SendText(L"demo");
    SendKey(VK_TAB);
    EXPECT_EQ(::GetFocus(), PasswordEdit());
    SendText(L"demo1234");
    SendKey(VK_TAB);
    ASSERT_EQ(::GetFocus(), Item(login_, IDC_BUTTON_LOGIN));
    SendKey(VK_TAB, true);
    EXPECT_EQ(::GetFocus(), PasswordEdit()) << "Shift+Tab goes back";
    SendKey(VK_TAB);
    SendKey(VK_SPACE);
    ASSERT_TRUE(LoggedIn());

    InspectionView& list = dialog_->GetInspectionView();
    const HWND page = list.GetHwnd();
    ASSERT_TRUE(PumpUntil([&] { return ::GetFocus() == Item(page, IDC_BUTTON_REMOTE_ASSIST); }, 5000))
        << "the list page starts on remote support, also after the check's overlay";
    // The order: remote support, refresh, install all, then each product's
    // button row by row, whose window text names its product.
    std::vector<HWND> seen;
    for (int i = 0; i < 8; ++i) {
        seen.push_back(::GetFocus());
        SendKey(VK_TAB);
    }
    EXPECT_EQ(seen[1], Item(page, IDC_BUTTON_REFRESH));
    EXPECT_EQ(seen[2], Item(page, IDC_BUTTON_INSTALL_ALL));
    size_t buttons = 0;
    std::pair<LONG, LONG> last = {LONG_MIN, LONG_MIN};
    for (size_t i = 3; i < seen.size() && seen[i] != seen[0]; ++i, ++buttons) {
        const auto found = std::find_if(list.GetRowPool().Rows().begin(), list.GetRowPool().Rows().end(),
                                        [&](const auto& row) { return row->GetInstallButton() == seen[i]; });
        ASSERT_NE(found, list.GetRowPool().Rows().end()) << i;
        const std::wstring name = TextOf(Item((*found)->GetHwnd(), IDC_STATIC_PRODUCT_NAME));
        EXPECT_NE(TextOf(seen[i]).find(name), std::wstring::npos) << Lumen::WideToUtf8(TextOf(seen[i]));
        RECT rect = {};
        ::GetWindowRect(seen[i], &rect);
        const std::pair<LONG, LONG> at = {rect.top, rect.left};
        EXPECT_GT(at, last) << "row by row from the top, each from the left";
        last = at;
    }
    size_t notInstalled = 0;
    for (const auto& row : list.GetRowPool().Rows()) notInstalled += row->GetProduct().installed ? 0 : 1;
    EXPECT_EQ(buttons, notInstalled) << "every shown install button, and only those";

    // Install all with Enter: "계속 진행" has the focus and takes Enter;
    // the result's "확인" has it and takes Space.
    while (::GetFocus() != Item(page, IDC_BUTTON_INSTALL_ALL)) SendKey(VK_TAB);
    // The overlay pictures the page under it: without the focus cue, which
    // would show a second focused control behind it.
    const HWND installAll = Item(page, IDC_BUTTON_INSTALL_ALL);
    g_printWatch = PrintWatch{installAll, reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
                                              installAll, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WatchPrints)))};
    MessageView& overlay = dialog_->GetMessageView();
    const HWND view = overlay.GetHwnd();
    HWND focusOnQuestion = nullptr;
    HWND focusOnResult = nullptr;
    HWND focusWhileWorking = nullptr;
    int resultFlags = 0;
    RunWhen([&] { return overlay.IsWaiting() && overlay.GetFlags() == MessageViewFlags::kLoadingQuestion; }, [&] {
        focusOnQuestion = ::GetFocus();
        SendKey(VK_RETURN, false, false);
    });
    RunWhen([&] { return ::IsWindowVisible(view) && !overlay.IsWaiting() && ConfigManager::GetInstance()->IsInstalling(); },
            [&] { focusWhileWorking = ::GetFocus(); });
    RunWhen([&] { return overlay.IsWaiting() && overlay.GetFlags() != MessageViewFlags::kLoadingQuestion; }, [&] {
        focusOnResult = ::GetFocus();
        resultFlags = overlay.GetFlags();
        SendKey(VK_SPACE, false, false);
    });
    // Should a key go astray, the waits end after a while instead of hanging the run.
    auto running = std::make_shared<bool>(true);
    int stuck = 0;
    for (int seconds : {60, 90, 120}) {
        const ULONGLONG due = ::GetTickCount64() + seconds * 1000ULL;
        RunWhen([due] { return ::GetTickCount64() >= due; }, [running, &stuck, &overlay] {
            if (*running && overlay.IsWaiting()) {
                ++stuck;
                overlay.EndWaitFromAnyThread();
            }
        });
    }
    SendKey(VK_RETURN);
    const bool finished = PumpUntil([&] {
        return resultFlags != 0 && !overlay.IsWaiting() && !::IsWindowVisible(view) &&
               !ConfigManager::GetInstance()->IsInstalling();
    }, 180000);
    *running = false;
    EXPECT_EQ(stuck, 0) << "a wait was ended by the watchdog: a key did not arrive";
    ASSERT_TRUE(finished) << resultFlags;
    EXPECT_EQ(focusOnQuestion, Item(view, IDC_BUTTON_MSG_CONTINUE));
    EXPECT_GT(g_printWatch.prints, 0) << "the page was pictured for the overlay";
    EXPECT_EQ(g_printWatch.printsWithFocus, 0) << "pictured with its focus cue";
    ::SetWindowLongPtrW(installAll, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_printWatch.previous));
    EXPECT_TRUE(focusWhileWorking == view || ::IsChild(view, focusWhileWorking))
        << "without buttons the overlay still holds the focus";
    EXPECT_EQ(focusOnResult, Item(view, IDC_BUTTON_MSG_OK));
    ASSERT_TRUE(QueueDrained());
    EXPECT_FALSE(::IsWindowVisible(view));
    EXPECT_EQ(::GetFocus(), Item(page, IDC_BUTTON_INSTALL_ALL)) << "back where it was before the overlay";

    // Log-out: the login page takes the focus in its id field.
    ::PostMessageW(hwnd_, WM_COMMAND, ID_TRAY_LOGOUT, 0);
    ASSERT_TRUE(PumpUntil([&] { return dialog_->GetCurrentPage() == &dialog_->GetLoginView(); }, 30000));
    EXPECT_TRUE(PumpUntil([&] { return ::GetFocus() == IdEdit(); }, 5000));
}

// The notice and user-information windows: Tab goes round their controls;
// Enter never closes them, Space presses their "확인".
TEST_F(AgentWindowsTest, PopupWindowsTabRoundTheirControls)
{
    dialog_->OnConfigChanged(1);  // creates the windows
    ASSERT_TRUE(QueueDrained());
    ASSERT_NE(dialog_->GetUserInfoView(), nullptr);
    UserInfoView& info = *dialog_->GetUserInfoView();
    ::ShowWindow(info.GetHwnd(), SW_SHOW);
    ::SetForegroundWindow(info.GetHwnd());
    const HWND ok = ::GetDlgItem(info.GetHwnd(), IDOK);
    ::SetFocus(ok);
    std::vector<HWND> seen;
    for (int i = 0; i < 4; ++i) {
        PressKey(::GetFocus(), VK_TAB);
        seen.push_back(::GetFocus());
    }
    EXPECT_EQ(seen[0], InnerEdit(::GetDlgItem(info.GetHwnd(), IDC_EDIT_COMPANY)));
    EXPECT_EQ(seen[1], InnerEdit(::GetDlgItem(info.GetHwnd(), IDC_EDIT_USER_ID)));
    EXPECT_EQ(seen[2], InnerEdit(::GetDlgItem(info.GetHwnd(), IDC_EDIT_USER_NAME)));
    EXPECT_EQ(seen[3], ok);
    PressKey(ok, VK_RETURN);
    PressKey(ok, VK_ESCAPE);
    EXPECT_TRUE(::IsWindowVisible(info.GetHwnd())) << "Enter and Escape never close it";
    PressKey(ok, VK_SPACE);
    EXPECT_FALSE(::IsWindowVisible(info.GetHwnd())) << "Space presses its button";

    NoticeView& notice = *dialog_->GetNoticeView();
    ::ShowWindow(notice.GetHwnd(), SW_SHOW);
    ::SetForegroundWindow(notice.GetHwnd());
    const HWND noticeOk = ::GetDlgItem(notice.GetHwnd(), IDOK);
    ::SetFocus(noticeOk);
    PressKey(noticeOk, VK_TAB);
    EXPECT_EQ(::GetFocus(), InnerEdit(::GetDlgItem(notice.GetHwnd(), IDC_EDIT_NOTICE_TITLE)));
    PressKey(::GetFocus(), VK_TAB, false);
    EXPECT_EQ(::GetFocus(), noticeOk);
    ::ShowWindow(notice.GetHwnd(), SW_HIDE);
}

namespace {

// Ends the process when the thread that made it hangs: a deadlock of the
// user-interface thread could never report itself.
class HangWatch {
public:
    HangWatch(DWORD timeoutMs, const char* what)
        : thread_([this, timeoutMs, what] {
              if (::WaitForSingleObject(done_.GetHandle(), timeoutMs) == WAIT_OBJECT_0) return;
              std::fprintf(stderr, "HUNG: %s\n", what);
              std::fflush(stderr);
              ::TerminateProcess(::GetCurrentProcess(), 3);
          })
    {
    }
    ~HangWatch()
    {
        done_.Set();
        thread_.join();
    }

private:
    Lumen::Event done_;
    std::thread thread_;
};

// The flag as the configuration file holds it.
bool SavedInstalling()
{
    // Read once, on a thread of its own: the query joins the multithreaded
    // apartment, which this thread (an HTML view's by now) cannot.
    static const std::string passphrase = [] {
        std::string read;
        std::thread([&read] { read = ConfigManager::ReadMachinePassphrase(); }).join();
        return read;
    }();
    ConfigManager file(ConfigManager::DefaultFilePath(), passphrase);
    file.LoadConfig();
    return file.IsInstalling();
}

// Hands every notification on to the product list page and notes the order
// and what the file held when a continued installation started.
struct OrderRecorder : IAgentCmdResponseHandler {
    explicit OrderRecorder(IAgentCmdResponseHandler& page) : page(page) {}
    void OnCommandStart(std::shared_ptr<AgentCmdBase> command) override
    {
        page.OnCommandStart(command);
        seen.push_back("start " + std::to_string(command->GetType()));
        if (command->GetType() == AgentCmdBase::kContinueInstall) savedAtContinue = SavedInstalling();
    }
    void OnCommandComplete(std::shared_ptr<AgentCmdBase> command) override
    {
        page.OnCommandComplete(command);
        seen.push_back("complete " + std::to_string(command->GetType()));
    }
    void OnCommandCancel() override {}
    bool Saw(const std::string& what, int type) const
    {
        return std::find(seen.begin(), seen.end(), what + " " + std::to_string(type)) != seen.end();
    }
    IAgentCmdResponseHandler& page;
    std::vector<std::string> seen;
    bool savedAtContinue = false;
};

}  // namespace

// The product list page queues a check and then a continued installation.
// Their notices are all made while this thread looks at no message; the
// check's completion must still come first, not uncover the list while the
// installers run.
TEST_F(AgentWindowsTest, ACheckBeforeAContinuedInstallLeavesTheInstallingOverlayUp)
{
    LogIn();
    ASSERT_FALSE(SavedInstalling());
    AgentController& controller = dialog_->GetController();
    MessageView& overlay = dialog_->GetMessageView();
    OrderRecorder order(dialog_->GetInspectionView());
    auto check = std::make_shared<AgentCmdCheckProduct>();
    auto resume = std::make_shared<AgentCmdContinueInstall>();
    check->SetResponseHandler(&order);
    resume->SetResponseHandler(&order);
    ASSERT_TRUE(QueueDrained());
    controller.PushCommand(check);
    controller.PushCommand(resume);
    ASSERT_TRUE(PavoTest::WaitUntil([&] { return controller.QueuedNotifications() >= 3; }, 30000));
    int resultFlags = 0;
    RunWhen([&] { return overlay.IsWaiting(); }, [&] {
        resultFlags = overlay.GetFlags();
        ClickCenter(Item(overlay.GetHwnd(), IDC_BUTTON_MSG_OK));
    });
    ASSERT_TRUE(PumpUntil([&] {
        return order.Saw("start", AgentCmdBase::kContinueInstall) && controller.QueuedNotifications() == 0;
    }));
    ASSERT_FALSE(order.Saw("complete", AgentCmdBase::kContinueInstall)) << "the installation ended too soon to look";
    const std::vector<std::string> expected = {"start 2004", "complete 2004", "start 2007"};
    EXPECT_EQ(order.seen, expected);
    EXPECT_TRUE(::IsWindowVisible(overlay.GetHwnd())) << "the list is uncovered while the installers run";
    EXPECT_EQ(overlay.GetText(), dialog_->GetString(CommandFlow::PlanFor(AgentCmdBase::kContinueInstall).progressKey));
    EXPECT_FALSE(::IsWindowVisible(dialog_->GetInspectionView().GetHwnd()));
    EXPECT_TRUE(order.savedAtContinue) << "a continued installation keeps its flag from its start";
    ASSERT_TRUE(PumpUntil([&] { return resultFlags != 0 && order.Saw("complete", AgentCmdBase::kContinueInstall); },
                          180000));
    EXPECT_FALSE(SavedInstalling());
}

// Install-all keeps its flag only once the reboot question is answered "계속
// 진행": a machine restarted at the question must not log in and install
// unasked at the next logon.
TEST_F(AgentWindowsTest, TheInstallingFlagIsSavedOnlyOnceTheUserAgreed)
{
    LogIn();
    ASSERT_FALSE(SavedInstalling());
    ConfigManager* config = ConfigManager::GetInstance();
    MessageView& overlay = dialog_->GetMessageView();
    const HWND installAll = Item(dialog_->GetInspectionView().GetHwnd(), IDC_BUTTON_INSTALL_ALL);
    auto asked = [&] { return overlay.IsWaiting() && overlay.GetFlags() == MessageViewFlags::kLoadingQuestion; };
    int answered = 0;
    bool keptWhileAsked = true;
    RunWhen(asked, [&] {
        keptWhileAsked = SavedInstalling() || config->IsInstalling();
        ++answered;
        ClickCenter(Item(overlay.GetHwnd(), IDC_BUTTON_MSG_CANCEL));
    });
    ClickCenter(installAll);
    ASSERT_TRUE(PumpUntil([&] { return answered == 1; }));
    ASSERT_TRUE(QueueDrained());
    EXPECT_FALSE(keptWhileAsked) << "kept before the user answered";
    EXPECT_FALSE(SavedInstalling()) << "kept after \"취소\"";
    EXPECT_FALSE(config->IsInstalling());

    const std::wstring installing = dialog_->GetString(CommandFlow::PlanFor(AgentCmdBase::kInstallAllProduct).progressKey);
    bool savedWhileInstalling = false;
    int resultFlags = 0;
    RunWhen(asked, [&] { ClickCenter(Item(overlay.GetHwnd(), IDC_BUTTON_MSG_CONTINUE)); });
    RunWhen([&] { return !overlay.IsWaiting() && overlay.GetText() == installing; },
            [&] { savedWhileInstalling = SavedInstalling(); });
    RunWhen([&] { return overlay.IsWaiting() && overlay.GetFlags() != MessageViewFlags::kLoadingQuestion; }, [&] {
        resultFlags = overlay.GetFlags();
        ClickCenter(Item(overlay.GetHwnd(), IDC_BUTTON_MSG_OK));
    });
    ClickCenter(installAll);
    ASSERT_TRUE(PumpUntil([&] { return resultFlags != 0 && !overlay.IsWaiting(); }, 180000));
    ASSERT_TRUE(QueueDrained());
    EXPECT_TRUE(savedWhileInstalling) << "not kept while the installers ran";
    EXPECT_FALSE(SavedInstalling()) << "cleared at the end";
}

// A log-out, or the end of the program, just ahead of an installation: the
// controller's restart (or the window's end) waits for no question and runs
// only once no notification is on the stack.
TEST_F(AgentWindowsTest, AnEndJustAheadOfAnInstallNeitherHangsNorAsks)
{
    LogIn();
    ASSERT_TRUE(QueueDrained());
    AgentController& controller = dialog_->GetController();
    MessageView& overlay = dialog_->GetMessageView();
    {
        const HangWatch watch(60000, "a log-out ahead of an install-all");
        auto install = std::make_shared<AgentCmdInstallAllProduct>();
        install->SetResponseHandler(&dialog_->GetInspectionView());
        controller.PushCommand(std::make_shared<AgentCmdLogout>());
        controller.PushCommand(install);
        ASSERT_TRUE(PavoTest::WaitUntil([&] { return controller.QueuedNotifications() >= 3; }, 30000));
        ASSERT_TRUE(PumpUntil([&] { return dialog_->GetCurrentPage() == &dialog_->GetLoginView(); }, 30000));
        EXPECT_TRUE(controller.IsRunning());
        // The restarted controller answers: a marker command goes through it.
        EXPECT_TRUE(QueueDrained());
    }
    EXPECT_NE(overlay.GetFlags(), MessageViewFlags::kLoadingQuestion) << "the question came after the log-out";
    EXPECT_FALSE(dialog_->IsInNotification());
    EXPECT_FALSE(SavedInstalling());
    EXPECT_TRUE(::IsWindowVisible(login_));

    // The stop-tray completion ends the window in the same place.
    const HangWatch watch(60000, "a stop-tray ahead of an install-all");
    controller.PushCommand(std::make_shared<AgentCmdStopTray>());
    controller.PushCommand(std::make_shared<AgentCmdInstallAllProduct>());
    ASSERT_TRUE(PavoTest::WaitUntil([&] { return controller.QueuedNotifications() >= 3; }, 30000));
    ASSERT_TRUE(PumpUntil([&] { return !::IsWindow(hwnd_); }, 30000));
    EXPECT_FALSE(controller.IsRunning());
    EXPECT_NE(overlay.GetFlags(), MessageViewFlags::kLoadingQuestion);
}

// --- Progress while installing ---

// A customer whose three products never install (their installer fails), so
// that every run starts from the same list; the downloads are slowed down by
// the server so that their progress can be watched.
class InstallProgressTest : public AgentWindowsTest {
protected:
    void TearDown() override
    {
        ServerTest::Admin(L"/admin/reset", "{}");
        AgentWindowsTest::TearDown();
    }

    void LogInForProgress()
    {
        TypeLogin(L"progress", L"progress1234");
        ClickCenter(Item(login_, IDC_BUTTON_LOGIN));
        ASSERT_TRUE(PumpUntil([&] {
            return dialog_->GetCurrentPage() == &dialog_->GetInspectionView() &&
                   dialog_->GetInspectionView().GetRowPool().Size() >= 3 &&
                   !::IsWindowVisible(dialog_->GetMessageView().GetHwnd());
        }, 60000));
    }

    HWND InstallButtonOf(const std::wstring& productCode)
    {
        for (const auto& row : dialog_->GetInspectionView().GetRowPool().Rows()) {
            if (row->GetProduct().productCode == productCode && ::IsWindowVisible(row->GetHwnd()))
                return Item(row->GetHwnd(), IDC_BUTTON_INSTALL);
        }
        return nullptr;
    }

    // What the overlay's progress lines and the taskbar button showed, sampled
    // between messages until the result message waits for "확인".
    struct Seen {
        std::vector<std::wstring> products, steps, counts;
        std::vector<TBPFLAG> taskbar;
        TBPFLAG atResult = TBPF_NOPROGRESS;
        int resultFlags = 0;
    };
    static void Add(std::vector<std::wstring>& list, const std::wstring& text)
    {
        if (!text.empty() && (list.empty() || list.back() != text)) list.push_back(text);
    }
    // `shot`, when given, names a screenshot taken once the download is a third done.
    Seen WatchUntilTheResult(const std::function<void()>& start, const std::wstring& shot = L"")
    {
        bool shotTaken = shot.empty();
        Seen seen;
        MessageView& overlay = dialog_->GetMessageView();
        const HWND view = overlay.GetHwnd();
        auto sample = [&] {
            if (!::IsWindowVisible(view)) return;
            auto line = [&](int id) {
                const HWND item = Item(view, id);
                return ::IsWindowVisible(item) ? TextOf(item) : std::wstring();
            };
            Add(seen.products, line(IDC_STATIC_MSG_PRODUCT));
            Add(seen.steps, line(IDC_STATIC_MSG_STEP));
            Add(seen.counts, line(IDC_STATIC_MSG_COUNT));
            const TBPFLAG state = dialog_->GetTaskbarManager().GetProgressState();
            if (seen.taskbar.empty() || seen.taskbar.back() != state) seen.taskbar.push_back(state);
            if (!shotTaken && PercentOf(line(IDC_STATIC_MSG_STEP)) >= 30) {
                ::UpdateWindow(hwnd_);
                shotTaken = SaveScreenshot(hwnd_, shot);
            }
        };
        RunWhen([&] { return overlay.IsWaiting() && overlay.GetFlags() == MessageViewFlags::kLoadingQuestion; },
                [&] { ClickCenter(Item(view, IDC_BUTTON_MSG_CONTINUE)); });
        RunWhen([&] {
            sample();
            return overlay.IsWaiting() && overlay.GetFlags() != MessageViewFlags::kLoadingQuestion;
        }, [&] {
            seen.resultFlags = overlay.GetFlags();
            seen.atResult = dialog_->GetTaskbarManager().GetProgressState();
            ClickCenter(Item(view, IDC_BUTTON_MSG_OK));
        });
        start();
        EXPECT_TRUE(PumpUntil([&] {
            sample();
            return seen.resultFlags != 0 && !overlay.IsWaiting();
        }, 180000));
        EXPECT_TRUE(QueueDrained());
        EXPECT_TRUE(shotTaken) << Lumen::WideToUtf8(shot);
        return seen;
    }

    // The percentage at the start of a step line's size ("Downloading 42% · …"); -1 without one.
    static int PercentOf(const std::wstring& step)
    {
        const size_t sign = step.find(L'%');
        if (sign == std::wstring::npos) return -1;
        size_t begin = sign;
        while (begin > 0 && iswdigit(step[begin - 1])) --begin;
        return begin == sign ? -1 : std::stoi(step.substr(begin, sign - begin));
    }
};

TEST_F(InstallProgressTest, ThrottledDownloadShowsRisingPercentagesAndTheTaskbarFollows)
{
    LogInForProgress();
    ASSERT_TRUE(ServerTest::Admin(L"/admin/fault", R"({"path": "/download/none~fail.exe", "bytesPerSecond": 150000})"));
    const HWND install = InstallButtonOf(L"PAVO_SYNC");
    ASSERT_NE(install, nullptr);
    const Seen seen = WatchUntilTheResult([&] { ClickCenter(install); }, L"11-download-progress");

    EXPECT_EQ(seen.products, std::vector<std::wstring>{dialog_->GetString(L"PAVO_SYNC")});
    EXPECT_TRUE(seen.counts.empty()) << "a single product has no count";
    const std::wstring downloading = dialog_->GetString(L"다운로드 중");
    std::vector<int> percents;
    for (const std::wstring& step : seen.steps) {
        if (step.rfind(downloading, 0) != 0 || PercentOf(step) < 0) continue;
        if (percents.empty() || percents.back() != PercentOf(step)) percents.push_back(PercentOf(step));
    }
    ASSERT_GE(percents.size(), 3u) << "a download of seconds shows several states";
    for (size_t i = 1; i < percents.size(); ++i) EXPECT_LT(percents[i - 1], percents[i]) << i;
    EXPECT_LE(percents.back(), 100);
    EXPECT_GE(percents.back(), 80) << "the last state seen before the installer runs is near the end";
    // After the download the installer runs.
    EXPECT_EQ(seen.steps.back(), dialog_->GetString(L"설치 중"));
    // The taskbar button: a bar while downloading, busy while installing, an
    // error with the failure message, and nothing once it is answered.
    ASSERT_GE(seen.taskbar.size(), 2u);
    EXPECT_EQ(seen.taskbar[0], TBPF_NOPROGRESS);
    const auto bar = std::find(seen.taskbar.begin(), seen.taskbar.end(), TBPF_NORMAL);
    ASSERT_NE(bar, seen.taskbar.end());
    EXPECT_NE(std::find(bar, seen.taskbar.end(), TBPF_INDETERMINATE), seen.taskbar.end()) << "then the installer";
    EXPECT_EQ(seen.resultFlags, MessageViewFlags::kFailure);
    EXPECT_EQ(seen.atResult, TBPF_ERROR);
    EXPECT_EQ(dialog_->GetTaskbarManager().GetProgressState(), TBPF_NOPROGRESS);
    // Nothing of the installation is left to show.
    InstallProgress late;
    EXPECT_FALSE(dialog_->GetController().TakeProgress(&late));
}

TEST_F(InstallProgressTest, InstallAllCountsItsProducts)
{
    LogInForProgress();
    ASSERT_TRUE(ServerTest::Admin(L"/admin/fault", R"({"path": "/download/none~fail.exe", "bytesPerSecond": 300000})"));
    const Seen seen = WatchUntilTheResult(
        [&] { ClickCenter(Item(dialog_->GetInspectionView().GetHwnd(), IDC_BUTTON_INSTALL_ALL)); });
    EXPECT_EQ(seen.counts, (std::vector<std::wstring>{L"1 / 3", L"2 / 3", L"3 / 3"}));
    EXPECT_EQ(seen.products, (std::vector<std::wstring>{dialog_->GetString(L"PAVO_SYNC"), L"UNLISTED_CODE",
                                                        dialog_->GetString(L"PAVO_NOTE")}));
    EXPECT_EQ(seen.resultFlags, MessageViewFlags::kFailure) << "none of them installs";
}

TEST_F(InstallProgressTest, DownloadWithoutALengthShowsBytesOnly)
{
    LogInForProgress();
    ASSERT_TRUE(ServerTest::Admin(
        L"/admin/fault", R"({"path": "/download/none~fail.exe", "bytesPerSecond": 150000, "omitContentLength": true})"));
    const HWND install = InstallButtonOf(L"PAVO_SYNC");
    ASSERT_NE(install, nullptr);
    const Seen seen = WatchUntilTheResult([&] { ClickCenter(install); });
    const std::wstring downloading = dialog_->GetString(L"다운로드 중");
    size_t withBytes = 0;
    for (const std::wstring& step : seen.steps) {
        ASSERT_EQ(step.rfind(downloading, 0), 0u) << "the download fails: nothing is installed";
        EXPECT_EQ(step.find(L'%'), std::wstring::npos) << Lumen::WideToUtf8(step);
        EXPECT_EQ(step.find(L'/'), std::wstring::npos) << Lumen::WideToUtf8(step);
        if (step.size() > downloading.size() + 3 && step.compare(step.size() - 3, 3, L" KB") == 0 &&
            step != downloading + L" 0 KB")
            ++withBytes;
    }
    EXPECT_GE(withBytes, 2u) << "the bytes received are seen rising";
    EXPECT_EQ(seen.resultFlags, MessageViewFlags::kFailure);
    EXPECT_NE(std::find(seen.taskbar.begin(), seen.taskbar.end(), TBPF_INDETERMINATE), seen.taskbar.end());
    EXPECT_EQ(std::find(seen.taskbar.begin(), seen.taskbar.end(), TBPF_NORMAL), seen.taskbar.end());
    EXPECT_EQ(seen.atResult, TBPF_ERROR);
}
