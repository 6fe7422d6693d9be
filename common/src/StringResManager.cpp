#include "Lumen/StringResManager.h"

#include <windows.h>

#include <json/json.h>

#include <sstream>

#include "Lumen/DebugOutput.h"
#include "Lumen/FileUtils.h"
#include "Lumen/PathUtils.h"
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
    try {
        Json::CharReaderBuilder builder;
        Json::Value root;
        std::string errors;
        std::istringstream stream(bytes);
        if (!Json::parseFromStream(builder, stream, &root, &errors)) {
            OutputDebugMessage(L"StringResManager::Load() parse error : %s", Utf8ToWide(errors).c_str());
            return false;
        }
        if (!root.isObject() || !root.isMember("strings")) return false;
        const Json::Value& strings = root["strings"];
        if (!strings.isArray()) return false;
        for (const Json::Value& element : strings) {
            // A bad element ends the load; the pairs read so far stay.
            if (!element.isObject() || !element["key"].isString() || !element["value"].isString()) return false;
            const std::wstring key = Utf8ToWide(element["key"].asString());
            const std::wstring value = Utf8ToWide(element["value"].asString());
            table_.emplace(key, value);  // the first occurrence wins
        }
        return true;
    } catch (const std::exception& e) {
        OutputDebugMessage(L"StringResManager::Load() exception : %s", Utf8ToWide(e.what()).c_str());
        return false;
    }
}

std::wstring StringResManager::GetString(const std::wstring& key) const
{
    const auto found = table_.find(key);
    return found == table_.end() ? key : found->second;
}

}  // namespace Lumen
