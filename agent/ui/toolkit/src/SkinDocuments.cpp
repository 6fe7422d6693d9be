#include "SkinDocuments.h"

#include <json/reader.h>

#include <climits>
#include <exception>
#include <memory>

#include "Lumen/StringUtils.h"
#include "ZipEntryName.h"

namespace Lumen {

namespace {

// Never throws: the reader throws, instead of failing, for nesting past its limit.
bool ParseJson(const std::string& text, Json::Value* root, std::string* error)
{
    try {
        Json::CharReaderBuilder builder;
        const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
        if (reader->parse(text.data(), text.data() + text.size(), root, error)) return true;
    } catch (const std::exception& e) {
        *error = e.what();
    }
    *root = Json::Value();
    return false;
}

bool IsIdentifier(const Json::Value& value)
{
    return value.isUInt() && value.asUInt() <= INT_MAX;  // isUInt: also a whole real number
}

}  // namespace

bool ParseResourceTable(const std::string& text, std::map<int, std::wstring>* nameById,
                        std::map<std::wstring, int>* idByName, std::string* error)
{
    error->clear();
    Json::Value root;
    if (!ParseJson(text, &root, error)) return false;
    if (!root.isObject() || !root.isMember("resource")) return true;
    const Json::Value& list = root["resource"];
    if (!list.isArray()) {
        *error = "\"resource\" is not an array";
        return false;
    }
    for (Json::ArrayIndex i = 0; i < list.size(); ++i) {
        const Json::Value& entry = list[i];
        if (!entry.isObject()) {
            *error = "resource " + std::to_string(i) + " is not an object";
            return false;
        }
        const Json::Value& id = entry["id"];
        const Json::Value& value = entry["value"];
        if (!(id.isNull() || id.isString() || id.isNumeric() || id.isBool()) || !(value.isNull() || IsIdentifier(value))) {
            *error = "resource " + std::to_string(i) + " has no usable \"id\" or \"value\"";
            return false;
        }
        const std::wstring name = Utf8ToWide(id.asString());
        const int number = static_cast<int>(value.asUInt());
        nameById->emplace(number, name);
        idByName->emplace(name, number);
    }
    return true;
}

bool ParseSkinDescription(const std::string& text, Json::Value* skinInfoList, std::string* error)
{
    error->clear();
    Json::Value root;
    if (!ParseJson(text, &root, error)) return false;
    if (!root.isObject() || !root.isMember("skin_info_list")) return false;
    *skinInfoList = root["skin_info_list"];
    return true;
}

std::wstring SkinDescriptionFileName(const std::wstring& name)
{
    if (name.empty()) return {};
    const std::wstring file = name + L".json";
    return ZipEntryName::IsSafeComponent(file) ? file : std::wstring();
}

}  // namespace Lumen
