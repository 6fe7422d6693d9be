// The skin and font half of ResourceManager (see ResourceManager.h).
#include <windows.h>

#include "DirectoryUtils.h"
#include "Lumen/PathUtils.h"
#include "ResourceManager.h"
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
    skinFolder_ = Lumen::JoinPath(Lumen::JoinPath(programDirectory, L"skin"), programFileName);
    skin_->SetUnpackDirectory(skinFolder_);
    const std::wstring fontFolder = Lumen::JoinPath(programDirectory, L"font");

    skin_->UnpackSkin();
    skin_->LoadResource();
    Lumen::SkinDialog::SetDefaultResources(skin_.get(), &strings_);

    fontFiles_ = Lumen::ListFiles(fontFolder);
    int registered = 0;
    for (const std::wstring& file : fontFiles_) {
        if (::AddFontResourceW(file.c_str()) > 0) ++registered;
    }
    if (registered == 0) return false;
    BroadcastFontChange();
    return strings_.LoadFile(Lumen::StringResManager::LanguageFilePath(programDirectory, strings_.GetLanguageCode()));
}

int ResourceManager::Unload()
{
    // The dialogs made after this point find no skin rather than a stale one.
    Lumen::SkinDialog::SetDefaultResources(nullptr, nullptr);
    if (!skinFolder_.empty()) Lumen::DeleteDirectoryTree(skinFolder_);
    int removed = 0;
    for (const std::wstring& file : fontFiles_) {
        if (::RemoveFontResourceW(file.c_str())) ++removed;
    }
    fontFiles_.clear();
    if (removed > 0) BroadcastFontChange();
    return removed;
}
