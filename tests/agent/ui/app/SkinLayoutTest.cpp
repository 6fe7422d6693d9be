// The shipped skin against the shipped texts: every push button's text, in
// each language and at each usual screen DPI, fits its button with room to
// spare, in the button's own font (face, size and weight from the skin),
// measured by GDI as the button will draw it.
#include <windows.h>

#include <gtest/gtest.h>

#include <json/value.h>

#include <string>
#include <vector>

#include "DirectoryUtils.h"
#include "FontHelper.h"
#include "GdiHandles.h"
#include "Lumen/PathUtils.h"
#include "Lumen/StringResManager.h"
#include "SkinKeys.h"
#include "SkinManager.h"
#include "resource.h"

namespace {

using Lumen::JoinPath;

// Space left between the text and each side of its button.
constexpr int kMinimumPadding = 12;

INT_PTR CALLBACK QuietDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

class SkinLayoutTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::wstring program = Lumen::GetModuleDirectory();
        for (const wchar_t* name : {L"EditWithClear", L"CustomWindowList", L"CustomHtmlCtrl"}) {
            WNDCLASSW wc = {};
            wc.lpfnWndProc = DefWindowProcW;
            wc.hInstance = ::GetModuleHandleW(nullptr);
            wc.lpszClassName = name;
            ::RegisterClassW(&wc);  // may exist already: the toolkit's own class serves as well
        }
        for (const std::wstring& font : Lumen::ListFiles(JoinPath(program, L"font"))) {
            if (::AddFontResourceExW(font.c_str(), FR_PRIVATE, nullptr) > 0) fonts_.push_back(font);
        }
        ASSERT_FALSE(fonts_.empty()) << "the build puts the fonts beside the tests";
        ASSERT_TRUE(english_.LoadFile(JoinPath(program, L"language\\eng.json")));
        ASSERT_TRUE(korean_.LoadFile(JoinPath(program, L"language\\kor.json")));

        wchar_t temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        unpacked_ = JoinPath(temp, L"pavo-skin-layout-" + std::to_wstring(::GetCurrentProcessId()));
        skin_ = std::make_unique<Lumen::SkinManager>(program);
        skin_->SetUnpackDirectory(unpacked_);
        ASSERT_TRUE(skin_->UnpackSkin());
        skin_->LoadResource();
    }

    void TearDown() override
    {
        for (const std::wstring& font : fonts_) ::RemoveFontResourceExW(font.c_str(), FR_PRIVATE, nullptr);
        if (!unpacked_.empty()) Lumen::DeleteDirectoryTree(unpacked_);
    }

    // Width in pixels of `text` in the font the skin gives `entry`, on a
    // screen of `dpi` that the program sees as it is: a "font_size" keeps its
    // pixel height at every DPI, the system's default font grows with it.
    int TextWidth(const Json::Value& entry, const std::wstring& text, int dpi)
    {
        const Lumen::FontKeys keys = Lumen::ReadFontKeys(entry);
        LOGFONTW font = {};
        ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(font), &font);
        if (keys.hasFace) wcsncpy_s(font.lfFaceName, keys.face.c_str(), _TRUNCATE);
        Lumen::ScopedGetDC screen(nullptr);
        const int screenDpi = ::GetDeviceCaps(screen.Get(), LOGPIXELSY);
        if (keys.hasSize) {
            font.lfHeight = Lumen::FontHelper::PointSizeToHeight(keys.size, dpi, dpi);
        } else {
            font.lfHeight = ::MulDiv(font.lfHeight, dpi, screenDpi);
        }
        font.lfWeight = keys.hasBold && keys.bold ? FW_BOLD : FW_NORMAL;
        Lumen::ScopedFont handle(::CreateFontIndirectW(&font));
        const HGDIOBJ old = ::SelectObject(screen.Get(), handle.Get());
        SIZE size = {};
        ::GetTextExtentPoint32W(screen.Get(), text.c_str(), static_cast<int>(text.size()), &size);
        ::SelectObject(screen.Get(), old);
        return size.cx;
    }

    std::vector<std::wstring> fonts_;
    Lumen::StringResManager english_;
    Lumen::StringResManager korean_;
    std::wstring unpacked_;
    std::unique_ptr<Lumen::SkinManager> skin_;
};

TEST_F(SkinLayoutTest, PushButtonTextsFitTheirButtonsInBothLanguages)
{
    // The pages are child templates: they need a parent.
    HWND host = ::CreateWindowExW(0, L"Static", L"host", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(host, nullptr);
    int checked = 0;
    for (const int dialogId : {IDD_LOGIN_VIEW, IDD_INSPECTION_VIEW, IDD_MESSAGE_VIEW, IDD_PRODUCT_ITEM_VIEW,
                               IDD_NOTICE_VIEW, IDD_USERINFO_VIEW, IDD_ABOUTBOX}) {
        SCOPED_TRACE("template " + std::to_string(dialogId));
        Json::Value list;
        ASSERT_TRUE(skin_->LoadSkin(dialogId, list));
        HWND dialog = ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(dialogId), host,
                                           QuietDialogProc, 0);
        ASSERT_NE(dialog, nullptr) << ::GetLastError();
        for (const Json::Value& entry : list) {
            std::wstring name;
            if (!Lumen::ReadSkinText(entry, "id", &name)) continue;
            const int id = skin_->IdentifierByName(name);
            HWND control = id != 0 ? ::GetDlgItem(dialog, id) : nullptr;
            if (control == nullptr || !entry.isMember("width")) continue;
            wchar_t className[32] = {};
            ::GetClassNameW(control, className, 32);
            const LONG kind = ::GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
            if (lstrcmpiW(className, L"Button") != 0 || (kind != BS_PUSHBUTTON && kind != BS_DEFPUSHBUTTON)) continue;
            wchar_t templateText[256] = {};
            ::GetWindowTextW(control, templateText, 256);
            std::wstring text = templateText;
            Lumen::ReadSkinText(entry, "text", &text);  // a skin may name the text itself
            const int width = entry["width"].asInt();
            for (const int dpi : {96, 120, 144, 192}) {
                for (const Lumen::StringResManager* language : {&english_, &korean_}) {
                    const std::wstring shown = language->GetString(text);
                    const int textWidth = TextWidth(entry, shown, dpi);
                    EXPECT_GT(textWidth, 0) << Narrow(name);
                    EXPECT_LE(textWidth + 2 * kMinimumPadding, width)
                        << Narrow(name) << " at " << dpi << " dpi: \"" << Narrow(shown) << "\" is " << textWidth
                        << " px wide";
                    ++checked;
                }
            }
        }
        ::DestroyWindow(dialog);
    }
    ::DestroyWindow(host);
    EXPECT_GE(checked, 64);
}

}  // namespace
