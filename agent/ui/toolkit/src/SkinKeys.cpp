#include "SkinKeys.h"

#include <cstdlib>
#include <cwctype>

#include "Lumen/DebugOutput.h"
#include "Lumen/StringUtils.h"

namespace Lumen {

namespace {

// The member when present with a type `accept` allows; null otherwise.
template <typename Accept>
const Json::Value* Member(const Json::Value& entry, const char* key, Accept accept)
{
    if (!entry.isObject()) return nullptr;
    const Json::Value* value = entry.find(key, key + std::char_traits<char>::length(key));
    if (value == nullptr) return nullptr;
    if (!accept(*value)) {
        OutputDebugMessage(L"skin key %s has an unsupported value type, ignored", Utf8ToWide(key).c_str());
        return nullptr;
    }
    return value;
}

bool IsInt(const Json::Value& v)
{
    if (!v.isNumeric() || !v.isConvertibleTo(Json::intValue)) return false;
    const int i = v.asInt();
    return i >= -kMaxSkinInt && i <= kMaxSkinInt;
}
bool IsBool(const Json::Value& v) { return v.isBool() || v.isNumeric(); }
bool IsString(const Json::Value& v) { return v.isString(); }

bool Has(const Json::Value& entry, const std::string& key) { return entry.isObject() && entry.isMember(key); }

}  // namespace

SkinColor ParseSkinColor(const std::string& text)
{
    // strtoul with base 16 takes an optional 0x and stops at the first
    // character that is not a digit; nothing readable gives 0.
    const unsigned long v = std::strtoul(text.c_str(), nullptr, 16);
    return SkinRgb((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

bool ReadSkinInt(const Json::Value& entry, const char* key, int* out)
{
    const Json::Value* v = Member(entry, key, IsInt);
    if (v == nullptr) return false;
    *out = v->asInt();
    return true;
}

bool ReadSkinBool(const Json::Value& entry, const char* key, bool* out)
{
    const Json::Value* v = Member(entry, key, IsBool);
    if (v == nullptr) return false;
    *out = v->isBool() ? v->asBool() : v->asDouble() != 0.0;
    return true;
}

bool ReadSkinText(const Json::Value& entry, const char* key, std::wstring* out)
{
    const Json::Value* v = Member(entry, key, IsString);
    if (v == nullptr) return false;
    *out = Utf8ToWide(v->asString());
    return true;
}

bool ReadSkinColor(const Json::Value& entry, const char* key, SkinColor* out)
{
    const Json::Value* v = Member(entry, key, IsString);
    if (v == nullptr) return false;
    *out = ParseSkinColor(v->asString());
    return true;
}

bool ReadStateColors(const Json::Value& entry, const char* single, const char* prefix, StateColors* out)
{
    bool any = false;
    SkinColor all = 0;
    if (single != nullptr && ReadSkinColor(entry, single, &all)) {
        *out = {all, all, all, all};
        any = true;
    }
    const std::string p = prefix;
    const std::string keys[4] = {p + "_normal", p + "_hover", p + "_clicked", p + "_disable"};
    for (const auto& k : keys) {
        if (!Has(entry, k)) return any;
    }
    StateColors read = *out;
    SkinColor* slots[4] = {&read.normal, &read.hover, &read.clicked, &read.disable};
    for (int i = 0; i < 4; ++i) {
        if (!ReadSkinColor(entry, keys[i].c_str(), slots[i])) return any;
    }
    *out = read;
    return true;
}

bool ReadLinkColors(const Json::Value& entry, LinkColors* out)
{
    const char* keys[3] = {"link_color_normal", "link_color_hover", "link_color_visited"};
    for (const char* k : keys) {
        if (!Has(entry, k)) return false;
    }
    LinkColors read = *out;
    SkinColor* slots[3] = {&read.normal, &read.hover, &read.visited};
    for (int i = 0; i < 3; ++i) {
        if (!ReadSkinColor(entry, keys[i], slots[i])) return false;
    }
    *out = read;
    return true;
}

bool ReadIntPair(const Json::Value& entry, const char* keyX, const char* keyY, bool bothRequired, SkinPoint* out)
{
    int x = 0;
    int y = 0;
    const bool hasX = Has(entry, keyX);
    const bool hasY = Has(entry, keyY);
    if (bothRequired ? !(hasX && hasY) : !(hasX || hasY)) return false;
    const bool readX = hasX && ReadSkinInt(entry, keyX, &x);
    const bool readY = hasY && ReadSkinInt(entry, keyY, &y);
    if (bothRequired ? !(readX && readY) : !(readX || readY)) return false;
    out->x = x;
    out->y = y;
    return true;
}

bool ReadSkinPosition(const Json::Value& entry, SkinRect* out)
{
    SkinRect r;
    if (!Has(entry, "left") || !Has(entry, "top") || !Has(entry, "width") || !Has(entry, "height")) return false;
    if (!ReadSkinInt(entry, "left", &r.left) || !ReadSkinInt(entry, "top", &r.top) ||
        !ReadSkinInt(entry, "width", &r.width) || !ReadSkinInt(entry, "height", &r.height)) {
        return false;
    }
    *out = r;
    return true;
}

SkinRect ReadItemRect(const Json::Value& item)
{
    SkinRect r;
    ReadSkinInt(item, "left", &r.left);
    ReadSkinInt(item, "top", &r.top);
    ReadSkinInt(item, "width", &r.width);
    ReadSkinInt(item, "height", &r.height);
    return r;
}

bool IsMainWindowBase(const std::wstring& base)
{
    static const wchar_t kMain[] = L"main_window";
    if (base.size() != sizeof(kMain) / sizeof(kMain[0]) - 1) return false;
    for (size_t i = 0; i < base.size(); ++i) {
        if (static_cast<wchar_t>(std::towlower(base[i])) != kMain[i]) return false;
    }
    return true;
}

bool ReadButtonImageNames(const Json::Value& entry, ButtonImageNames* out)
{
    std::wstring name;
    if (ReadSkinText(entry, "bg_image", &name)) {
        out->strip = name;
        return true;
    }
    if (!ReadSkinText(entry, "bg_image1", &name)) return false;
    out->strip = name;
    if (ReadSkinText(entry, "bg_image2", &name)) out->checkedStrip = name;
    return true;
}

std::vector<std::wstring> ReadStaticImageNames(const Json::Value& entry)
{
    std::vector<std::wstring> names;
    std::wstring name;
    if (ReadSkinText(entry, "bg_image", &name)) {
        names.push_back(name);
        return names;
    }
    for (int i = 1; i <= 8; ++i) {
        const std::string key = "bg_image" + std::to_string(i);
        if (!ReadSkinText(entry, key.c_str(), &name)) break;
        names.push_back(name);
    }
    return names;
}

FontKeys ReadFontKeys(const Json::Value& entry)
{
    FontKeys k;
    k.hasBold = ReadSkinBool(entry, "text_bold", &k.bold);
    k.hasUnderline = ReadSkinBool(entry, "text_underline", &k.underline);
    k.hasFace = ReadSkinText(entry, "font_face", &k.face);
    k.hasSize = ReadSkinInt(entry, "font_size", &k.size);
    return k;
}

}  // namespace Lumen
