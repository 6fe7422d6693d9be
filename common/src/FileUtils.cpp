#include "Lumen/FileUtils.h"

#include <windows.h>

#include "Lumen/UniqueHandle.h"

namespace Lumen {

bool ReadWholeFile(const std::wstring& path, std::string& bytes)
{
    ScopedHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    bytes.clear();
    char buffer[16384];
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr)) return false;
        if (read == 0) return true;
        bytes.append(buffer, read);
    }
}

bool FileExists(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace Lumen
