// A dialog's skin description (100\<resource name>.json): the document read
// as the skin manager reads it, then every entry read with the keys the
// skinned dialog and controls apply, with the arithmetic they do on them.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "SkinDocuments.h"
#include "SkinKeys.h"

using namespace Lumen;

namespace {

constexpr SkinColor kMaxColor = 0xFFFFFF;

void CheckInt(int value)
{
    PAVO_FUZZ_CHECK(value >= -kMaxSkinInt && value <= kMaxSkinInt);
}

// The right and bottom edges the controls compute from a rectangle.
void CheckRect(const SkinRect& r)
{
    CheckInt(r.left);
    CheckInt(r.top);
    CheckInt(r.width);
    CheckInt(r.height);
    volatile int right = r.left + r.width;
    volatile int bottom = r.top + r.height;
    (void)right;
    (void)bottom;
}

// A reader that says "not there" leaves its output as it was.
void ReadScalars(const Json::Value& entry, const char* key)
{
    int i = 12345;
    if (ReadSkinInt(entry, key, &i)) CheckInt(i); else PAVO_FUZZ_CHECK(i == 12345);
    bool flag = true;
    if (!ReadSkinBool(entry, key, &flag)) PAVO_FUZZ_CHECK(flag);
    std::wstring text = L"kept";
    if (!ReadSkinText(entry, key, &text)) PAVO_FUZZ_CHECK(text == L"kept");
    SkinColor color = 0x1000000;
    if (ReadSkinColor(entry, key, &color)) PAVO_FUZZ_CHECK(color <= kMaxColor); else PAVO_FUZZ_CHECK(color == 0x1000000);
}

void ReadItems(const Json::Value& entry, const char* key)
{
    if (!entry.isObject() || !entry.isMember(key)) return;
    const Json::Value& items = entry[key];
    if (!items.isArray()) return;
    for (const Json::Value& item : items) {
        // Some controls read every item, objects or not.
        CheckRect(ReadItemRect(item));
        for (const char* k : {"image", "type", "part", "border_color", "bg_color"}) ReadScalars(item, k);
    }
}

void ReadEntry(const Json::Value& entry)
{
    static const char* const kKeys[] = {
        "id", "left", "top", "width", "height", "coordinate_base", "enable", "visible", "text", "sub_text",
        "tooltip", "url", "hint_text", "text_color", "hint_text_color", "bg_color", "bg_image", "button_bg_image",
        "font_face", "font_size", "text_bold", "text_underline", "text_margin_x", "text_margin_y"};
    for (const char* key : kKeys) ReadScalars(entry, key);

    SkinRect position;
    if (ReadSkinPosition(entry, &position)) CheckRect(position);
    std::wstring base;
    if (ReadSkinText(entry, "coordinate_base", &base)) (void)IsMainWindowBase(base);

    StateColors colors;
    for (const char* prefix : {"text_color", "bg_color"}) {
        if (ReadStateColors(entry, prefix, prefix, &colors)) {
            for (SkinColor c : {colors.normal, colors.hover, colors.clicked, colors.disable}) {
                PAVO_FUZZ_CHECK(c <= kMaxColor);
            }
        }
    }
    LinkColors link;
    if (ReadLinkColors(entry, &link)) PAVO_FUZZ_CHECK(link.normal <= kMaxColor && link.visited <= kMaxColor);

    SkinPoint margin{7, 8};
    if (ReadIntPair(entry, "text_margin_x", "text_margin_y", false, &margin)) {
        CheckInt(margin.x);
        CheckInt(margin.y);
    } else {
        PAVO_FUZZ_CHECK(margin.x == 7 && margin.y == 8);
    }

    ButtonImageNames buttons;
    if (ReadButtonImageNames(entry, &buttons)) PAVO_FUZZ_CHECK(buttons.checkedStrip.empty() || entry.isMember("bg_image1"));
    PAVO_FUZZ_CHECK(ReadStaticImageNames(entry).size() <= 8);

    const FontKeys font = ReadFontKeys(entry);
    if (font.hasSize) CheckInt(font.size);

    if (entry.isMember("nc_info")) {
        const Json::Value& nc = entry["nc_info"];
        static const char* const kNcKeys[] = {"nc_part_left", "nc_part_btn_close", "nc_icon_visible", "nc_txt_bold",
                                              "nc_txt_color", "nc_sub_txt_color", "nc_txt_align", "nc_btn_gap",
                                              "sys_menu_type", "nc_border_color"};
        for (const char* key : kNcKeys) ReadScalars(nc, key);
        SkinPoint pair;
        for (const char* prefix : {"nc_icon_margin", "nc_txt_margin", "nc_btn_margin"}) {
            const std::string x = std::string(prefix) + "_x";
            const std::string y = std::string(prefix) + "_y";
            if (ReadIntPair(nc, x.c_str(), y.c_str(), true, &pair)) {
                PAVO_FUZZ_CHECK(nc.isMember(x) && nc.isMember(y));
                CheckInt(pair.x);
                CheckInt(pair.y);
            }
        }
    }
    ReadItems(entry, "additional_bg_images");
    ReadItems(entry, "shape_items");
    ReadItems(entry, "child_pos");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    Json::Value list("untouched");
    std::string error;
    if (!ParseSkinDescription(text, &list, &error)) {
        PAVO_FUZZ_CHECK(list.isString() && list.asString() == "untouched");
        return 0;
    }
    PAVO_FUZZ_CHECK(error.empty());
    // The skinned dialog walks an array; anything else skins nothing.
    if (!list.isArray()) return 0;
    for (const Json::Value& entry : list) {
        if (!entry.isObject()) continue;
        ReadEntry(entry);
    }
    return 0;
}
