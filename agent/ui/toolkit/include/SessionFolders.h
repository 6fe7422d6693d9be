#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Lumen {

// Folders that one run unpacks into, one per logon session below a common
// folder ("<base>\<session id>"), so that agents of users logged in at the
// same time never delete each other's files. The rules are plain functions;
// RemoveStale applies them to the disk.
class SessionFolders {
public:
    // "<base>\<session id>" in decimal.
    static std::wstring FolderFor(const std::wstring& base, std::uint32_t sessionId);

    // The session a folder name stands for: decimal digits only, no leading
    // zero, within 32 bits. Other names are no session folders.
    static bool ParseSessionId(const std::wstring& name, std::uint32_t* sessionId);

    // Which of `names` (folder names below the base) belong to sessions that
    // no longer exist. Only a list that could be read and holds the current
    // session is believed: a failed or empty enumeration makes nothing stale,
    // and the current session's folder is never stale. Names that are no
    // session folders are never stale.
    static std::vector<std::wstring> StaleNames(const std::vector<std::wstring>& names,
                                                const std::vector<std::uint32_t>& liveSessions, bool enumerated,
                                                std::uint32_t currentSession);

    // Deletes the stale session folders below `base`; returns how many went.
    static size_t RemoveStale(const std::wstring& base, const std::vector<std::uint32_t>& liveSessions,
                              bool enumerated, std::uint32_t currentSession);
};

}  // namespace Lumen
