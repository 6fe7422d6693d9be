#include "Lumen/StringTable.h"

#include <json/json.h>

#include <memory>
#include <utility>

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

namespace {

// A JSON string literal of UTF-8 text.
std::string QuoteJson(const std::string& text)
{
    std::string quoted = "\"";
    for (const char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (u < 0x20 || u == 0x7f) {
            static const char kHex[] = "0123456789abcdef";
            quoted += "\\u00";
            quoted += kHex[u >> 4];
            quoted += kHex[u & 15];
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

bool IsJsonSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

bool SetStringTableValue(const std::string& bytes, const std::string& key, const std::string& value,
                         std::string* result, std::string* error)
{
    error->clear();
    try {
        // Only a table the agent reads whole may be rewritten: anything else
        // would hide the fault behind a half-read table.
        std::map<std::wstring, std::wstring> table;
        if (!ParseStringTable(bytes, &table, error)) {
            if (error->empty()) *error = "not a language table (no \"strings\" array of key/value objects)";
            return false;
        }
        Json::CharReaderBuilder builder;
        const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
        Json::Value root;
        if (!reader->parse(bytes.data(), bytes.data() + bytes.size(), &root, error)) return false;
        const Json::Value& strings = root["strings"];

        for (const Json::Value& element : strings) {
            if (element["key"].asString() != key) continue;
            const Json::Value& old = element["value"];
            *result = bytes.substr(0, old.getOffsetStart()) + QuoteJson(value) + bytes.substr(old.getOffsetLimit());
            return true;
        }

        if (strings.empty()) {
            const size_t at = strings.getOffsetStart() + 1;  // just after '['
            *result = bytes.substr(0, at) + "{\"key\": " + QuoteJson(key) + ", \"value\": " + QuoteJson(value) +
                      "}" + bytes.substr(at);
            return true;
        }
        // The new element copies the last one with its key and value replaced.
        const Json::Value& last = strings[strings.size() - 1];
        const size_t start = last.getOffsetStart();
        const size_t limit = last.getOffsetLimit();
        std::string copy = bytes.substr(start, limit - start);
        const Json::Value& lastKey = last["key"];
        const Json::Value& lastValue = last["value"];
        // Replace the later of the two first, so the earlier offsets hold.
        const std::pair<const Json::Value*, std::string> edits[2] = {{&lastKey, QuoteJson(key)},
                                                                     {&lastValue, QuoteJson(value)}};
        const size_t order[2] = {lastKey.getOffsetStart() < lastValue.getOffsetStart() ? 1u : 0u,
                                 lastKey.getOffsetStart() < lastValue.getOffsetStart() ? 0u : 1u};
        for (const size_t edit : order) {
            const Json::Value* member = edits[edit].first;
            copy.replace(member->getOffsetStart() - start, member->getOffsetLimit() - member->getOffsetStart(),
                         edits[edit].second);
        }
        // The same white space that sits before the last element.
        size_t gap = start;
        while (gap > 0 && IsJsonSpace(bytes[gap - 1])) --gap;
        *result = bytes.substr(0, limit) + "," + bytes.substr(gap, start - gap) + copy + bytes.substr(limit);
        return true;
    } catch (const std::exception& e) {
        *error = std::string("exception : ") + e.what();
        return false;
    }
}

}  // namespace Lumen
