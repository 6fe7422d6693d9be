#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include <json/json.h>

namespace PavoOperator {

// What the agent's requests got, by path: a script reads it to tell when the
// agent is back after a fault. Every request takes a sequence number when it
// arrives; an answer counts as clean when no fault spoiled it and its
// "resultCode" was 200. Thread-safe.
class ActivityLog {
public:
    // The next sequence number (the first is 1).
    uint64_t Begin();
    // `resultCode` as sent (0 for a malformed answer); `spoiled` when a fault changed the answer.
    void Record(const std::string& path, uint64_t sequence, int resultCode, bool spoiled, const std::string& when);

    // {"sequence": LAST, "paths": {PATH: {"requests": N, "clean": N, "spoiled": N,
    //  "lastResultCode": C, "lastCleanSequence": S, "lastCleanTime": "..."}}}
    // lastCleanSequence is 0 and lastCleanTime "" while no answer was clean.
    Json::Value ToJson() const;

private:
    struct PathActivity {
        uint64_t requests = 0;
        uint64_t clean = 0;
        uint64_t spoiled = 0;
        int lastResultCode = 0;
        uint64_t lastCleanSequence = 0;
        std::string lastCleanTime;
    };

    mutable std::mutex lock_;
    uint64_t sequence_ = 0;
    std::map<std::string, PathActivity> paths_;
};

}  // namespace PavoOperator
