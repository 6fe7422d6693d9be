#include "SkinManager.h"

#include <windows.h>

#include <memory>
#include <system_error>
#include <vector>

#include "DirectoryUtils.h"
#include "FontHelper.h"
#include "Lumen/DebugOutput.h"
#include "Lumen/FileUtils.h"
#include "Lumen/PathUtils.h"
#include "Lumen/StringUtils.h"
#include "SkinDocuments.h"
#include "ZipEntryName.h"
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

namespace {

std::wstring LowerCase(std::wstring text)
{
    if (!text.empty()) ::CharLowerBuffW(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

bool WriteEntries(const std::wstring& destination, const std::vector<ZipFormat::Entry>& entries)
{
    if (!CreateDirectoryTree(destination)) return false;
    for (const ZipFormat::Entry& entry : entries) {
        if (!ZipFormat::WriteEntry(destination, entry)) {
            OutputDebugMessage(L"fail to write skin file : %s, error : %d", entry.relativePath.c_str(),
                               static_cast<int>(::GetLastError()));
            return false;
        }
    }
    return true;
}

}  // namespace

SkinManager::~SkinManager()
{
    CancelWritingFiles();
}

bool SkinManager::UnpackSkin()
{
    CancelWritingFiles();
    files_.clear();
    const std::wstring archive = JoinPath(skinDirectory_, skinName_) + L".zip";
    if (DirectoryExists(unpackDirectory_)) DeleteDirectoryTree(unpackDirectory_);
    ZipFormat zip;
    if (!zip.Open(archive, FormatBase::OpenMode::kRead)) return true;  // no archive: defaults
    // An entry that fails ends the reading; those read before it are still
    // used and written, as an extraction would have left them.
    auto entries = std::make_shared<std::vector<ZipFormat::Entry>>();
    const bool complete = zip.ReadAll(entries.get());
    zip.Close();
    for (const ZipFormat::Entry& entry : *entries) {
        if (!entry.isDirectory) {
            files_[LowerCase(ZipEntryName::TargetPath(unpackDirectory_, entry.relativePath))] = entry.bytes;
        }
    }
    const std::wstring destination = unpackDirectory_;
    std::lock_guard<std::mutex> lock(diskCopyLock_);
    pendingCopy_ = [destination, entries] { return WriteEntries(destination, *entries); };
    diskCopied_ = false;
    return complete;
}

void SkinManager::StartWritingFiles()
{
    std::lock_guard<std::mutex> lock(diskCopyLock_);
    if (!pendingCopy_) return;
    try {
        diskCopy_ = std::async(std::launch::async, pendingCopy_);
    } catch (const std::system_error&) {
        diskCopied_ = pendingCopy_();  // no thread: written here
    }
    pendingCopy_ = nullptr;
}

void SkinManager::CancelWritingFiles()
{
    {
        std::lock_guard<std::mutex> lock(diskCopyLock_);
        pendingCopy_ = nullptr;
    }
    WaitUnpacked();
}

bool SkinManager::WaitUnpacked()
{
    std::lock_guard<std::mutex> lock(diskCopyLock_);
    if (pendingCopy_) {
        diskCopied_ = pendingCopy_();
        pendingCopy_ = nullptr;
    }
    if (diskCopy_.valid()) {
        try {
            diskCopied_ = diskCopy_.get();
        } catch (const std::exception&) {
            diskCopied_ = false;
        }
    }
    return diskCopied_;
}

bool SkinManager::ReadSkinFile(const std::wstring& path, std::string* bytes)
{
    if (bytes == nullptr) return false;
    const auto found = files_.find(LowerCase(path));
    if (found != files_.end()) {
        *bytes = found->second;
        return true;
    }
    WaitUnpacked();
    return FileExists(path) && ReadWholeFile(path, *bytes);
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
    std::string text;
    std::string error;
    if (!ReadSkinFile(path, &text)) return;  // no file: nothing to read
    if (!ParseResourceTable(text, &error)) {
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

bool SkinManager::LoadSkin(int dialogId, Json::Value& skinInfoList)
{
    const std::wstring name = NameByIdentifier(dialogId);
    if (name.empty()) return false;
    const std::wstring file = SkinDescriptionFileName(name);
    if (file.empty()) {
        OutputDebugMessage(L"fail to load skin : %s", L"the resource name is no plain file name");
        return false;
    }
    const std::wstring path = JoinPath(JoinPath(unpackDirectory_, scaleFolder_), file);
    std::string text;
    if (!ReadSkinFile(path, &text)) return false;
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

bool SkinManager::IsFaceInstalled(const std::wstring& face)
{
    {
        std::lock_guard<std::mutex> lock(facesLock_);
        if (installedFaces_.count(face) != 0) return true;
    }
    // Asking the system enumerates its fonts: once per face is enough.
    if (!FontHelper::IsInstalled(face)) return false;
    std::lock_guard<std::mutex> lock(facesLock_);
    installedFaces_.insert(face);
    return true;
}

}  // namespace Lumen
