#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "NoticeInfo.h"

// The persisted settings as the decrypted configuration file holds them; a
// member is set only when the file held it.
struct ConfigValues {
    std::optional<std::wstring> userId;
    std::optional<std::wstring> password;
    std::optional<bool> autoLogin;
    std::optional<bool> installing;
    std::optional<bool> testMode;
    std::optional<NOTICE_INFO> notice;
};

// Reads the decrypted text of the configuration file. False when it is not
// JSON: nothing is read. Otherwise true; `*error` then describes the first bad
// value ("" when none), and the values read before it are in `*values`.
// Never throws. Portable C++: no Win32.
bool ParseConfigDocument(const char* text, std::size_t length, ConfigValues* values, std::string* error);
