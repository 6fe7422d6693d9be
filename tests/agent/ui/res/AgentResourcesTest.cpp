// The agent's resource script as windres compiled it: every template creates
// with the sizes, styles and controls the windows rely on, the tray menu and the
// accelerators carry their commands, and every default text is a key of the
// language table (a typo there would leave the text untranslated).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "resource.h"

namespace {

std::string ToUtf8(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

// The Korean language table as text; a key is looked for as its JSON member.
const std::string& KoreanTable()
{
    static const std::string text = [] {
        std::string content;
        FILE* file = _wfopen((ProgramFolder() + L"language\\kor.json").c_str(), L"rb");
        if (!file)
            return content;
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof(buffer), file)) > 0;)
            content.append(buffer, n);
        fclose(file);
        return content;
    }();
    return text;
}

bool IsLanguageKey(const std::wstring& text)
{
    return KoreanTable().find("\"key\": \"" + ToUtf8(text) + "\"") != std::string::npos;
}

// Texts that are data rather than sentences: shown as they are.
const std::set<std::wstring> kNotKeys = {L"1588-0000", L"대표번호 1588-0000", L"Ver. 1.0", L"OK",
                                         L"Copyright (C) Pavo. All rights reserved.",
                                         L"조직에서 제공하는 보안 소프트웨어를 설치하고 관리합니다."};

INT_PTR CALLBACK QuietDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

struct Control {
    int id;
    const wchar_t* className;
};

struct Template {
    int id;
    SIZE dialogUnits;
    bool child;
    std::vector<Control> controls;
};

class AgentResourcesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // The toolkit registers these before any template names them.
        for (const wchar_t* name : {L"EditWithClear", L"CustomWindowList", L"CustomHtmlCtrl"}) {
            WNDCLASSW wc = {};
            wc.lpfnWndProc = DefWindowProcW;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = name;
            RegisterClassW(&wc);
        }
    }

    void SetUp() override
    {
        host_ = CreateWindowExW(0, L"Static", L"host", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(host_, nullptr);
    }
    void TearDown() override
    {
        if (host_)
            DestroyWindow(host_);
    }

    HWND host_ = nullptr;
};

TEST_F(AgentResourcesTest, TemplatesCreateWithTheirSizesControlsAndKeyTexts)
{
    const std::vector<Template> templates = {
        {IDD_ABOUTBOX, {207, 112}, false, {{IDC_STATIC_VERSION, L"Static"}, {IDC_STATIC_ABOUT_INFO, L"Static"}}},
        {IDD_PAVOAGENT_DIALOG, {320, 200}, false, {}},
        {IDD_LOGIN_VIEW,
         {310, 176},
         true,
         {{IDC_EDIT_ID, L"EditWithClear"},
          {IDC_BUTTON_LOGIN, L"Button"},
          {IDC_EDIT_PASSWORD, L"EditWithClear"},
          {IDC_CHECK_AUTO_LOGIN, L"Button"},
          {IDC_LINK_REMOTE_ASSIST, L"Static"},
          {IDC_STATIC_PHONE_LABEL, L"Static"},
          {IDC_STATIC_PHONE, L"Static"},
          {IDC_STATIC_LOGIN_ERROR, L"Static"}}},
        {IDD_INSPECTION_VIEW,
         {310, 190},
         true,
         {{IDC_STATIC_DESCRIPTION, L"Static"},
          {IDC_STATIC_LIST_TITLE, L"Static"},
          {IDC_BUTTON_REMOTE_ASSIST, L"Button"},
          {IDC_STATIC_PHONE, L"Static"},
          {IDC_BUTTON_REFRESH, L"Button"},
          {IDC_BUTTON_INSTALL_ALL, L"Button"},
          {IDC_LIST_PRODUCTS, L"CustomWindowList"}}},
        {IDD_MESSAGE_VIEW,
         {310, 176},
         true,
         {{IDC_STATIC_MSG_TEXT, L"Static"},
          {IDC_BUTTON_MSG_OK, L"Button"},
          {IDC_BUTTON_MSG_CANCEL, L"Button"},
          {IDC_BUTTON_MSG_CONTINUE, L"Button"},
          {IDC_STATIC_MSG_INFO, L"Static"},
          {IDC_STATIC_MSG_SUCCESS, L"Static"},
          {IDC_STATIC_MSG_FAILURE, L"Static"},
          {IDC_STATIC_MSG_PRODUCT, L"Static"},
          {IDC_STATIC_MSG_STEP, L"Static"},
          {IDC_STATIC_MSG_COUNT, L"Static"}}},
        {IDD_PRODUCT_ITEM_VIEW,
         {124, 52},
         false,
         {{IDC_STATIC_PRODUCT_ICON, L"Static"}, {IDC_STATIC_PRODUCT_NAME, L"Static"}, {IDC_BUTTON_INSTALL, L"Button"}}},
        {IDD_NOTICE_VIEW,
         {281, 237},
         false,
         {{IDC_STATIC_NOTICE_TITLE, L"Static"},
          {IDC_STATIC_NOTICE_BODY, L"Static"},
          {IDC_EDIT_NOTICE_TITLE, L"EditWithClear"},
          {IDC_HTML_NOTICE, L"CustomHtmlCtrl"},
          {IDOK, L"Button"}}},
        {IDD_USERINFO_VIEW,
         {155, 123},
         false,
         {{IDC_STATIC_USER_PICTURE, L"Static"},
          {IDC_STATIC_USER_HEADING, L"Static"},
          {IDC_STATIC_COMPANY_LABEL, L"Static"},
          {IDC_STATIC_ID_LABEL, L"Static"},
          {IDC_STATIC_NAME_LABEL, L"Static"},
          {IDC_EDIT_COMPANY, L"EditWithClear"},
          {IDC_EDIT_USER_ID, L"EditWithClear"},
          {IDC_EDIT_USER_NAME, L"EditWithClear"},
          {IDOK, L"Button"}}},
        {IDD_HTML_DIALOG, {310, 176}, true, {}},
    };

    for (const Template& t : templates) {
        SCOPED_TRACE("template " + std::to_string(t.id));
        HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(t.id), host_, QuietDialogProc, 0);
        ASSERT_NE(dialog, nullptr) << GetLastError();
        const LONG style = GetWindowLongW(dialog, GWL_STYLE);
        EXPECT_EQ((style & WS_CHILD) != 0, t.child);

        RECT expected = {0, 0, t.dialogUnits.cx, t.dialogUnits.cy};
        MapDialogRect(dialog, &expected);
        RECT client = {};
        GetClientRect(dialog, &client);
        EXPECT_EQ(client.right, expected.right);
        EXPECT_EQ(client.bottom, expected.bottom);

        size_t children = 0;
        for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            ++children;
        EXPECT_EQ(children, t.controls.size());
        for (const Control& c : t.controls) {
            SCOPED_TRACE("control " + std::to_string(c.id));
            HWND control = GetDlgItem(dialog, c.id);
            ASSERT_NE(control, nullptr);
            wchar_t className[64] = {};
            GetClassNameW(control, className, 64);
            EXPECT_EQ(lstrcmpiW(className, c.className), 0) << ToUtf8(className);
            wchar_t text[256] = {};
            GetWindowTextW(control, text, 256);
            if (text[0] && !kNotKeys.count(text)) {
                EXPECT_TRUE(IsLanguageKey(text)) << ToUtf8(text);
            }
        }
        wchar_t caption[64] = {};
        GetWindowTextW(dialog, caption, 64);
        if (caption[0]) {
            EXPECT_TRUE(IsLanguageKey(caption)) << ToUtf8(caption);
        }
        DestroyWindow(dialog);
    }
}

TEST_F(AgentResourcesTest, WindowStylesMatchTheirRoles)
{
    struct Expected {
        int id;
        DWORD set;
        DWORD clear;
        DWORD exSet;
    };
    const Expected expected[] = {
        {IDD_PAVOAGENT_DIALOG, WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, WS_MAXIMIZEBOX | WS_THICKFRAME,
         WS_EX_APPWINDOW},
        {IDD_NOTICE_VIEW, WS_POPUP | WS_CAPTION | WS_SYSMENU, WS_VISIBLE | WS_THICKFRAME, 0},
        {IDD_ABOUTBOX, WS_POPUP | WS_CAPTION | WS_SYSMENU, WS_VISIBLE | WS_THICKFRAME, 0},
        // No caption, but a border: the skinned frame and its coordinates need one.
        {IDD_USERINFO_VIEW, WS_POPUP | WS_BORDER, WS_DLGFRAME | WS_VISIBLE, 0},
        {IDD_PRODUCT_ITEM_VIEW, WS_POPUP, WS_BORDER | WS_VISIBLE, 0},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE("template " + std::to_string(e.id));
        HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(e.id), host_, QuietDialogProc, 0);
        ASSERT_NE(dialog, nullptr);
        const DWORD style = static_cast<DWORD>(GetWindowLongW(dialog, GWL_STYLE));
        EXPECT_EQ(style & e.set, e.set);
        EXPECT_EQ(style & e.clear, 0u);
        EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(dialog, GWL_EXSTYLE)) & e.exSet, e.exSet);
        DestroyWindow(dialog);
    }

    HWND login = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_LOGIN_VIEW), host_,
                                    QuietDialogProc, 0);
    ASSERT_NE(login, nullptr);
    EXPECT_EQ(GetWindowLongW(GetDlgItem(login, IDC_CHECK_AUTO_LOGIN), GWL_STYLE) & BS_TYPEMASK, BS_AUTOCHECKBOX);
    EXPECT_NE(GetWindowLongW(GetDlgItem(login, IDC_LINK_REMOTE_ASSIST), GWL_STYLE) & SS_NOTIFY, 0);
    DestroyWindow(login);
}

TEST_F(AgentResourcesTest, MenuAcceleratorsIconAndString)
{
    HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MENU_TRAY));
    ASSERT_NE(menu, nullptr);
    wchar_t popupName[16] = {};
    GetMenuStringW(menu, 0, popupName, 16, MF_BYPOSITION);
    EXPECT_STREQ(popupName, L"TRAY");
    HMENU tray = GetSubMenu(menu, 0);
    ASSERT_NE(tray, nullptr);
    const UINT separator = 0;
    const std::vector<UINT> order = {ID_TRAY_OPEN,   separator,     ID_TRAY_REMOTE_ASSIST, ID_TRAY_REFRESH,
                                     separator,      ID_TRAY_NOTICE, separator,             ID_TRAY_ABOUT,
                                     ID_TRAY_LOGOUT, ID_TRAY_EXIT};
    ASSERT_EQ(GetMenuItemCount(tray), static_cast<int>(order.size()));
    for (size_t i = 0; i < order.size(); ++i) {
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_ID;
        ASSERT_TRUE(GetMenuItemInfoW(tray, static_cast<UINT>(i), TRUE, &info));
        if (order[i] == separator) {
            EXPECT_NE(info.fType & MFT_SEPARATOR, 0u) << i;
            continue;
        }
        EXPECT_EQ(info.wID, order[i]);
        wchar_t text[64] = {};
        GetMenuStringW(tray, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
        EXPECT_TRUE(IsLanguageKey(text)) << ToUtf8(text);
    }
    DestroyMenu(menu);

    // The accelerator table is Korean (1042), as the application loads it.
    EXPECT_NE(FindResourceExW(nullptr, RT_ACCELERATOR, MAKEINTRESOURCEW(IDR_ACCELERATOR), 1042), nullptr);
    HACCEL accel = LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_ACCELERATOR));
    ASSERT_NE(accel, nullptr);
    ACCEL entries[8] = {};
    ASSERT_EQ(CopyAcceleratorTableW(accel, entries, 8), 3);
    const std::set<std::pair<WORD, WORD>> keys = {{VK_F12, ID_ACCEL_NORMAL_MODE},
                                                  {VK_F11, ID_ACCEL_TEST_MODE},
                                                  {VK_F10, ID_ACCEL_DEMO_NOTICE}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(entries[i].fVirt & (FVIRTKEY | FCONTROL | FSHIFT | FALT), FVIRTKEY | FCONTROL);
        EXPECT_TRUE(keys.count({entries[i].key, entries[i].cmd})) << entries[i].key;
    }
    DestroyAcceleratorTable(accel);

    for (int size : {16, 32, 48}) {
        HICON icon = static_cast<HICON>(
            LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, size, size, 0));
        ASSERT_NE(icon, nullptr) << size;
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP bitmap = {};
        GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap);
        EXPECT_EQ(bitmap.bmWidth, size);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }

    wchar_t about[64] = {};
    ASSERT_GT(LoadStringW(GetModuleHandleW(nullptr), IDS_ABOUTBOX, about, 64), 0);
    EXPECT_STREQ(about, L"프로그램 정보");
}

}  // namespace
