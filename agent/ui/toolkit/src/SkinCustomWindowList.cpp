#include "SkinCustomWindowList.h"

#include "SkinKeys.h"

namespace Lumen {

SkinCustomWindowList::SkinCustomWindowList() : FontHelper(this) {}

void SkinCustomWindowList::ApplyTextAndFont(SkinManager* skin, const Json::Value& entry)
{
    ApplyFontKeys(skin, entry, this);
    COLORREF color = 0;
    if (ReadSkinColor(entry, "text_color", &color)) SetTextColor(color);
}

void SkinCustomWindowList::ApplyBackground(SkinManager*, const Json::Value& entry)
{
    COLORREF color = 0;
    if (ReadSkinColor(entry, "bg_color", &color)) SetBackgroundColor(color);
}

}  // namespace Lumen
