#include "SkinManager.h"

#include <windows.h>

#include "DirectoryUtils.h"
#include "Lumen/DebugOutput.h"
#include "Lumen/FileUtils.h"
#include "Lumen/PathUtils.h"
#include "Lumen/StringUtils.h"
#include "SkinDocuments.h"
#include "ZipFormat.h"

namespace Lumen {

SkinManager::SkinManager(const std::wstring& programDirectory)
    : skinDirectory_(JoinPath(programDirectory, L"skin"))
{
    LOGFONTW font = {};
    if (::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(font), &font) != 0) {
        defaultFaceName_ = font.lfFaceName;
    }
}

bool SkinManager::UnpackSkin()
{
    const std::wstring archive = JoinPath(skinDirectory_, skinName_) + L".zip";
    if (DirectoryExists(unpackDirectory_)) DeleteDirectoryTree(unpackDirectory_);
    ZipFormat zip;
    if (!zip.Open(archive, FormatBase::OpenMode::kRead)) return true;  // no archive: defaults
    return zip.ExtractAll(unpackDirectory_);
}

bool SkinManager::ParseResourceTable(const std::string& text, std::string* error)
{
    std::string reason;
    const bool read = Lumen::ParseResourceTable(text, &nameById_, &idByName_, &reason);
    if (error != nullptr) *error = reason;
    return read;
}

void SkinManager::LoadResource()
{
    const std::wstring path = JoinPath(JoinPath(unpackDirectory_, scaleFolder_), L"resource.json");
    if (!FileExists(path)) return;
    std::string text;
    std::string error;
    if (!ReadWholeFile(path, text)) {
        OutputDebugMessage(L"fail to LoadResource : %s", L"the file cannot be read");
    } else if (!ParseResourceTable(text, &error)) {
        OutputDebugMessage(L"fail to LoadResource : %s", Utf8ToWide(error).c_str());
    }
}

int SkinManager::IdentifierByName(const std::wstring& name)
{
    return idByName_.emplace(name, 0).first->second;
}

std::wstring SkinManager::NameByIdentifier(int id) const
{
    const auto found = nameById_.find(id);
    return found != nameById_.end() ? found->second : std::wstring();
}

bool SkinManager::LoadSkin(int dialogId, Json::Value& skinInfoList) const
{
    const std::wstring name = NameByIdentifier(dialogId);
    if (name.empty()) return false;
    const std::wstring file = SkinDescriptionFileName(name);
    if (file.empty()) {
        OutputDebugMessage(L"fail to load skin : %s", L"the resource name is no plain file name");
        return false;
    }
    const std::wstring path = JoinPath(JoinPath(unpackDirectory_, scaleFolder_), file);
    if (!FileExists(path)) return false;
    std::string text;
    if (!ReadWholeFile(path, text)) return false;
    std::string error;
    if (!ParseSkinDescription(text, &skinInfoList, &error)) {
        if (!error.empty()) OutputDebugMessage(L"fail to load skin : %s", Utf8ToWide(error).c_str());
        return false;
    }
    return true;
}

std::wstring SkinManager::GetImageDirectory() const
{
    return JoinPath(unpackDirectory_, scaleFolder_);
}

}  // namespace Lumen
