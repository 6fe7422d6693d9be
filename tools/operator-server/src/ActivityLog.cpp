#include "ActivityLog.h"

namespace PavoOperator {

uint64_t ActivityLog::Begin()
{
    std::lock_guard<std::mutex> guard(lock_);
    return ++sequence_;
}

void ActivityLog::Record(const std::string& path, uint64_t sequence, int resultCode, bool spoiled,
                         const std::string& when)
{
    std::lock_guard<std::mutex> guard(lock_);
    PathActivity& activity = paths_[path];
    ++activity.requests;
    activity.lastResultCode = resultCode;
    if (spoiled || resultCode != 200) {
        if (spoiled) ++activity.spoiled;
        return;
    }
    ++activity.clean;
    // Answers can finish out of order (a delayed one after a later one).
    if (sequence > activity.lastCleanSequence) {
        activity.lastCleanSequence = sequence;
        activity.lastCleanTime = when;
    }
}

Json::Value ActivityLog::ToJson() const
{
    std::lock_guard<std::mutex> guard(lock_);
    Json::Value root(Json::objectValue);
    root["sequence"] = Json::UInt64(sequence_);
    Json::Value& paths = root["paths"] = Json::Value(Json::objectValue);
    for (const auto& [path, activity] : paths_) {
        Json::Value& entry = paths[path];
        entry["requests"] = Json::UInt64(activity.requests);
        entry["clean"] = Json::UInt64(activity.clean);
        entry["spoiled"] = Json::UInt64(activity.spoiled);
        entry["lastResultCode"] = activity.lastResultCode;
        entry["lastCleanSequence"] = Json::UInt64(activity.lastCleanSequence);
        entry["lastCleanTime"] = activity.lastCleanTime;
    }
    return root;
}

}  // namespace PavoOperator
