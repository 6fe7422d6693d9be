#pragma once

#include <cstdint>
#include <string>

#include "NoticeInfo.h"

// The server's answers to the session requests, read without Win32. Each
// returns an agent result (ResultCode.h) and never throws.
namespace SessionResponses {

// A login or token-renewal answer: on success (0) `*token` and `*expiry`
// (seconds since 1970, -1 for an expiry that cannot be read) are filled.
int ParseTokenResponse(const std::string& utf8, std::string* token, int64_t* expiry);

// A heartbeat answer; `*hasNotice` tells whether `*notice` was filled.
int ParseHealthCheckResponse(const std::string& utf8, bool* hasNotice, NOTICE_INFO* notice);

// The leading "%Y-%m-%d %H:%M:%S" of `text`, in local time with daylight
// saving as the C runtime has it; -1 when the text does not begin so.
int64_t ParseLocalTime(const std::string& text);

}  // namespace SessionResponses
