#include "SkinStatic.h"

#include "SkinKeys.h"
#include "SkinManager.h"

namespace Lumen {

SkinStatic::SkinStatic() : FontHelper(this) {}

void SkinStatic::ApplyTextAndFont(SkinManager* skin, const Json::Value& entry)
{
    ApplyFontKeys(skin, entry, this);
    std::wstring text;
    if (ReadSkinText(entry, "text", &text) && GetHwnd() != nullptr) ::SetWindowTextW(GetHwnd(), text.c_str());
    COLORREF color = 0;
    if (ReadSkinColor(entry, "text_color", &color)) SetTextColor(color);
    if (ReadSkinText(entry, "tooltip", &text)) SetToolTip(GetHwnd(), text);
}

void SkinStatic::ApplyBackground(SkinManager* skin, const Json::Value& entry)
{
    COLORREF color = 0;
    if (ReadSkinColor(entry, "bg_color", &color)) SetBackgroundColor(color);
    const std::vector<std::wstring> names = ReadStaticImageNames(entry);
    if (!names.empty() && skin != nullptr) {
        std::wstring folder = skin->GetImageDirectory();
        if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
        std::vector<std::wstring> paths;
        for (const auto& name : names) paths.push_back(folder + name);
        SetImages(paths);
    }
}

}  // namespace Lumen
