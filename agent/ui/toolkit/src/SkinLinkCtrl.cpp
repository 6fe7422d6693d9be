#include "SkinLinkCtrl.h"

#include "SkinKeys.h"

namespace Lumen {

SkinLinkCtrl::SkinLinkCtrl() : FontHelper(this) {}

void SkinLinkCtrl::ApplyTextAndFont(SkinManager* skin, const Json::Value& entry)
{
    ApplyFontKeys(skin, entry, this);
    LinkColors colors = GetLinkColors();
    if (ReadLinkColors(entry, &colors)) SetLinkColors(colors);
    std::wstring text;
    if (ReadSkinText(entry, "url", &text)) SetUrl(text);
    if (ReadSkinText(entry, "text", &text) && GetHwnd() != nullptr) ::SetWindowTextW(GetHwnd(), text.c_str());
    if (ReadSkinText(entry, "tooltip", &text)) SetToolTip(GetHwnd(), text);
}

void SkinLinkCtrl::ApplyBackground(SkinManager*, const Json::Value& entry)
{
    COLORREF color = 0;
    if (ReadSkinColor(entry, "bg_color", &color)) SetBackgroundColor(color);
}

}  // namespace Lumen
