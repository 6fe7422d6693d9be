#include "SkinCustomHtmlCtrl.h"

#include "SkinKeys.h"

namespace Lumen {

SkinCustomHtmlCtrl::SkinCustomHtmlCtrl() : FontHelper(this) {}

void SkinCustomHtmlCtrl::ApplyNcInfo(SkinManager*, const Json::Value& ncInfo)
{
    COLORREF color = 0;
    if (ReadSkinColor(ncInfo, "nc_border_color", &color)) SetBorderColor(color);
}

void SkinCustomHtmlCtrl::ApplyTextAndFont(SkinManager*, const Json::Value& entry)
{
    std::wstring text;
    if (ReadSkinText(entry, "font_face", &text)) SetFontFace(text);
    int size = 0;
    if (ReadSkinInt(entry, "font_size", &size)) SetFontSize(size);
    if (ReadSkinText(entry, "text_color", &text)) SetTextColorText(text);
}

void SkinCustomHtmlCtrl::ApplyBackground(SkinManager*, const Json::Value& entry)
{
    std::wstring text;
    if (ReadSkinText(entry, "bg_color", &text)) SetBgColorText(text);
}

}  // namespace Lumen
