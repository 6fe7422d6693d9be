#include "ConfigDocument.h"

#include <json/json.h>

#include <memory>
#include <stdexcept>

#include "Lumen/StringUtils.h"

using Lumen::Utf8ToWide;

bool ParseConfigDocument(const char* text, std::size_t length, ConfigValues* values, std::string* error)
{
    error->clear();
    Json::Value root;
    try {
        Json::CharReaderBuilder builder;
        std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
        std::string errors;
        if (!reader->parse(text, text + length, &root, &errors)) return false;
    } catch (const std::exception&) {
        // The reader throws instead of failing for nesting past its limit.
        return false;
    }
    try {
        if (!root.isObject()) throw std::runtime_error("the settings are not a JSON object");
        // Each value is read in turn: a bad one keeps those read before it.
        if (root.isMember("id")) values->userId = Utf8ToWide(root["id"].asString());
        if (root.isMember("password")) values->password = Utf8ToWide(root["password"].asString());
        if (root.isMember("isAutoLogin")) values->autoLogin = root["isAutoLogin"].asBool();
        if (root.isMember("isInstalling")) values->installing = root["isInstalling"].asBool();
        if (root.isMember("isTestMode")) values->testMode = root["isTestMode"].asBool();
        if (root.isMember("notice")) {
            const Json::Value& notice = root["notice"];
            for (const char* key : {"title", "body", "id", "date"})
                if (!notice.isMember(key)) throw std::runtime_error(std::string("notice without \"") + key + "\"");
            NOTICE_INFO read;
            read.title = Utf8ToWide(notice["title"].asString());
            read.body = Utf8ToWide(notice["body"].asString());
            read.id = notice["id"].asInt64();
            read.date = Utf8ToWide(notice["date"].asString());
            values->notice = read;
        }
    } catch (const std::exception& e) {
        *error = e.what();
    }
    return true;
}
