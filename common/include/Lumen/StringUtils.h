#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>

namespace Lumen {

// UTF-16 <-> UTF-8 (UTF-32 where wchar_t has 32 bits, as in the native parser
// builds). Invalid input is replaced, never rejected: texts here are for logs,
// files and the wire, where losing one character beats losing all. Each
// maximal invalid subsequence of UTF-8 (an overlong form, a surrogate, a cut
// sequence, a stray byte) becomes one U+FFFD, and so does a lone surrogate in
// wide text. Embedded zeros are kept. Portable C++: no Win32.
std::string WideToUtf8(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text);
std::wstring Utf8ToWide(const char* bytes, std::size_t length);

// The system's default code page (CP_ACP) to UTF-16; "" when it cannot be
// converted. Win32 layer.
std::wstring AnsiToWide(const char* bytes, std::size_t length);

// printf-style formatting of a wide format with Microsoft semantics: "%s"
// takes a wide string, as on every Windows toolchain. The result has exactly
// the formatted length; an invalid format gives an empty string. Win32 layer.
std::wstring FormatWideV(const wchar_t* format, va_list args);
std::wstring FormatWide(const wchar_t* format, ...);

}  // namespace Lumen
