#include "SkinAnimatedGif.h"

#include "SkinKeys.h"
#include "SkinManager.h"

namespace Lumen {

SkinAnimatedGif::SkinAnimatedGif() : FontHelper(this) {}

void SkinAnimatedGif::ApplyBackground(SkinManager* skin, const Json::Value& entry)
{
    std::wstring name;
    if (skin == nullptr || !ReadSkinText(entry, "bg_image", &name) || name.empty()) return;
    skin->WaitUnpacked();  // the animation is read from its file
    std::wstring path = skin->GetImageDirectory();
    if (!path.empty() && path.back() != L'\\') path += L'\\';
    LoadWhenNeeded(path + name);
}

}  // namespace Lumen
