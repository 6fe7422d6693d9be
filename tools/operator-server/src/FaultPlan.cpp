#include "FaultPlan.h"

namespace PavoOperator {

bool Fault::Spoils() const
{
    return delayMs > 0 || resultCode || malformedJson || omitContentLength || chunked || !contentType.empty() ||
           !omitMember.empty() || httpStatus != 0 || bytesPerSecond != 0;
}

bool FaultPlan::Parse(const Json::Value& value, Fault* fault)
{
    if (!value.isObject()) return false;
    const Json::Value delay = value.get("delayMs", 0);
    const Json::Value code = value.get("resultCode", Json::Value());
    const Json::Value contentType = value.get("contentType", "");
    const Json::Value omitMember = value.get("omitMember", "");
    const Json::Value status = value.get("httpStatus", 0);
    const Json::Value rate = value.get("bytesPerSecond", 0);
    if (!delay.isIntegral() || !(code.isNull() || code.isIntegral()) || !contentType.isString() ||
        !omitMember.isString() || !status.isIntegral() || !rate.isIntegral() || rate.asInt64() < 0)
        return false;
    // 0 leaves the status alone; anything else must be an HTTP status.
    if (status.asInt() != 0 && (status.asInt() < 100 || status.asInt() > 599)) return false;
    for (const char* flag : {"malformedJson", "omitContentLength", "chunked"})
        if (!value.get(flag, false).isBool()) return false;
    fault->delayMs = delay.asInt();
    if (!code.isNull()) fault->resultCode = code.asInt();
    fault->malformedJson = value.get("malformedJson", false).asBool();
    fault->omitContentLength = value.get("omitContentLength", false).asBool();
    fault->chunked = value.get("chunked", false).asBool();
    fault->contentType = contentType.asString();
    fault->omitMember = omitMember.asString();
    fault->httpStatus = status.asInt();
    fault->bytesPerSecond = rate.asInt64();
    return true;
}

bool FaultPlan::Load(const Json::Value& faults)
{
    if (faults.isNull()) return true;
    if (!faults.isObject()) return false;
    std::map<std::string, Fault> loaded;
    for (const std::string& path : faults.getMemberNames())
        if (!Parse(faults[path], &loaded[path])) return false;
    std::lock_guard<std::mutex> guard(lock_);
    faults_ = std::move(loaded);
    return true;
}

bool FaultPlan::Set(const Json::Value& fault)
{
    if (!fault.isObject() || !fault["path"].isString()) return false;
    Fault parsed;
    if (!Parse(fault, &parsed)) return false;
    std::lock_guard<std::mutex> guard(lock_);
    faults_[fault["path"].asString()] = parsed;
    return true;
}

void FaultPlan::Clear()
{
    std::lock_guard<std::mutex> guard(lock_);
    faults_.clear();
}

Fault FaultPlan::For(const std::string& path) const
{
    std::lock_guard<std::mutex> guard(lock_);
    auto it = faults_.find(path);
    if (it == faults_.end()) it = faults_.find("*");
    return it == faults_.end() ? Fault() : it->second;
}

bool FaultPlan::Has(const std::string& path) const
{
    std::lock_guard<std::mutex> guard(lock_);
    return faults_.count(path) != 0;
}

}  // namespace PavoOperator
