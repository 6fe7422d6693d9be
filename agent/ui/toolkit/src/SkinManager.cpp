#include "SkinManager.h"

#include <windows.h>

#include <exception>
#include <memory>

#include <json/reader.h>

#include "DirectoryUtils.h"
#include "Lumen/DebugOutput.h"
#include "Lumen/FileUtils.h"
#include "Lumen/PathUtils.h"
#include "Lumen/StringUtils.h"
#include "ZipFormat.h"

namespace Lumen {

namespace {

bool ParseJson(const std::string& text, Json::Value& root, std::string* error)
{
    Json::CharReaderBuilder builder;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string message;
    if (!reader->parse(text.data(), text.data() + text.size(), &root, &message)) {
        if (error != nullptr) *error = message;
        return false;
    }
    return true;
}

}  // namespace

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
    try {
        Json::Value root;
        if (!ParseJson(text, root, error)) return false;
        if (!root.isObject() || !root.isMember("resource")) return true;
        const Json::Value& list = root["resource"];
        for (Json::ArrayIndex i = 0; i < list.size(); ++i) {
            const Json::Value& entry = list[i];
            const std::wstring name = Utf8ToWide(entry["id"].asString());
            const int value = static_cast<int>(entry["value"].asUInt());
            nameById_.emplace(value, name);
            idByName_.emplace(name, value);
        }
        return true;
    } catch (const std::exception& e) {
        if (error != nullptr) *error = e.what();
        return false;
    }
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
    const std::wstring path = JoinPath(JoinPath(unpackDirectory_, scaleFolder_), name + L".json");
    if (!FileExists(path)) return false;
    try {
        std::string text;
        if (!ReadWholeFile(path, text)) return false;
        Json::Value root;
        std::string error;
        if (!ParseJson(text, root, &error)) {
            OutputDebugMessage(L"fail to load skin : %s", Utf8ToWide(error).c_str());
            return false;
        }
        if (!root.isObject() || !root.isMember("skin_info_list")) return false;
        skinInfoList = root["skin_info_list"];
        return true;
    } catch (const std::exception& e) {
        OutputDebugMessage(L"fail to load skin : %s", Utf8ToWide(e.what()).c_str());
        return false;
    }
}

std::wstring SkinManager::GetImageDirectory() const
{
    return JoinPath(unpackDirectory_, scaleFolder_);
}

}  // namespace Lumen
