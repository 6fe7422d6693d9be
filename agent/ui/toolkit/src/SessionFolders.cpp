#include "SessionFolders.h"

#include <algorithm>

#include "DirectoryUtils.h"
#include "Lumen/PathUtils.h"

namespace Lumen {

std::wstring SessionFolders::FolderFor(const std::wstring& base, std::uint32_t sessionId)
{
    return JoinPath(base, std::to_wstring(sessionId));
}

bool SessionFolders::ParseSessionId(const std::wstring& name, std::uint32_t* sessionId)
{
    // "007" and "7" would be two folders of one session.
    if (name.empty() || name.size() > 10 || (name.size() > 1 && name[0] == L'0')) return false;
    std::uint64_t value = 0;
    for (const wchar_t c : name) {
        if (c < L'0' || c > L'9') return false;
        value = value * 10 + static_cast<std::uint64_t>(c - L'0');
    }
    if (value > 0xFFFFFFFFull) return false;
    *sessionId = static_cast<std::uint32_t>(value);
    return true;
}

std::vector<std::wstring> SessionFolders::StaleNames(const std::vector<std::wstring>& names,
                                                     const std::vector<std::uint32_t>& liveSessions,
                                                     bool enumerated, std::uint32_t currentSession)
{
    std::vector<std::wstring> stale;
    const auto isLive = [&liveSessions](std::uint32_t id) {
        return std::find(liveSessions.begin(), liveSessions.end(), id) != liveSessions.end();
    };
    // A list without this very session is wrong, not proof that every other
    // session has ended.
    if (!enumerated || !isLive(currentSession)) return stale;
    for (const std::wstring& name : names) {
        std::uint32_t id = 0;
        if (ParseSessionId(name, &id) && id != currentSession && !isLive(id)) stale.push_back(name);
    }
    return stale;
}

size_t SessionFolders::RemoveStale(const std::wstring& base, const std::vector<std::uint32_t>& liveSessions,
                                   bool enumerated, std::uint32_t currentSession)
{
    std::vector<std::wstring> names;
    for (const std::wstring& folder : ListFolders(base)) names.push_back(FileNameOf(folder));
    size_t removed = 0;
    for (const std::wstring& name : StaleNames(names, liveSessions, enumerated, currentSession)) {
        if (DeleteDirectoryTree(JoinPath(base, name))) ++removed;
    }
    return removed;
}

}  // namespace Lumen
