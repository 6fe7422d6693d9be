#include "SkinEditWithClear.h"

#include "SkinKeys.h"
#include "SkinManager.h"
#include "Window.h"
#include <cwctype>

namespace Lumen {

SkinEditWithClear::SkinEditWithClear() : FontHelper(this) {}

void SkinEditWithClear::ApplyNcInfo(SkinManager*, const Json::Value& ncInfo)
{
    COLORREF color = 0;
    if (ReadSkinColor(ncInfo, "nc_border_color", &color)) SetBorderColor(color);
}

void SkinEditWithClear::ApplyTextAndFont(SkinManager* skin, const Json::Value& entry)
{
    ApplyFontKeys(skin, entry, this);
    std::wstring text;
    if (ReadSkinText(entry, "text", &text)) SetText(text);
    COLORREF color = 0;
    if (ReadSkinColor(entry, "text_color", &color)) SetTextColor(color);
    if (ReadSkinText(entry, "hint_text", &text)) SetHint(text);
    if (ReadSkinColor(entry, "hint_text_color", &color)) SetHintColor(color);
}

void SkinEditWithClear::ApplyBackground(SkinManager* skin, const Json::Value& entry)
{
    std::wstring name;
    if (ReadSkinText(entry, "button_bg_image", &name) && LoadSkinImage(skin, name, &ClearButton().Strip()) &&
        ClearButton().GetHwnd() != nullptr) {
        RedrawIfVisible(ClearButton().GetHwnd(), RDW_INVALIDATE);
    }
    COLORREF color = 0;
    if (ReadSkinColor(entry, "bg_color", &color)) SetBackgroundColor(color);
}

void SkinEditWithClear::ApplyChildPositions(SkinManager*, const Json::Value& positions)
{
    if (!positions.isArray()) return;
    for (const auto& item : positions) {
        std::wstring part;
        if (!ReadSkinText(item, "part", &part)) continue;
        for (auto& c : part) c = static_cast<wchar_t>(std::towlower(c));
        const SkinRect r = ReadItemRect(item);
        const RECT rect{r.left, r.top, r.left + r.width, r.top + r.height};
        if (part == L"edit") {
            SetEditRect(rect);
        } else if (part == L"button") {
            SetButtonRect(rect);
        }
    }
}

}  // namespace Lumen
