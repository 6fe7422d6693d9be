#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Lumen/StringResManager.h"

namespace Lumen {
class SkinManager;
}

// The agent's resources, one per process, created on first use and destroyed
// at exit: the language table, the skin and the fonts that ship beside the
// program.
//
// The text lookup (ResourceManager.cpp, library pavo_agent_strings) needs
// nothing of the window system, so that the server side links it alone; the
// skin and the fonts (ResourceManagerSkin.cpp, library pavo_agent_ui) bring in
// the interface toolkit. Both halves are one object: the skin is held as a
// shared pointer, whose deleter comes from the half that creates it.
class ResourceManager {
public:
    static ResourceManager* GetInstance();
    static void DestroyInstance();

    // --- Text lookup (pavo_agent_strings) ---

    // Loads the language table beside the program; false when it cannot.
    bool Initialize();
    // Loads the language table from `path` instead (first key wins, so load
    // once per process).
    bool InitializeStrings(const std::wstring& path);

    // The text for `key`, or the key itself when the table has none.
    std::wstring GetString(const std::wstring& key) const { return strings_.GetString(key); }
    const Lumen::StringResManager& GetStringResManager() const { return strings_; }

    // --- Skin and fonts (pavo_agent_ui) ---

    // Start-up: unpacks the skin archive into memory, reads the resource
    // names, registers the fonts of the "font" folder and loads the language
    // table, all beside the running program. False when no font could be
    // registered or the language table cannot be loaded.
    bool Load();
    // The same for a program `programFileName` in `programDirectory`.
    bool Load(const std::wstring& programDirectory, const std::wstring& programFileName);
    // The rest of the start-up, which nothing on the first page waits for:
    // tells the other programs of the new fonts, clears the skin folders of
    // sessions that have ended and starts writing the skin's files. Once
    // after Load; Unload works without it.
    void FinishLoad();
    // Exit: deletes this session's unpacked skin (and the common skin folder
    // when it is then empty) and removes the registered fonts.
    // Returns how many fonts were removed.
    int Unload();

    // The skin (created empty for the program's folder on first use).
    Lumen::SkinManager* GetSkinManager();
    // The folder the skin is unpacked into ("" before Load): the session's
    // own folder, skin\<program file name>\<session id>.
    const std::wstring& GetSkinFolder() const { return skinFolder_; }
    const std::vector<std::wstring>& GetFontFiles() const { return fontFiles_; }

private:
    ResourceManager() = default;

    Lumen::StringResManager strings_;
    std::shared_ptr<Lumen::SkinManager> skin_;
    std::wstring skinBase_;    // skin\<program file name>, shared by the sessions
    std::wstring skinFolder_;  // this session's folder below it
    std::vector<std::wstring> fontFiles_;
};
