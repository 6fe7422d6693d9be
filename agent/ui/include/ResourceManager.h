#pragma once

#include <string>

#include "Lumen/StringResManager.h"

// The agent's resources, one per process, created on first use and destroyed
// at exit. It answers text lookups for the whole agent: user-facing
// sentences and the server address keys.
class ResourceManager {
public:
    static ResourceManager* GetInstance();
    static void DestroyInstance();

    // Loads the language table beside the program; false when it cannot.
    bool Initialize();
    // Loads the language table from `path` instead (first key wins, so load
    // once per process).
    bool InitializeStrings(const std::wstring& path);

    // The text for `key`, or the key itself when the table has none.
    std::wstring GetString(const std::wstring& key) const { return strings_.GetString(key); }
    const Lumen::StringResManager& GetStringResManager() const { return strings_; }

private:
    ResourceManager() = default;
    Lumen::StringResManager strings_;
};
