#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include <json/json.h>

namespace PavoOperator {

// How the answers on one path are spoiled on purpose, for tests.
struct Fault {
    int delayMs = 0;                 // wait before answering
    std::optional<int> resultCode;   // replaces the "resultCode" of JSON answers
    bool malformedJson = false;      // a truncated JSON text instead of the answer
    bool omitContentLength = false;  // no Content-Length; the body ends when the connection closes
    bool chunked = false;            // Transfer-Encoding: chunked
    std::string contentType;         // replaces the Content-Type header when not empty
    std::string omitMember;          // this member of "resultList" is left out when not empty
    int httpStatus = 0;              // replaces the HTTP status (200) when not 0; the body stays
    int64_t bytesPerSecond = 0;      // paces the body to this rate when not 0

    // True when any of the above changes the answer.
    bool Spoils() const;
};

// Faults by request path; "*" applies to every path without its own entry.
// Read from the data file's "faults" object and changed by POST /admin/fault.
class FaultPlan {
public:
    // {"PATH": {"delayMs": 1500, "resultCode": 500, "malformedJson": true,
    //           "omitContentLength": true, "chunked": true, "contentType": "...",
    //           "omitMember": "tokenExpTime", "httpStatus": 500, "bytesPerSecond": 200000}}
    // False, with the plan unchanged, when a member has the wrong type.
    bool Load(const Json::Value& faults);
    // One entry: the fault object with a "path" member.
    bool Set(const Json::Value& fault);
    void Clear();
    Fault For(const std::string& path) const;
    bool Has(const std::string& path) const;

private:
    static bool Parse(const Json::Value& value, Fault* fault);

    mutable std::mutex lock_;
    std::map<std::string, Fault> faults_;
};

}  // namespace PavoOperator
