#pragma once

#include <cstdint>
#include <string>

// The last notice the user was shown.
struct NOTICE_INFO {
    std::wstring title;
    std::wstring body;
    int64_t id = 0;
    std::wstring date;
};
