#include "ShellAddress.h"

namespace Lumen {

namespace {

// Case-insensitive ASCII prefix test; `prefix` is lower case.
bool HasScheme(const std::wstring& text, const wchar_t* prefix)
{
    size_t i = 0;
    for (; prefix[i] != L'\0'; ++i) {
        if (i >= text.size()) return false;
        wchar_t c = text[i];
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

bool IsRefusedCharacter(wchar_t c)
{
    // C0 and C1 controls, DEL, and the quote that ends "%1" in a handler's command line.
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == L'"';
}

}  // namespace

bool ShellAddress::IsOpenable(const std::wstring& address)
{
    if (address.empty() || address.size() > kMaxLength) return false;
    if (address.front() == L' ' || address.back() == L' ') return false;
    for (wchar_t c : address) {
        if (IsRefusedCharacter(c)) return false;
    }
    for (const wchar_t* web : {L"http://", L"https://"}) {
        if (!HasScheme(address, web)) continue;
        // A host must follow: "http:///x" or "http://\\host" is not a web address.
        const size_t host = std::char_traits<wchar_t>::length(web);
        return host < address.size() && address[host] != L'/' && address[host] != L'\\';
    }
    static const wchar_t kMail[] = L"mailto:";
    return HasScheme(address, kMail) && address.size() > std::char_traits<wchar_t>::length(kMail);
}

}  // namespace Lumen
