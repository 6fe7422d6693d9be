#pragma once

#include <windows.h>

#include "AnimatedGif.h"
#include "FontHelper.h"
#include "SkinHelper.h"

namespace Lumen {

// A skinned animation. Background: "bg_image", the animated picture.
class SkinAnimatedGif : public AnimatedGif, public FontHelper, public SkinHelper {
public:
    SkinAnimatedGif();

    void ApplyBackground(SkinManager* skin, const Json::Value& entry) override;

    HWND GetSkinHwnd() const override { return GetHwnd(); }
};

}  // namespace Lumen
