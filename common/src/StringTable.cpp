#include "Lumen/StringTable.h"

#include <json/json.h>

#include <memory>

#include "Lumen/StringUtils.h"

namespace Lumen {

bool ParseStringTable(const std::string& bytes, std::map<std::wstring, std::wstring>* table, std::string* error)
{
    error->clear();
    try {
        Json::CharReaderBuilder builder;
        const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
        Json::Value root;
        if (!reader->parse(bytes.data(), bytes.data() + bytes.size(), &root, error)) {
            *error = "parse error : " + *error;
            return false;
        }
        if (!root.isObject() || !root.isMember("strings")) return false;
        const Json::Value& strings = root["strings"];
        if (!strings.isArray()) return false;
        for (const Json::Value& element : strings) {
            // A bad element ends the load; the pairs read so far stay.
            if (!element.isObject() || !element["key"].isString() || !element["value"].isString()) return false;
            table->emplace(Utf8ToWide(element["key"].asString()), Utf8ToWide(element["value"].asString()));
        }
        return true;
    } catch (const std::exception& e) {
        *error = std::string("exception : ") + e.what();
        return false;
    }
}

}  // namespace Lumen
