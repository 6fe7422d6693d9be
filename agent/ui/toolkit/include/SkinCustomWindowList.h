#pragma once

#include <windows.h>

#include "CustomWindowList.h"
#include "FontHelper.h"
#include "SkinHelper.h"

namespace Lumen {

// A skinned window list. Text and font: the font keys, "text_color".
// Background: "bg_color".
class SkinCustomWindowList : public CustomWindowList, public FontHelper, public SkinHelper {
public:
    SkinCustomWindowList();

    void ApplyTextAndFont(SkinManager* skin, const Json::Value& entry) override;
    void ApplyBackground(SkinManager* skin, const Json::Value& entry) override;

    HWND GetSkinHwnd() const override { return GetHwnd(); }
};

}  // namespace Lumen
