// The names of the skin archive's entries: decoded as the archive reader
// decodes them, checked, and turned into the path the entry is written to.
// An accepted name never leaves the destination, never names a device and is
// never absolute; these checks are written here again, independently.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "ZipEntryName.h"

using Lumen::ZipEntryName;

namespace {

constexpr size_t kNameBuffer = 260;  // the reader's buffer; longer names are refused before decoding

std::vector<std::wstring> Split(const std::wstring& path)
{
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = path.find(L'\\', start);
        parts.push_back(path.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
        if (end == std::wstring::npos) return parts;
        start = end + 1;
    }
}

wchar_t AsciiUpper(wchar_t c)
{
    return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c;
}

// Windows' devices, whatever follows a dot and whatever spaces precede it.
bool NamesDevice(const std::wstring& component)
{
    std::wstring base;
    for (wchar_t c : component) {
        if (c == L'.') break;
        base += AsciiUpper(c);
    }
    base.erase(base.find_last_not_of(L' ') + 1);
    static const wchar_t* const kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    for (const wchar_t* device : kDevices) {
        if (base == device) return true;
    }
    if (base.size() != 4) return false;
    const std::wstring stem = base.substr(0, 3);
    if (stem != L"COM" && stem != L"LPT") return false;
    return std::wstring(L"0123456789\u00B9\u00B2\u00B3").find(base[3]) != std::wstring::npos;
}

// What Windows makes of a component: trailing dots and spaces dropped.
std::wstring AsWindowsStores(std::wstring component)
{
    while (!component.empty() && (component.back() == L'.' || component.back() == L' ')) component.pop_back();
    return component;
}

void CheckAccepted(const std::wstring& name, const std::wstring& relative, const std::wstring& destination)
{
    // Only the separators change.
    std::wstring expected = name;
    for (wchar_t& c : expected) {
        if (c == L'/') c = L'\\';
    }
    while (!expected.empty() && expected.back() == L'\\') expected.pop_back();
    PAVO_FUZZ_CHECK(relative == expected);

    PAVO_FUZZ_CHECK(!relative.empty() && relative.front() != L'\\');
    PAVO_FUZZ_CHECK(relative.find(L':') == std::wstring::npos);  // no drive, no stream
    for (const std::wstring& part : Split(relative)) {
        PAVO_FUZZ_CHECK(!part.empty());
        PAVO_FUZZ_CHECK(AsWindowsStores(part) == part);  // ".." and "a." never pass
        PAVO_FUZZ_CHECK(!NamesDevice(part));
        for (wchar_t c : part) PAVO_FUZZ_CHECK(c >= 0x20 && std::wstring(L"<>\"|?*/").find(c) == std::wstring::npos);
    }

    const std::wstring target = ZipEntryName::TargetPath(destination, relative);
    std::wstring prefix = destination;
    if (prefix.back() != L'\\') prefix += L'\\';
    PAVO_FUZZ_CHECK(target.compare(0, prefix.size(), prefix) == 0);
    PAVO_FUZZ_CHECK(target.size() > prefix.size());
    // Resolved as Windows resolves a path, the target stays below the
    // destination at the depth the name gives.
    int depth = 0;
    for (const std::wstring& part : Split(target.substr(prefix.size()))) {
        const std::wstring stored = AsWindowsStores(part);
        if (stored.empty()) continue;  // ".", ".." or "..." would not go deeper
        ++depth;
    }
    PAVO_FUZZ_CHECK(depth == static_cast<int>(Split(relative).size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    // The first byte: the entry's flags and attributes; the rest: the stored name.
    const uint8_t control = data[0];
    const std::string stored(reinterpret_cast<const char*>(data + 1), size - 1);
    if (stored.size() > kNameBuffer) return 0;
    const uint32_t flags = (control & 1) != 0 ? ZipEntryName::kUtf8NameFlag : 0;
    const uint32_t attributes = (control & 2) != 0 ? ZipEntryName::kDosDirectory : 0x20;
    const uint64_t entrySize = (control & 4) != 0 ? 0 : 17;

    const std::wstring name = ZipEntryName::Decode(stored, flags);
    if (stored.find('\0') != std::string::npos) PAVO_FUZZ_CHECK(name.empty());
    const bool directory = ZipEntryName::IsDirectory(name, attributes, entrySize);
    if (attributes == ZipEntryName::kDosDirectory) PAVO_FUZZ_CHECK(directory);

    const std::wstring relative = ZipEntryName::SafeRelativePath(name);
    if (relative.empty()) return 0;
    CheckAccepted(name, relative, (control & 8) != 0 ? L"C:\\App\\skin\\PavoAgent.exe\\" : L"C:\\App\\skin\\PavoAgent.exe");
    return 0;
}
