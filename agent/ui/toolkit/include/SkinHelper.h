#pragma once

#include <windows.h>

#include <json/value.h>

#include <string>

namespace Lumen {

class FontHelper;
class SkinImage;
class SkinManager;

// Mix-in of every skinned control and of the skinned dialogs: reads the
// window's entry of a skin description and applies it. The first nine
// virtual operations keep this order; operations other than ApplySkin and
// ApplyPositionAndState do nothing unless a class overrides them.
// UI thread only.
class SkinHelper {
public:
    virtual ~SkinHelper() = default;

    // Applies one entry: "nc_info", position and state, text and font,
    // background, then "additional_bg_images", "shape_items" and "child_pos"
    // when present.
    virtual void ApplySkin(SkinManager* skin, const Json::Value& entry);
    virtual void ApplyNcInfo(SkinManager* skin, const Json::Value& ncInfo);
    // "left", "top", "width", "height" (all four), "coordinate_base",
    // "enable", "visible".
    virtual void ApplyPositionAndState(SkinManager* skin, const Json::Value& entry);
    virtual void ApplyTextAndFont(SkinManager* skin, const Json::Value& entry);
    virtual void ApplyBackground(SkinManager* skin, const Json::Value& entry);
    virtual void ApplyAdditionalBgImages(SkinManager* skin, const Json::Value& images);
    virtual void ApplyShapeItems(SkinManager* skin, const Json::Value& items);
    virtual void ApplyChildPositions(SkinManager* skin, const Json::Value& positions);

    // The window the entries apply to.
    virtual HWND GetSkinHwnd() const = 0;

    // Answered by skinned dialogs: whether this is one, and, when its frame
    // is skinned with both a left and a top picture, the left picture's width
    // and the top picture's height (false otherwise). Positions with the base
    // "main_window" are relative to the main window's outer corner.
    virtual bool IsSkinnedDialog() const { return false; }
    virtual bool GetSkinnedFrameInsets(SIZE* /*insets*/) const { return false; }
    // Flags added to the main window's resize by its skin (a waiting frame
    // change, made by the same move).
    virtual UINT MainWindowMoveFlags() { return 0; }

    // The skinned helper bound to `hwnd` (a toolkit control or dialog), or null.
    static SkinHelper* FromHwnd(HWND hwnd);
    // Starting at `hwnd` and going up through its parents: the first skinned
    // dialog with a border, or null.
    static SkinHelper* FindMainWindow(HWND hwnd);

    // Loads the picture `name` from the skin's image folder into `image`;
    // a picture that cannot be loaded leaves `image` as it was.
    static bool LoadSkinImage(SkinManager* skin, const std::wstring& name, SkinImage* image);
    // The face to use for a skin's "font_face": the face itself when a font
    // family of that name is installed, otherwise the skin's default face.
    static std::wstring ResolveFontFace(SkinManager* skin, const std::wstring& face);
    // The font keys "text_bold", "text_underline", "font_face" and
    // "font_size": after each one present the font is rebuilt from the
    // current one with that change and sent to the window.
    static void ApplyFontKeys(SkinManager* skin, const Json::Value& entry, FontHelper* font);
};

}  // namespace Lumen
