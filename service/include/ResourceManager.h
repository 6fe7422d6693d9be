#pragma once

#include "Lumen/StringResManager.h"

// The service's resources: its language table. One per process, created on
// first use.
class ResourceManager {
public:
    static ResourceManager* GetInstance();

    // Loads the language table; false when it cannot be loaded.
    bool Initialize() { return strings_.Load(); }
    std::wstring GetString(const std::wstring& key) const { return strings_.GetString(key); }

private:
    ResourceManager() = default;
    Lumen::StringResManager strings_;
};
