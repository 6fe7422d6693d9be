#pragma once

#include <windows.h>

#include "ImageButton.h"
#include "FontHelper.h"
#include "SkinHelper.h"

namespace Lumen {

// A skinned button. Text and font: the font keys, "text", "text_color" or
// the four "text_color_<state>" keys (only all four), "text_margin_x" and/or
// "text_margin_y", "tooltip". Background: "bg_color" or the four
// "bg_color_<state>" keys, "bg_image" or "bg_image1" with "bg_image2".
class SkinButton : public ImageButton, public FontHelper, public SkinHelper {
public:
    SkinButton();

    void ApplyTextAndFont(SkinManager* skin, const Json::Value& entry) override;
    void ApplyBackground(SkinManager* skin, const Json::Value& entry) override;

    HWND GetSkinHwnd() const override { return GetHwnd(); }
};

}  // namespace Lumen
