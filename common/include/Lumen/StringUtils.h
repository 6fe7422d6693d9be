#pragma once

#include <cstdarg>
#include <string>

namespace Lumen {

// UTF-16 <-> UTF-8. Invalid input is replaced, never rejected: texts here are
// for logs, files and the wire, where losing one character beats losing all.
std::string WideToUtf8(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text);

// printf-style formatting of a wide format with Microsoft semantics: "%s"
// takes a wide string, as on every Windows toolchain. The result has exactly
// the formatted length; an invalid format gives an empty string.
std::wstring FormatWideV(const wchar_t* format, va_list args);
std::wstring FormatWide(const wchar_t* format, ...);

}  // namespace Lumen
