#include "SkinButton.h"

#include "SkinKeys.h"
#include "SkinManager.h"
#include "Window.h"
#include "Lumen/StringUtils.h"

namespace Lumen {

SkinButton::SkinButton() : FontHelper(this) {}

void SkinButton::ApplyTextAndFont(SkinManager* skin, const Json::Value& entry)
{
    ApplyFontKeys(skin, entry, this);
    std::wstring text;
    if (ReadSkinText(entry, "text", &text) && GetHwnd() != nullptr) ::SetWindowTextW(GetHwnd(), text.c_str());
    StateColors colors = GetTextColors();
    if (ReadStateColors(entry, "text_color", "text_color", &colors)) SetTextColors(colors);
    SkinPoint margin;
    if (ReadIntPair(entry, "text_margin_x", "text_margin_y", false, &margin)) SetTextMargin(POINT{margin.x, margin.y});
    if (ReadSkinText(entry, "tooltip", &text)) SetToolTip(GetHwnd(), text);
}

void SkinButton::ApplyBackground(SkinManager* skin, const Json::Value& entry)
{
    StateColors colors = GetBackgroundColors();
    if (ReadStateColors(entry, "bg_color", "bg_color", &colors)) SetBackgroundColors(colors);
    ButtonImageNames names;
    if (ReadButtonImageNames(entry, &names)) {
        LoadSkinImage(skin, names.strip, &Strip());
        if (!names.checkedStrip.empty()) LoadSkinImage(skin, names.checkedStrip, &CheckedStrip());
        RedrawIfVisible(GetHwnd(), RDW_INVALIDATE);
    }
}

}  // namespace Lumen
