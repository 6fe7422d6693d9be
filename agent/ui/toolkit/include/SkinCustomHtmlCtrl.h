#pragma once

#include <windows.h>

#include "CustomHtmlCtrl.h"
#include "FontHelper.h"
#include "SkinHelper.h"

namespace Lumen {

// A skinned HTML control. Non-client: "nc_border_color". Text and font:
// "font_face", "font_size" (pixels), "text_color". Background: "bg_color".
// The colours are kept as written and placed into the page style.
class SkinCustomHtmlCtrl : public CustomHtmlCtrl, public FontHelper, public SkinHelper {
public:
    SkinCustomHtmlCtrl();

    void ApplyNcInfo(SkinManager* skin, const Json::Value& ncInfo) override;
    void ApplyTextAndFont(SkinManager* skin, const Json::Value& entry) override;
    void ApplyBackground(SkinManager* skin, const Json::Value& entry) override;

    HWND GetSkinHwnd() const override { return GetHwnd(); }
};

}  // namespace Lumen
