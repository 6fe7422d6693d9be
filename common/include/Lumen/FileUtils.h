#pragma once

#include <string>

namespace Lumen {

// Reads a whole file into `bytes`; false (GetLastError tells why) when it
// cannot be opened or read.
bool ReadWholeFile(const std::wstring& path, std::string& bytes);

// True when `path` names an existing file (not a folder).
bool FileExists(const std::wstring& path);

}  // namespace Lumen
