#pragma once

#include <string>
#include <vector>

namespace Lumen {

// Folder helpers of the skin and font handling.

// True when `path` names an existing folder.
bool DirectoryExists(const std::wstring& path);
// Creates `path` with its missing parents. An existing folder is a success;
// an existing file of that name is not. GetLastError tells why on failure.
bool CreateDirectoryTree(const std::wstring& path);
// Deletes `path` with everything in it; false when something stayed.
// Links inside are removed, never followed.
bool DeleteDirectoryTree(const std::wstring& path);
// Full paths of the entries of `folder` that are not folders (not recursive);
// empty when the folder is missing.
std::vector<std::wstring> ListFiles(const std::wstring& folder);

}  // namespace Lumen
