#include "HttpParsing.h"

#include <cstring>
#include <cwctype>
#include <limits>
#include <regex>

#include "Lumen/DebugOutput.h"
#include "Lumen/StringUtils.h"

namespace Lumen {

namespace {

std::wstring Trim(const std::wstring& text)
{
    const size_t first = text.find_first_not_of(L" \t\r\n");
    if (first == std::wstring::npos) return {};
    const size_t last = text.find_last_not_of(L" \t\r\n");
    return text.substr(first, last - first + 1);
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

// Removes every "charset=" in any case: the matches were found case-insensitively
// (the regular expression folds ASCII letters only).
std::wstring RemoveCharsetKeyword(const std::wstring& match)
{
    static const std::wstring kKeyword = L"charset=";
    std::wstring result;
    size_t i = 0;
    while (i < match.size()) {
        if (StartsWithAsciiNoCase(match, i, kKeyword)) {
            i += kKeyword.size();
            continue;
        }
        result += match[i++];
    }
    return result;
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
    std::vector<std::wstring> matches = FindAllMatches(headers, L"charset= [A-Za-z0-9\\-_]+");
    if (matches.empty()) matches = FindAllMatches(headers, L"charset=[A-Za-z0-9\\-_]+");
    if (matches.empty()) return {};
    return Trim(RemoveCharsetKeyword(matches.front()));
}

bool ParseContentLength(const std::wstring& headers, uint64_t* length, bool* present)
{
    *length = 0;
    if (present != nullptr) *present = false;
    const std::wstring kName = L"Content-Length:";
    size_t searchFrom = 0;
    for (const std::wstring& match : FindAllMatches(headers, L"Content-Length: [0-9]+")) {
        // Matches come left to right and are substrings of the header text.
        const size_t at = headers.find(match, searchFrom);
        if (at == std::wstring::npos) break;
        searchFrom = at + match.size();
        // Only a header line of its own counts, not the tail of "X-Content-Length: ...".
        if (at != 0 && headers[at - 1] != L'\n') continue;
        const std::wstring digits = Trim(match.substr(kName.size()));
        uint64_t value = 0;
        for (wchar_t c : digits) {
            const uint64_t digit = static_cast<uint64_t>(c - L'0');
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
