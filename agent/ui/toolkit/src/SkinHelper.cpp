#include "SkinHelper.h"

#include <type_traits>

#include "ControlGeometry.h"
#include "Dialog.h"
#include "FontHelper.h"
#include "SkinImage.h"
#include "SkinKeys.h"
#include "SkinManager.h"
#include "Window.h"

namespace Lumen {

// The skin readers are portable; their colours go to GDI unchanged.
static_assert(std::is_same<SkinColor, COLORREF>::value, "a skin colour is a COLORREF");
static_assert(SkinRgb(1, 2, 3) == RGB(1, 2, 3), "skin colours keep the system's byte order");

void SkinHelper::ApplySkin(SkinManager* skin, const Json::Value& entry)
{
    if (!entry.isObject()) return;
    if (entry.isMember("nc_info")) ApplyNcInfo(skin, entry["nc_info"]);
    ApplyPositionAndState(skin, entry);
    ApplyTextAndFont(skin, entry);
    ApplyBackground(skin, entry);
    if (entry.isMember("additional_bg_images")) ApplyAdditionalBgImages(skin, entry["additional_bg_images"]);
    if (entry.isMember("shape_items")) ApplyShapeItems(skin, entry["shape_items"]);
    if (entry.isMember("child_pos")) ApplyChildPositions(skin, entry["child_pos"]);
}

void SkinHelper::ApplyNcInfo(SkinManager*, const Json::Value&) {}
void SkinHelper::ApplyTextAndFont(SkinManager*, const Json::Value&) {}
void SkinHelper::ApplyBackground(SkinManager*, const Json::Value&) {}
void SkinHelper::ApplyAdditionalBgImages(SkinManager*, const Json::Value&) {}
void SkinHelper::ApplyShapeItems(SkinManager*, const Json::Value&) {}
void SkinHelper::ApplyChildPositions(SkinManager*, const Json::Value&) {}

SkinHelper* SkinHelper::FromHwnd(HWND hwnd)
{
    // Controls are bound through their subclass, dialogs through their window data.
    Window* window = Window::FromHandle(hwnd);
    if (window == nullptr) window = Dialog::FromHandle(hwnd);
    return dynamic_cast<SkinHelper*>(window);
}

SkinHelper* SkinHelper::FindMainWindow(HWND hwnd)
{
    for (HWND h = hwnd; h != nullptr; h = ::GetAncestor(h, GA_PARENT)) {
        if (h == ::GetDesktopWindow()) break;
        SkinHelper* helper = FromHwnd(h);
        if (helper != nullptr && helper->IsSkinnedDialog() && (::GetWindowLongW(h, GWL_STYLE) & WS_BORDER) != 0) {
            return helper;
        }
    }
    return nullptr;
}

void SkinHelper::ApplyPositionAndState(SkinManager*, const Json::Value& entry)
{
    HWND hwnd = GetSkinHwnd();
    if (hwnd == nullptr) return;
    const bool selfIsMainWindow = IsSkinnedDialog() && (::GetWindowLongW(hwnd, GWL_STYLE) & WS_BORDER) != 0;

    SkinRect pos;
    if (ReadSkinPosition(entry, &pos)) {
        std::wstring base = L"main_window";
        ReadSkinText(entry, "coordinate_base", &base);
        POINT point{pos.left, pos.top};
        if (selfIsMainWindow) {
            ::SetWindowPos(hwnd, nullptr, 0, 0, pos.width, pos.height,
                           SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | MainWindowMoveFlags());
        } else {
            SkinHelper* main = IsMainWindowBase(base) ? FindMainWindow(hwnd) : nullptr;
            if (main != nullptr) {
                SIZE insets{0, 0};
                const bool framed = main->GetSkinnedFrameInsets(&insets);
                point = MainWindowPointToClient(point, framed, insets.cx, insets.cy);
                HWND mainHwnd = main->GetSkinHwnd();
                HWND parent = ::GetParent(hwnd);
                ::ClientToScreen(mainHwnd, &point);
                if (parent != nullptr) ::ScreenToClient(parent, &point);
            }
            ::SetWindowPos(hwnd, nullptr, point.x, point.y, pos.width, pos.height, SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }

    bool flag = false;
    if (ReadSkinBool(entry, "enable", &flag)) ::EnableWindow(hwnd, flag ? TRUE : FALSE);
    if (ReadSkinBool(entry, "visible", &flag)) {
        if (IsSkinnedDialog()) {
            ::PostMessageW(hwnd, WM_SHOWWINDOW, flag ? TRUE : FALSE, 0);
        } else {
            ::ShowWindow(hwnd, flag ? SW_SHOWNORMAL : SW_HIDE);
        }
    }
}

bool SkinHelper::LoadSkinImage(SkinManager* skin, const std::wstring& name, SkinImage* image)
{
    if (skin == nullptr || name.empty() || image == nullptr) return false;
    std::wstring path = skin->GetImageDirectory();
    if (!path.empty() && path.back() != L'\\') path += L'\\';
    return image->Load(path + name);
}

std::wstring SkinHelper::ResolveFontFace(SkinManager* skin, const std::wstring& face)
{
    if (skin == nullptr) return face;
    return skin->IsFaceInstalled(face) ? face : skin->GetDefaultFaceName();
}

void SkinHelper::ApplyFontKeys(SkinManager* skin, const Json::Value& entry, FontHelper* font)
{
    if (font == nullptr) return;
    const FontKeys keys = ReadFontKeys(entry);
    if (!keys.hasBold && !keys.hasUnderline && !keys.hasFace && !keys.hasSize) return;
    // One new font for all the keys: each font sent makes the control lay
    // itself out and, when shown, repaint.
    LOGFONTW lf = font->GetLogFont();
    if (keys.hasBold) font->SetBold(keys.bold);
    if (keys.hasUnderline) font->SetUnderline(keys.underline);
    if (keys.hasFace) {
        const std::wstring face = ResolveFontFace(skin, keys.face);
        if (face.size() < LF_FACESIZE) wcsncpy_s(lf.lfFaceName, face.c_str(), _TRUNCATE);
    }
    if (keys.hasSize) {
        lf.lfWidth = 0;
        font->SetHeight(FontHelper::HeightForPoints(keys.size));
    }
    font->Apply(lf);
}

}  // namespace Lumen
