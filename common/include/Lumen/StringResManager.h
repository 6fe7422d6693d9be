#pragma once

#include <map>
#include <string>

namespace Lumen {

// The language table: every user-visible text is looked up by its Korean
// source sentence. Loaded once on the main thread; read-only afterwards, so
// GetString needs no lock.
class StringResManager {
public:
    // Picks "KOR" on a Korean system and "ENG" on every other.
    StringResManager();
    virtual ~StringResManager() = default;

    // Loads "language\<code>.json" beside the program.
    bool Load();
    // Loads the given file. False when it is missing, not JSON, has no
    // "strings" array, or an element without string "key" and "value"; pairs
    // read before a bad element stay.
    bool LoadFile(const std::wstring& path);

    // The text for `key`, or `key` itself when the table has none.
    std::wstring GetString(const std::wstring& key) const;

    const std::wstring& GetLanguageCode() const { return languageCode_; }
    size_t GetCount() const { return table_.size(); }

    // "KOR" for the abbreviated language name "KOR" in any case, else "ENG".
    static std::wstring LanguageCodeFor(const std::wstring& abbreviatedLanguageName);
    // "<directory>language\<code in lower case>.json"
    static std::wstring LanguageFilePath(const std::wstring& programDirectory, const std::wstring& code);

private:
    std::map<std::wstring, std::wstring> table_;
    std::wstring languageCode_;
};

}  // namespace Lumen
