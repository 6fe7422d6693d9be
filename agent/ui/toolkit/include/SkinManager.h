#pragma once

#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>

#include <json/value.h>

namespace Lumen {

// The skin of the agent: unpacks the skin archive, maps resource names to
// numeric identifiers (resource.json) and hands out the skin description of
// a dialog and the folder of its images.
// Filled on the UI thread before other threads start; afterwards lookups
// only (an unknown name is entered by IdentifierByName, UI thread only).
// The archive is read into memory at once and its files are written out on a
// thread of their own: the skin's own readers take the files from memory
// (ReadSkinFile), so that the first window need not wait for the disk.
class SkinManager {
public:
    // `programDirectory`: the folder of the program (the skin folder "skin"
    // is joined to it).
    explicit SkinManager(const std::wstring& programDirectory);
    // Waits for the files still being written.
    ~SkinManager();

    SkinManager(const SkinManager&) = delete;
    SkinManager& operator=(const SkinManager&) = delete;

    // Deletes the unpack folder and reads skin\<skin name>.zip into memory;
    // its files are written into the folder once StartWritingFiles or
    // WaitUnpacked asks for them, so that the disk work need not compete with
    // the first window. A missing archive leaves nothing unpacked and is no
    // error; false when the archive is there and could not be read
    // completely (the entries before the one that failed are used and written
    // all the same).
    bool UnpackSkin();
    // Starts writing the unpacked files on a thread of their own, unless
    // that has started already.
    void StartWritingFiles();
    // Waits until the unpacked files are all on disk, writing them on this
    // thread when nothing has started to; false when writing one failed.
    // Readers of the folder that do not use ReadSkinFile call it.
    bool WaitUnpacked();
    // Drops the files that nobody has started to write (the folder is about
    // to go) and waits for a writing that has started.
    void CancelWritingFiles();
    // The bytes of a file below the unpack folder by its full path: from
    // memory when the archive holds it, otherwise from the disk once the
    // unpacking is done. Any thread once UnpackSkin has returned.
    bool ReadSkinFile(const std::wstring& path, std::string* bytes);
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
    bool LoadSkin(int dialogId, Json::Value& skinInfoList);

    void SetUnpackDirectory(const std::wstring& path) { unpackDirectory_ = path; }
    const std::wstring& GetUnpackDirectory() const { return unpackDirectory_; }
    const std::wstring& GetSkinDirectory() const { return skinDirectory_; }
    const std::wstring& GetSkinName() const { return skinName_; }
    // The unpack folder joined with the scale folder: image names are
    // relative to it.
    std::wstring GetImageDirectory() const;
    // Face name of the system's DEFAULT_GUI_FONT, read at construction.
    const std::wstring& GetDefaultFaceName() const { return defaultFaceName_; }
    // Whether a font family named `face` is installed. A face once found is
    // remembered while this skin lives (the fonts the skin brings stay
    // registered as long); one not found is looked up again each time.
    bool IsFaceInstalled(const std::wstring& face);

private:
    std::wstring skinDirectory_;
    std::wstring scaleFolder_ = L"100";
    std::wstring skinName_ = L"PavoAgent_default";
    std::wstring unpackDirectory_;
    std::map<int, std::wstring> nameById_;
    std::map<std::wstring, int> idByName_;
    std::wstring defaultFaceName_;
    std::mutex facesLock_;
    std::set<std::wstring> installedFaces_;
    // The archive's files by lower-case full path, and the writing of them.
    std::unordered_map<std::wstring, std::string> files_;
    std::mutex diskCopyLock_;
    std::function<bool()> pendingCopy_;  // the writing, until it is started
    std::future<bool> diskCopy_;
    bool diskCopied_ = true;
};

}  // namespace Lumen
