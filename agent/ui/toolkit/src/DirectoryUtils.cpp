#include "DirectoryUtils.h"

#include <windows.h>

#include "Lumen/PathUtils.h"

namespace Lumen {

namespace {

template <typename Visit>
void ForEachEntry(const std::wstring& folder, Visit visit)
{
    WIN32_FIND_DATAW data = {};
    HANDLE found = ::FindFirstFileW(JoinPath(folder, L"*").c_str(), &data);
    if (found == INVALID_HANDLE_VALUE) return;
    struct Closer {
        HANDLE h;
        ~Closer() { ::FindClose(h); }
    } closer{found};
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        visit(JoinPath(folder, name), data.dwFileAttributes);
    } while (::FindNextFileW(found, &data));
}

}  // namespace

bool DirectoryExists(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CreateDirectoryTree(const std::wstring& path)
{
    if (path.empty()) {
        ::SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    std::wstring folder = path;
    while (folder.size() > 1 && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
    if (DirectoryExists(folder)) return true;
    const size_t slash = folder.find_last_of(L"\\/");
    if (slash != std::wstring::npos && slash > 0) {
        const std::wstring parent = folder.substr(0, slash);
        // "C:" is a drive, not a folder to create.
        if (!(parent.size() == 2 && parent[1] == L':') && !CreateDirectoryTree(parent)) return false;
    }
    if (::CreateDirectoryW(folder.c_str(), nullptr)) return true;
    const DWORD error = ::GetLastError();
    if (error == ERROR_ALREADY_EXISTS && DirectoryExists(folder)) return true;  // made meanwhile
    ::SetLastError(error);
    return false;
}

TreeEntryKind ClassifyTreeEntry(unsigned long attributes)
{
    if (attributes == INVALID_FILE_ATTRIBUTES) return TreeEntryKind::kMissing;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return TreeEntryKind::kFile;
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return TreeEntryKind::kFolderLink;
    return TreeEntryKind::kFolder;
}

bool DeleteDirectoryTree(const std::wstring& path)
{
    // The folder itself is checked like everything in it: a junction or link
    // put in its place goes itself, and what it points to is left alone.
    switch (ClassifyTreeEntry(::GetFileAttributesW(path.c_str()))) {
    case TreeEntryKind::kFolder:
        break;
    case TreeEntryKind::kFolderLink:
        return ::RemoveDirectoryW(path.c_str()) != FALSE;
    default:
        return false;
    }
    bool ok = true;
    ForEachEntry(path, [&ok](const std::wstring& entry, DWORD attributes) {
        if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
            ::SetFileAttributesW(entry.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
        }
        switch (ClassifyTreeEntry(attributes)) {
        case TreeEntryKind::kFolder:
            ok = DeleteDirectoryTree(entry) && ok;
            break;
        case TreeEntryKind::kFolderLink:
            ok = ::RemoveDirectoryW(entry.c_str()) && ok;
            break;
        default:
            ok = ::DeleteFileW(entry.c_str()) && ok;
            break;
        }
    });
    return ::RemoveDirectoryW(path.c_str()) && ok;
}

std::vector<std::wstring> ListFiles(const std::wstring& folder)
{
    std::vector<std::wstring> files;
    ForEachEntry(folder, [&files](const std::wstring& entry, DWORD attributes) {
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) files.push_back(entry);
    });
    return files;
}

std::vector<std::wstring> ListFolders(const std::wstring& folder)
{
    std::vector<std::wstring> folders;
    ForEachEntry(folder, [&folders](const std::wstring& entry, DWORD attributes) {
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) folders.push_back(entry);
    });
    return folders;
}

}  // namespace Lumen
