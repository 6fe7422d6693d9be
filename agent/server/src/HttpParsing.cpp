#include "HttpParsing.h"

#include <cstring>
#include <cwctype>
#include <limits>
#include <regex>

#include "Lumen/DebugOutput.h"
#include "Lumen/StringUtils.h"

namespace Lumen {

namespace {

bool IsDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

// [A-Za-z0-9\-_]
bool IsTokenCharacter(wchar_t c)
{
    return IsDigit(c) || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || c == L'-' || c == L'_';
}

// Whether `text` at `at` holds `lowerAscii` in any case of its ASCII letters.
bool StartsWithAsciiNoCase(const std::wstring& text, size_t at, const std::wstring& lowerAscii)
{
    if (text.size() - at < lowerAscii.size()) return false;
    for (size_t i = 0; i < lowerAscii.size(); ++i) {
        wchar_t c = text[at + i];
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
        if (c != lowerAscii[i]) return false;
    }
    return true;
}

}  // namespace

std::vector<std::wstring> FindAllMatches(const std::wstring& text, const std::wstring& pattern)
{
    std::vector<std::wstring> matches;
    try {
        const std::wregex expression(pattern, std::regex_constants::ECMAScript | std::regex_constants::icase);
        for (std::wsregex_iterator it(text.begin(), text.end(), expression), end; it != end; ++it)
            matches.push_back(it->str());
    } catch (const std::regex_error& e) {
        OutputDebugMessage(L"HttpClient::ParseRegExpression() error : %s", Utf8ToWide(e.what()).c_str());
        matches.clear();
    }
    return matches;
}

std::wstring ParseCharset(const std::wstring& headers)
{
    // "charset= <token>" anywhere wins over "charset=<token>"; the keyword in
    // any case. Scanned by hand: a regular expression recurses once per
    // character, and a long header value would overflow the thread's stack.
    static const std::wstring kKeyword = L"charset=";
    for (const bool blank : {true, false}) {
        for (size_t at = 0; at < headers.size(); ++at) {
            if (!StartsWithAsciiNoCase(headers, at, kKeyword)) continue;
            size_t first = at + kKeyword.size();
            if (blank) {
                if (first >= headers.size() || headers[first] != L' ') continue;
                ++first;
            }
            size_t last = first;
            while (last < headers.size() && IsTokenCharacter(headers[last])) ++last;
            if (last > first) return headers.substr(first, last - first);
        }
    }
    return {};
}

bool ParseContentLength(const std::wstring& headers, uint64_t* length, bool* present)
{
    *length = 0;
    if (present != nullptr) *present = false;
    // "Content-Length: <digits>" in any case, exactly one blank; only a header
    // line of its own counts, not the tail of "X-Content-Length: ...". The
    // first such line wins. Scanned by hand, as in ParseCharset.
    static const std::wstring kName = L"content-length: ";
    for (size_t at = 0; at < headers.size(); ++at) {
        if (!StartsWithAsciiNoCase(headers, at, kName)) continue;
        const size_t first = at + kName.size();
        size_t last = first;
        while (last < headers.size() && IsDigit(headers[last])) ++last;
        if (last == first || (at != 0 && headers[at - 1] != L'\n')) continue;
        uint64_t value = 0;
        for (size_t i = first; i < last; ++i) {
            const uint64_t digit = static_cast<uint64_t>(headers[i] - L'0');
            if (value > (std::numeric_limits<uint64_t>::max() - digit) / 10) return false;
            value = value * 10 + digit;
        }
        *length = value;
        if (present != nullptr) *present = true;
        return true;
    }
    return true;
}

bool IsUtf8Charset(const std::wstring& charset)
{
    if (charset.size() < 5) return false;
    static const wchar_t kUtf8[] = L"utf-8";
    for (size_t i = 0; i < 5; ++i)
        if (static_cast<wchar_t>(std::towlower(charset[i])) != kUtf8[i]) return false;
    return true;
}

std::wstring DecodeBody(const char* bytes, size_t length, const std::wstring& charset)
{
    if (bytes == nullptr) return {};
    const void* zero = std::memchr(bytes, 0, length);
    if (zero != nullptr) length = static_cast<size_t>(static_cast<const char*>(zero) - bytes);
    if (length == 0) return {};
    if (length > static_cast<size_t>(std::numeric_limits<int>::max())) return {};
    return IsUtf8Charset(charset) ? Utf8ToWide(bytes, length) : AnsiToWide(bytes, length);
}

}  // namespace Lumen
