#pragma once

#include <windows.h>

#include "StaticEx.h"
#include "FontHelper.h"
#include "SkinHelper.h"

namespace Lumen {

// A skinned static. Text and font: the font keys, "text", "text_color",
// "tooltip". Background: "bg_color"; "bg_image" or "bg_image1" ... "bg_image8".
class SkinStatic : public StaticEx, public FontHelper, public SkinHelper {
public:
    SkinStatic();

    void ApplyTextAndFont(SkinManager* skin, const Json::Value& entry) override;
    void ApplyBackground(SkinManager* skin, const Json::Value& entry) override;

    HWND GetSkinHwnd() const override { return GetHwnd(); }
};

}  // namespace Lumen
