// The skin and font half of ResourceManager (see ResourceManager.h).
#include <windows.h>

#include <vector>

#include "DirectoryUtils.h"
#include "ImageLoader.h"
#include "Lumen/LogManager.h"
#include "Lumen/PathUtils.h"
#include "Lumen/SessionUtils.h"
#include "ResourceManager.h"
#include "SessionFolders.h"
#include "SkinDialog.h"
#include "SkinManager.h"

namespace {

// A top-level window that does not answer must not stop start-up or exit.
void BroadcastFontChange()
{
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(HWND_BROADCAST, WM_FONTCHANGE, 0, 0, SMTO_ABORTIFHUNG, 2000, &ignored);
}

}  // namespace

Lumen::SkinManager* ResourceManager::GetSkinManager()
{
    if (!skin_) skin_ = std::make_shared<Lumen::SkinManager>(Lumen::GetModuleDirectory());
    return skin_.get();
}

bool ResourceManager::Load()
{
    return Load(Lumen::GetModuleDirectory(), Lumen::FileNameOf(Lumen::GetModulePath()));
}

bool ResourceManager::Load(const std::wstring& programDirectory, const std::wstring& programFileName)
{
    skin_ = std::make_shared<Lumen::SkinManager>(programDirectory);
    // Each logon session unpacks into its own folder: agents of users logged
    // in at the same time must not delete each other's skin.
    skinBase_ = Lumen::JoinPath(Lumen::JoinPath(programDirectory, L"skin"), programFileName);
    skinFolder_ = Lumen::SessionFolders::FolderFor(skinBase_, Lumen::SessionUtils::GetProcessSessionId());
    skin_->SetUnpackDirectory(skinFolder_);
    const std::wstring fontFolder = Lumen::JoinPath(programDirectory, L"font");

    if (!skin_->UnpackSkin()) {
        // The reason (a refused entry, a cap, a damaged archive) is on the debug output.
        Lumen::LogManager::GetInstance()->Error(L"[%s, %d] 스킨 압축을 풀지 못했습니다. folder : %s",
                                                L"ResourceManager::Load", __LINE__, skinFolder_.c_str());
    }
    // Pictures come from the archive in memory; its files are written later.
    const std::shared_ptr<Lumen::SkinManager> skin = skin_;
    Lumen::ImageLoader::SetFileSource(
        [skin](const std::wstring& path, std::string* bytes) { return skin->ReadSkinFile(path, bytes); },
        [skin] { skin->WaitUnpacked(); });
    skin_->LoadResource();
    Lumen::SkinDialog::SetDefaultResources(skin_.get(), &strings_);

    fontFiles_ = Lumen::ListFiles(fontFolder);
    int registered = 0;
    for (const std::wstring& file : fontFiles_) {
        if (::AddFontResourceW(file.c_str()) > 0) ++registered;
    }
    if (registered == 0) return false;
    return strings_.LoadFile(Lumen::StringResManager::LanguageFilePath(programDirectory, strings_.GetLanguageCode()));
}

void ResourceManager::FinishLoad()
{
    if (!fontFiles_.empty()) BroadcastFontChange();
    // Folders of sessions that have ended are cleared here, since their
    // agents could not.
    if (!skinBase_.empty()) {
        std::vector<DWORD> live;
        const bool enumerated = Lumen::SessionUtils::EnumerateSessionIds(&live);
        Lumen::SessionFolders::RemoveStale(skinBase_, std::vector<std::uint32_t>(live.begin(), live.end()), enumerated,
                                           Lumen::SessionUtils::GetProcessSessionId());
    }
    if (skin_) skin_->StartWritingFiles();
}

int ResourceManager::Unload()
{
    // The dialogs made after this point find no skin rather than a stale one.
    Lumen::SkinDialog::SetDefaultResources(nullptr, nullptr);
    Lumen::ImageLoader::SetFileSource(nullptr, nullptr);
    // The folder goes only once nothing is being written into it.
    if (skin_) skin_->CancelWritingFiles();
    if (!skinFolder_.empty()) Lumen::DeleteDirectoryTree(skinFolder_);
    // The common folder goes only once no session's folder is left in it.
    if (!skinBase_.empty()) ::RemoveDirectoryW(skinBase_.c_str());
    int removed = 0;
    for (const std::wstring& file : fontFiles_) {
        if (::RemoveFontResourceW(file.c_str())) ++removed;
    }
    fontFiles_.clear();
    if (removed > 0) BroadcastFontChange();
    return removed;
}
