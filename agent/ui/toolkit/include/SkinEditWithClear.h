#pragma once

#include <windows.h>

#include "EditWithClear.h"
#include "FontHelper.h"
#include "SkinHelper.h"

namespace Lumen {

// A skinned edit field with a clear button. Non-client: "nc_border_color".
// Text and font: the font keys (for the field and its hint), "text",
// "text_color", "hint_text", "hint_text_color". Background:
// "button_bg_image" (the clear button's strip), "bg_color". Child
// positions: "part" "edit" or "button" with its rectangle.
class SkinEditWithClear : public EditWithClear, public FontHelper, public SkinHelper {
public:
    SkinEditWithClear();

    void ApplyNcInfo(SkinManager* skin, const Json::Value& ncInfo) override;
    void ApplyTextAndFont(SkinManager* skin, const Json::Value& entry) override;
    void ApplyBackground(SkinManager* skin, const Json::Value& entry) override;
    void ApplyChildPositions(SkinManager* skin, const Json::Value& positions) override;

    HWND GetSkinHwnd() const override { return GetHwnd(); }
};

}  // namespace Lumen
