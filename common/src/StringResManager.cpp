#include "Lumen/StringResManager.h"

#include <windows.h>

#include "Lumen/DebugOutput.h"
#include "Lumen/FileUtils.h"
#include "Lumen/PathUtils.h"
#include "Lumen/StringTable.h"
#include "Lumen/StringUtils.h"

namespace Lumen {

StringResManager::StringResManager() : languageCode_(L"ENG")
{
    wchar_t name[20] = {};
    if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SABBREVLANGNAME, name, 20) > 0)
        languageCode_ = LanguageCodeFor(name);
}

std::wstring StringResManager::LanguageCodeFor(const std::wstring& abbreviatedLanguageName)
{
    return ::CompareStringOrdinal(abbreviatedLanguageName.c_str(), -1, L"KOR", -1, TRUE) == CSTR_EQUAL ? L"KOR"
                                                                                                       : L"ENG";
}

std::wstring StringResManager::LanguageFilePath(const std::wstring& programDirectory, const std::wstring& code)
{
    std::wstring lower = code;
    for (wchar_t& c : lower) c = static_cast<wchar_t>(::towlower(c));
    return JoinPath(JoinPath(programDirectory, L"language"), FormatWide(L"%s.json", lower.c_str()));
}

bool StringResManager::Load()
{
    return LoadFile(LanguageFilePath(GetModuleDirectory(), languageCode_));
}

bool StringResManager::LoadFile(const std::wstring& path)
{
    if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) return false;
    std::string error;
    const bool loaded = ParseStringTable(bytes, &table_, &error);
    if (!error.empty()) OutputDebugMessage(L"StringResManager::Load() %s", Utf8ToWide(error).c_str());
    return loaded;
}

std::wstring StringResManager::GetString(const std::wstring& key) const
{
    const auto found = table_.find(key);
    return found == table_.end() ? key : found->second;
}

}  // namespace Lumen
