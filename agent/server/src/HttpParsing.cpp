#include "HttpParsing.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwctype>
#include <limits>
#include <regex>

namespace Lumen {

namespace {

std::wstring Trim(const std::wstring& text)
{
    const size_t first = text.find_first_not_of(L" \t\r\n");
    if (first == std::wstring::npos) return {};
    const size_t last = text.find_last_not_of(L" \t\r\n");
    return text.substr(first, last - first + 1);
}

// Removes every "charset=" in any case: the matches were found case-insensitively.
std::wstring RemoveCharsetKeyword(const std::wstring& match)
{
    static const std::wstring kKeyword = L"charset=";
    std::wstring result;
    size_t i = 0;
    while (i < match.size()) {
        if (match.size() - i >= kKeyword.size() &&
            ::CompareStringOrdinal(match.c_str() + i, static_cast<int>(kKeyword.size()), kKeyword.c_str(),
                                   static_cast<int>(kKeyword.size()), TRUE) == CSTR_EQUAL) {
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
        char line[512];
        std::snprintf(line, sizeof(line), "HttpClient::ParseRegExpression() error : %s\n", e.what());
        ::OutputDebugStringA(line);
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
        if (std::towlower(charset[i]) != kUtf8[i]) return false;
    return true;
}

std::wstring DecodeBody(const char* bytes, size_t length, const std::wstring& charset)
{
    if (bytes == nullptr) return {};
    const void* zero = std::memchr(bytes, 0, length);
    if (zero != nullptr) length = static_cast<size_t>(static_cast<const char*>(zero) - bytes);
    if (length == 0) return {};
    if (length > static_cast<size_t>(std::numeric_limits<int>::max())) return {};
    const UINT codePage = IsUtf8Charset(charset) ? CP_UTF8 : CP_ACP;
    const int wideLength = ::MultiByteToWideChar(codePage, 0, bytes, static_cast<int>(length), nullptr, 0);
    if (wideLength <= 0) return {};
    std::wstring text(static_cast<size_t>(wideLength), L'\0');
    ::MultiByteToWideChar(codePage, 0, bytes, static_cast<int>(length), &text[0], wideLength);
    return text;
}

}  // namespace Lumen
