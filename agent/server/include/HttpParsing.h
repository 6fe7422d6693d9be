#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Lumen {

// Response-header and body helpers of HttpClient. No Win32 networking here.

// Every match of `pattern` (ECMAScript, case-insensitive) in `text`, left to
// right. A pattern the engine rejects writes the debug trace
// "HttpClient::ParseRegExpression() error : %s" and finds nothing. The engine
// recurses once per character matched: short text only, never a whole response.
std::vector<std::wstring> FindAllMatches(const std::wstring& text, const std::wstring& pattern);

// The charset parameter of the raw header text: the token after the first
// "charset= " (one blank) followed by a token, or when there is none after the
// first "charset=" followed by a token; the keyword in any case, a token of
// [A-Za-z0-9\-_]. "" when absent. Linear, without recursion, so that a header
// of any length is safe on a small stack.
std::wstring ParseCharset(const std::wstring& headers);

// The value of the first "Content-Length: <digits>" header line (name in any
// case, one blank; a line of its own, not the tail of "X-Content-Length");
// 0 when absent, and then `*present` (when given) is false. False when the
// number does not fit in 64 bits (a response no buffer or file can take).
bool ParseContentLength(const std::wstring& headers, uint64_t* length, bool* present = nullptr);

// True when the first five characters of `charset` are "utf-8" in any case.
bool IsUtf8Charset(const std::wstring& charset);

// The bytes up to the first zero byte (or `length`) as UTF-16: from UTF-8 for a
// UTF-8 charset, otherwise from the system's default code page.
std::wstring DecodeBody(const char* bytes, size_t length, const std::wstring& charset);

}  // namespace Lumen
