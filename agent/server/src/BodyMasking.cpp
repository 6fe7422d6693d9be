#include "BodyMasking.h"

#include <cwctype>

namespace {

constexpr const wchar_t* kSecretNames[] = {L"\"token\"", L"\"password\""};
constexpr const wchar_t* kMask = L"***";

size_t SkipBlanks(const std::wstring& text, size_t at)
{
    while (at < text.size() && std::iswspace(text[at])) ++at;
    return at;
}

// The end (one past the closing quote, or the end of the text) of the string
// that opens at `at`.
size_t StringEnd(const std::wstring& text, size_t at)
{
    for (size_t i = at + 1; i < text.size(); ++i) {
        if (text[i] == L'\\') {
            ++i;
        } else if (text[i] == L'"') {
            return i + 1;
        }
    }
    return text.size();
}

// The end of the value that begins at `at`: a string, an object or array
// (brackets counted outside strings), or a bare word up to the next delimiter.
size_t ValueEnd(const std::wstring& text, size_t at)
{
    if (at >= text.size()) return at;
    if (text[at] == L'"') return StringEnd(text, at);
    if (text[at] == L'{' || text[at] == L'[') {
        int depth = 0;
        for (size_t i = at; i < text.size(); ++i) {
            const wchar_t c = text[i];
            if (c == L'"') {
                i = StringEnd(text, i) - 1;
            } else if (c == L'{' || c == L'[') {
                ++depth;
            } else if ((c == L'}' || c == L']') && --depth == 0) {
                return i + 1;
            }
        }
        return text.size();
    }
    size_t end = at;
    while (end < text.size() && text[end] != L',' && text[end] != L'}' && text[end] != L']' &&
           !std::iswspace(text[end]))
        ++end;
    return end;
}

}  // namespace

std::wstring MaskSecretMembers(const std::wstring& body)
{
    std::wstring text = body;
    for (const wchar_t* name : kSecretNames) {
        const std::wstring key = name;
        for (size_t at = text.find(key); at != std::wstring::npos; at = text.find(key, at + 1)) {
            // An escaped quote belongs to some text, not to a member name.
            if (at > 0 && text[at - 1] == L'\\') continue;
            const size_t colon = SkipBlanks(text, at + key.size());
            if (colon >= text.size() || text[colon] != L':') continue;
            const size_t value = SkipBlanks(text, colon + 1);
            const size_t end = ValueEnd(text, value);
            if (end == value) continue;
            const bool quoted = text[value] == L'"';
            text.replace(value, end - value, quoted ? std::wstring(L"\"") + kMask + L"\"" : std::wstring(kMask));
        }
    }
    return text;
}
