#include "ZipEntryName.h"

#include "Lumen/StringUtils.h"

namespace Lumen {

namespace {

// Upper case for the letters of device names. Besides ASCII, the dotless i
// and the long s upcase to I and S in the system's table: "CONıN$" must not
// slip through.
wchar_t FoldDeviceLetter(wchar_t c)
{
    if (c >= L'a' && c <= L'z') return static_cast<wchar_t>(c - L'a' + L'A');
    if (c == L'\u0131') return L'I';
    if (c == L'\u017F') return L'S';
    return c;
}

bool IsDeviceDigit(wchar_t c)
{
    return (c >= L'0' && c <= L'9') || c == L'\u00B9' || c == L'\u00B2' || c == L'\u00B3';
}

bool IsForbiddenCharacter(wchar_t c)
{
    if (c < 0x20) return true;
    switch (c) {
        case L'<': case L'>': case L':': case L'"': case L'/': case L'\\': case L'|': case L'?': case L'*':
            return true;
        default:
            return false;
    }
}

}  // namespace

std::wstring ZipEntryName::Decode(const std::string& bytes, std::uint32_t flags)
{
    if (bytes.find('\0') != std::string::npos) return {};
    if ((flags & kUtf8NameFlag) != 0) return Utf8ToWide(bytes);
    return AnsiToWide(bytes.data(), bytes.size());
}

bool ZipEntryName::IsDirectory(const std::wstring& name, std::uint32_t externalAttributes,
                               std::uint64_t uncompressedSize)
{
    if ((externalAttributes & kDosDirectory) != 0) return true;
    return !name.empty() && (name.back() == L'/' || name.back() == L'\\') && uncompressedSize == 0;
}

bool ZipEntryName::IsDeviceName(const std::wstring& component)
{
    // The device part ends at the first dot; spaces before it do not count.
    std::wstring base = component.substr(0, component.find(L'.'));
    while (!base.empty() && base.back() == L' ') base.pop_back();
    for (wchar_t& c : base) c = FoldDeviceLetter(c);
    if (base == L"CON" || base == L"PRN" || base == L"AUX" || base == L"NUL" || base == L"CONIN$" ||
        base == L"CONOUT$") {
        return true;
    }
    return base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0) &&
           IsDeviceDigit(base[3]);
}

bool ZipEntryName::IsSafeComponent(const std::wstring& component)
{
    if (component.empty() || component.size() > kMaxComponent) return false;
    // "..", ". .", "..." climb or stay once Windows has dropped the trailing
    // dots and spaces.
    if (component.find_first_not_of(L". ") == std::wstring::npos) return false;
    if (component.back() == L'.' || component.back() == L' ') return false;
    for (const wchar_t c : component) {
        if (IsForbiddenCharacter(c)) return false;
    }
    return !IsDeviceName(component);
}

std::wstring ZipEntryName::SafeRelativePath(const std::wstring& entryName)
{
    std::wstring name = entryName;
    for (wchar_t& c : name) {
        if (c == L'/') c = L'\\';
    }
    while (!name.empty() && name.back() == L'\\') name.pop_back();
    if (name.empty() || name.front() == L'\\') return {};  // a root (also "\\?\", UNC)
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find(L'\\', start);
        if (end == std::wstring::npos) end = name.size();
        // An empty component is a doubled separator ("a\\b").
        if (!IsSafeComponent(name.substr(start, end - start))) return {};
        start = end + 1;
    }
    return name;
}

std::wstring ZipEntryName::TargetPath(const std::wstring& destination, const std::wstring& relative)
{
    if (destination.empty() || relative.empty()) return {};
    return destination.back() == L'\\' ? destination + relative : destination + L'\\' + relative;
}

}  // namespace Lumen
