#pragma once

#include <json/value.h>

#include <string>
#include <vector>

namespace Lumen {

// Reading the value notation of skin descriptions. Every reader leaves its
// output alone and returns false when the key is missing; a value of a JSON
// type the notation does not allow is treated as missing (one debug-output
// line), so a careless skin never throws out of a paint or an apply.
// Portable C++ (no Win32).

// A colour as the system keeps it: red in the low byte, then green, then
// blue. The very type of COLORREF (DWORD) on Windows.
using SkinColor = unsigned long;
constexpr SkinColor SkinRgb(unsigned red, unsigned green, unsigned blue)
{
    return (red & 0xFFu) | ((green & 0xFFu) << 8) | ((blue & 0xFFu) << 16);
}

// Integers of a skin (geometry, margins, gaps, sizes) beyond this magnitude
// are treated like values of the wrong type: no screen is that large, and
// the controls' sums of a few of them (left + width, a point less a frame)
// then always fit in an int.
constexpr int kMaxSkinInt = 1000000;

// "RRGGBB" (base 16, an optional leading 0x) to a colour value; text that is
// not hexadecimal gives 0 (black).
SkinColor ParseSkinColor(const std::string& text);

// A number within +-kMaxSkinInt, read as an int.
bool ReadSkinInt(const Json::Value& entry, const char* key, int* out);
// true/false, or a number (non-zero is true).
bool ReadSkinBool(const Json::Value& entry, const char* key, bool* out);
// UTF-8 text to wide text.
bool ReadSkinText(const Json::Value& entry, const char* key, std::wstring* out);
bool ReadSkinColor(const Json::Value& entry, const char* key, SkinColor* out);

// The four per-state colours of a drawing control.
struct StateColors {
    SkinColor normal = 0;
    SkinColor hover = 0;
    SkinColor clicked = 0;
    SkinColor disable = 0;
};

// `single` (e.g. "text_color") sets all four; then "<prefix>_normal",
// "<prefix>_hover", "<prefix>_clicked" and "<prefix>_disable" replace them,
// but only when all four are present. True when anything was set.
bool ReadStateColors(const Json::Value& entry, const char* single, const char* prefix, StateColors* out);

struct LinkColors {
    SkinColor normal = SkinRgb(0, 0, 255);
    SkinColor hover = SkinRgb(255, 0, 0);
    SkinColor visited = SkinRgb(128, 0, 128);
};
// "link_color_normal", "link_color_hover" and "link_color_visited", only all three together.
bool ReadLinkColors(const Json::Value& entry, LinkColors* out);

struct SkinPoint {
    int x = 0;
    int y = 0;
};
// Two integers that belong together. With `bothRequired` the pair is taken
// only when both keys are present; otherwise one is enough and the missing
// one counts 0.
bool ReadIntPair(const Json::Value& entry, const char* keyX, const char* keyY, bool bothRequired, SkinPoint* out);

struct SkinRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};
// "left", "top", "width", "height": only when all four are present.
bool ReadSkinPosition(const Json::Value& entry, SkinRect* out);
// The same keys for list items (shape items, child positions, additional
// images): each missing one counts 0.
SkinRect ReadItemRect(const Json::Value& item);

// True for the coordinate base "main_window" in any letter case.
bool IsMainWindowBase(const std::wstring& base);

// Button pictures: "bg_image" is the state strip; otherwise "bg_image1" is,
// and "bg_image2" (the strip while a check box is checked) counts only
// together with "bg_image1". Empty names for what the entry does not set.
struct ButtonImageNames {
    std::wstring strip;
    std::wstring checkedStrip;
};
bool ReadButtonImageNames(const Json::Value& entry, ButtonImageNames* out);

// Static pictures: "bg_image", or "bg_image1" ... "bg_image8" (up to eight,
// in order, stopping at the first missing one).
std::vector<std::wstring> ReadStaticImageNames(const Json::Value& entry);

// The font keys of an entry; `has*` says which were present.
struct FontKeys {
    bool hasBold = false;
    bool bold = false;
    bool hasUnderline = false;
    bool underline = false;
    bool hasFace = false;
    std::wstring face;
    bool hasSize = false;
    int size = 0;
};
FontKeys ReadFontKeys(const Json::Value& entry);

}  // namespace Lumen
