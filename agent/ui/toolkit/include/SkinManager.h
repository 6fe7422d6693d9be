#pragma once

#include <map>
#include <string>

#include <json/value.h>

namespace Lumen {

// The skin of the agent: unpacks the skin archive, maps resource names to
// numeric identifiers (resource.json) and hands out the skin description of
// a dialog and the folder of its images.
// Filled on the UI thread before other threads start; afterwards lookups
// only (an unknown name is entered by IdentifierByName, UI thread only).
class SkinManager {
public:
    // `programDirectory`: the folder of the program (the skin folder "skin"
    // is joined to it).
    explicit SkinManager(const std::wstring& programDirectory);

    // Deletes the unpack folder, then unpacks skin\<skin name>.zip into it.
    // A missing archive leaves nothing unpacked and is no error; false when
    // the archive is there and could not be unpacked completely.
    bool UnpackSkin();
    // Reads <unpack>\100\resource.json into the identifier maps. A missing
    // file reads nothing; a malformed one ends the reading (debug output).
    void LoadResource();
    // Fills the identifier maps from resource.json text; false (with the
    // reason in `error`) when it cannot be read. Entries before a bad one stay.
    bool ParseResourceTable(const std::string& text, std::string* error);

    // The identifier of `name` from resource.json; an unknown name is
    // entered with 0 and 0 is returned.
    int IdentifierByName(const std::wstring& name);
    // The resource name of `id`; "" when unknown.
    std::wstring NameByIdentifier(int id) const;
    // The "skin_info_list" of the dialog `dialogId`'s description; false when
    // the file is missing, malformed or lacks the member.
    bool LoadSkin(int dialogId, Json::Value& skinInfoList) const;

    void SetUnpackDirectory(const std::wstring& path) { unpackDirectory_ = path; }
    const std::wstring& GetUnpackDirectory() const { return unpackDirectory_; }
    const std::wstring& GetSkinDirectory() const { return skinDirectory_; }
    const std::wstring& GetSkinName() const { return skinName_; }
    // The unpack folder joined with the scale folder: image names are
    // relative to it.
    std::wstring GetImageDirectory() const;
    // Face name of the system's DEFAULT_GUI_FONT, read at construction.
    const std::wstring& GetDefaultFaceName() const { return defaultFaceName_; }

private:
    std::wstring skinDirectory_;
    std::wstring scaleFolder_ = L"100";
    std::wstring skinName_ = L"PavoAgent_default";
    std::wstring unpackDirectory_;
    std::map<int, std::wstring> nameById_;
    std::map<std::wstring, int> idByName_;
    std::wstring defaultFaceName_;
};

}  // namespace Lumen
