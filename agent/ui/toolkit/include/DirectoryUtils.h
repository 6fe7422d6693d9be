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
// What DeleteDirectoryTree makes of an entry's attributes: a folder link
// (junction, symbolic link) is removed as a link, never entered; a file
// link is deleted like a file.
enum class TreeEntryKind { kMissing, kFile, kFolderLink, kFolder };
TreeEntryKind ClassifyTreeEntry(unsigned long attributes);

// Deletes `path` with everything in it; false when something stayed.
// Links are removed, never followed, also when `path` itself is one.
bool DeleteDirectoryTree(const std::wstring& path);
// Full paths of the entries of `folder` that are not folders (not recursive);
// empty when the folder is missing.
std::vector<std::wstring> ListFiles(const std::wstring& folder);
// Full paths of the folders in `folder`, links to folders included (not
// recursive); empty when the folder is missing.
std::vector<std::wstring> ListFolders(const std::wstring& folder);

}  // namespace Lumen
