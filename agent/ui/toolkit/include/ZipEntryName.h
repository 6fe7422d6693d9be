#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace Lumen {

// The rules for the names of a zip archive's entries: how a stored name is
// read, whether it is a folder, and where below the destination it lands.
// An accepted name never leaves the destination folder, never names a
// device and is never absolute. Portable C++ (no Win32); ZipFormat asks it
// for every entry.
class ZipEntryName {
public:
    // Bit 11 of the entry's general-purpose flags: the name is UTF-8.
    static constexpr std::uint32_t kUtf8NameFlag = 0x800;
    // The DOS directory attribute in the external attributes.
    static constexpr std::uint32_t kDosDirectory = 0x10;
    // NTFS's limit for one component of a path.
    static constexpr std::size_t kMaxComponent = 255;

    // The stored name as wide text: UTF-8 when `flags` has kUtf8NameFlag,
    // otherwise the local code page. A name with a zero byte is "": it would
    // be written under its shorter part.
    static std::wstring Decode(const std::string& bytes, std::uint32_t flags);

    // A folder entry: the DOS directory attribute, or an empty entry whose
    // name ends in a separator.
    static bool IsDirectory(const std::wstring& name, std::uint32_t externalAttributes,
                            std::uint64_t uncompressedSize);

    // The entry name as a relative path below the destination (forward
    // slashes become backslashes, no trailing backslash), or "" when it is
    // empty, rooted, has an empty component or a component that is not
    // IsSafeComponent.
    static std::wstring SafeRelativePath(const std::wstring& entryName);

    // One component usable as a file or folder name exactly as written: not
    // empty, at most kMaxComponent characters, not only dots and spaces, no
    // trailing dot or space (Windows drops them, so the file would get
    // another name and "a." and "a" would be one file), no control character
    // or one of < > : " / \ | ? *, and no device name.
    static bool IsSafeComponent(const std::wstring& component);

    // Whether Windows takes `component` for a device: CON, PRN, AUX, NUL,
    // CONIN$, CONOUT$, COM and LPT with 0-9 or a superscript 1, 2 or 3, in
    // any letter case, also followed by spaces or by an extension.
    static bool IsDeviceName(const std::wstring& component);

    // `destination` joined with a relative path from SafeRelativePath by one
    // backslash; "" when either is empty (an empty destination would make
    // the path relative to the current folder).
    static std::wstring TargetPath(const std::wstring& destination, const std::wstring& relative);
};

}  // namespace Lumen
