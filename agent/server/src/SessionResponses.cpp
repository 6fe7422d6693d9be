#include "SessionResponses.h"

#include <json/json.h>

#include <cstdio>
#include <ctime>
#include <memory>

#include "Lumen/StringUtils.h"
#include "ResultCode.h"

using Lumen::Utf8ToWide;

namespace SessionResponses {

namespace {

bool ParseJson(const std::string& text, Json::Value* root)
{
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    return reader->parse(text.data(), text.data() + text.size(), root, &errors);
}

}  // namespace

int ParseTokenResponse(const std::string& utf8, std::string* token, int64_t* expiry)
{
    try {
        Json::Value root;
        if (!ParseJson(utf8, &root) || !root.isObject() || !root.isMember("resultCode") || !root.isMember("resultList"))
            return AgentResult::kBadResponse;
        const int result = ToResultCode(root["resultCode"].asInt());
        if (result < 0) return result;
        const Json::Value& list = root["resultList"];
        if (!list.isObject() || !list.isMember("token") || !list.isMember("tokenExpTime"))
            return AgentResult::kBadResponse;
        if (!list["token"].isString() || !list["tokenExpTime"].isString()) return AgentResult::kBadResponse;
        *token = list["token"].asString();
        *expiry = ParseLocalTime(list["tokenExpTime"].asString());
        return result;
    } catch (const std::exception&) {
        return AgentResult::kBadResponse;
    }
}

int ParseHealthCheckResponse(const std::string& utf8, bool* hasNotice, NOTICE_INFO* notice)
{
    *hasNotice = false;
    try {
        Json::Value root;
        if (!ParseJson(utf8, &root) || !root.isObject() || !root.isMember("resultCode") || !root.isMember("resultList"))
            return AgentResult::kBadResponse;
        const int result = ToResultCode(root["resultCode"].asInt());
        if (result < 0) return result;
        // A list that is null, or has no notice (or a null one), is a
        // heartbeat without a notice.
        const Json::Value& list = root["resultList"];
        if (list.isNull()) return result;
        if (!list.isObject()) return AgentResult::kBadResponse;
        if (!list.isMember("notice") || list["notice"].isNull()) return result;
        const Json::Value& item = list["notice"];
        if (!item.isObject() || !item["title"].isString() || !item["body"].isString() || !item["id"].isInt64() ||
            !item["date"].isString())
            return AgentResult::kBadResponse;
        notice->title = Utf8ToWide(item["title"].asString());
        notice->body = Utf8ToWide(item["body"].asString());
        notice->id = item["id"].asInt64();
        notice->date = Utf8ToWide(item["date"].asString());
        *hasNotice = true;
        return result;
    } catch (const std::exception&) {
        return AgentResult::kBadResponse;
    }
}

int64_t ParseLocalTime(const std::string& text)
{
    // The leading "%Y-%m-%d %H:%M:%S" counts; what follows it (fractions of a
    // second, a zone letter) is ignored, as servers differ there.
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d", &year, &month, &day, &hour, &minute, &second) != 6)
        return -1;
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
        second < 0 || second > 60)
        return -1;
    std::tm local = {};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    // The C runtime decides whether daylight saving applies at that time; a
    // fixed 0 would put the expiry an hour late in summer.
    local.tm_isdst = -1;
    // Before 1970 the runtime answers -1: an expiry already past.
    return static_cast<int64_t>(std::mktime(&local));
}

}  // namespace SessionResponses
