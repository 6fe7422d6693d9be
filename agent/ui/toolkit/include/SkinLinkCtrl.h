#pragma once

#include <windows.h>

#include "HyperLink.h"
#include "FontHelper.h"
#include "SkinHelper.h"

namespace Lumen {

// A skinned link. Text and font: the font keys, "link_color_normal",
// "link_color_hover" and "link_color_visited" (only all three), "url",
// "text", "tooltip". Background: "bg_color".
class SkinLinkCtrl : public HyperLink, public FontHelper, public SkinHelper {
public:
    SkinLinkCtrl();

    void ApplyTextAndFont(SkinManager* skin, const Json::Value& entry) override;
    void ApplyBackground(SkinManager* skin, const Json::Value& entry) override;

    HWND GetSkinHwnd() const override { return GetHwnd(); }
};

}  // namespace Lumen
