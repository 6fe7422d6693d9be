// The installer package's custom actions. CheckInstallSettings runs in the
// immediate sequence before anything is changed: a bad public property fails
// the installation with a log line that names it. WriteInstallSettings runs
// deferred, in the system context, after the files are in place and before
// the service starts the agent, and writes the checked values into every
// installed language table.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <string>
#include <vector>

#include "InstallSettings.h"
#include "Lumen/FileUtils.h"
#include "Lumen/StringTable.h"
#include "Lumen/StringUtils.h"
#include "Lumen/UniqueHandle.h"

namespace {

struct MsiHandleTraits {
    using Type = MSIHANDLE;
    static Type Invalid() noexcept { return 0; }
    static bool IsValid(Type h) noexcept { return h != 0; }
    static void Close(Type h) noexcept { ::MsiCloseHandle(h); }
};
using ScopedMsiHandle = Lumen::UniqueHandle<MsiHandleTraits>;

// The deferred action reads its data from the property named after it.
const wchar_t kWriteAction[] = L"WriteInstallSettings";

// A line in the installation log; an error also reaches the user interface
// (a message box in a full-UI installation, nothing with /qn).
void Log(MSIHANDLE install, const std::string& text, bool error)
{
    ScopedMsiHandle record(::MsiCreateRecord(1));
    if (!record) return;
    ::MsiRecordSetStringW(record.Get(), 0, L"[1]");
    ::MsiRecordSetStringW(record.Get(), 1, Lumen::Utf8ToWide("PavoSetup: " + text).c_str());
    ::MsiProcessMessage(install, INSTALLMESSAGE_INFO, record.Get());
    if (error)
        ::MsiProcessMessage(install, static_cast<INSTALLMESSAGE>(INSTALLMESSAGE_ERROR | MB_OK | MB_ICONERROR),
                            record.Get());
}

// A value as it may appear in a log line: control characters shown as '?'.
std::string Printable(std::string text)
{
    for (char& c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f) c = '?';
    }
    return text;
}

bool GetProperty(MSIHANDLE install, const wchar_t* name, std::string* value)
{
    DWORD size = 0;
    wchar_t empty[1] = {};
    UINT result = ::MsiGetPropertyW(install, name, empty, &size);
    if (result == ERROR_SUCCESS) {
        value->clear();
        return true;
    }
    if (result != ERROR_MORE_DATA) return false;
    std::wstring text(++size, L'\0');
    if (::MsiGetPropertyW(install, name, &text[0], &size) != ERROR_SUCCESS) return false;
    text.resize(size);
    *value = Lumen::WideToUtf8(text);
    return true;
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes)
{
    // A whole new file moved over the old one: a failure never leaves half a table.
    const std::wstring temporary = path + L".new";
    {
        Lumen::ScopedHandle file(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                               FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return false;
        DWORD written = 0;
        if (!::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
            written != bytes.size() || !::FlushFileBuffers(file.Get())) {
            file.Reset();
            ::DeleteFileW(temporary.c_str());
            return false;
        }
    }
    if (::MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    const DWORD error = ::GetLastError();
    ::DeleteFileW(temporary.c_str());
    ::SetLastError(error);
    return false;
}

std::vector<std::wstring> LanguageTables(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found = {};
    Lumen::ScopedFindHandle search(::FindFirstFileW((folder + L"*.json").c_str(), &found));
    if (!search) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (::FindNextFileW(search.Get(), &found));
    return names;
}

}  // namespace

extern "C" __declspec(dllexport) UINT __stdcall CheckInstallSettings(MSIHANDLE install)
{
    std::vector<PavoSetup::TableSetting> settings;
    for (const PavoSetup::SettingProperty& property : PavoSetup::SettingProperties()) {
        std::string value;
        if (!GetProperty(install, Lumen::Utf8ToWide(property.property).c_str(), &value)) {
            Log(install, std::string("cannot read the property ") + property.property, true);
            return ERROR_INSTALL_FAILURE;
        }
        if (value.empty()) continue;
        PavoSetup::TableSetting setting;
        std::string reason;
        if (!PavoSetup::CheckSetting(property, value, &setting, &reason)) {
            Log(install,
                std::string("the property ") + property.property + " = \"" + Printable(value) + "\" is not valid: " + reason +
                    (setting.key == "SERVER_CERT_SHA256"
                         ? " (expected SHA-256 fingerprints of 64 hex digits, comma-separated)"
                         : " (expected http:// or https://, a host, an optional port and path)"),
                true);
            return ERROR_INSTALL_FAILURE;
        }
        Log(install, std::string(property.property) + " sets \"" + setting.key + "\" to \"" + setting.value + "\"",
            false);
        settings.push_back(setting);
    }
    std::string installDir;
    if (!GetProperty(install, L"INSTALLDIR", &installDir) || installDir.empty()) {
        Log(install, "the install folder (INSTALLDIR) is not known", true);
        return ERROR_INSTALL_FAILURE;
    }
    const std::string data = settings.empty() ? "" : PavoSetup::PackSettings(installDir, settings);
    if (::MsiSetPropertyW(install, kWriteAction, Lumen::Utf8ToWide(data).c_str()) != ERROR_SUCCESS) {
        Log(install, "cannot hand the settings to the deferred action", true);
        return ERROR_INSTALL_FAILURE;
    }
    return ERROR_SUCCESS;
}

extern "C" __declspec(dllexport) UINT __stdcall WriteInstallSettings(MSIHANDLE install)
{
    std::string data;
    if (!GetProperty(install, L"CustomActionData", &data)) {
        Log(install, "cannot read the deferred action's data", true);
        return ERROR_INSTALL_FAILURE;
    }
    if (data.empty()) return ERROR_SUCCESS;  // no property given and none remembered
    std::string installDir;
    std::vector<PavoSetup::TableSetting> settings;
    if (!PavoSetup::UnpackSettings(data, &installDir, &settings)) {
        Log(install, "the deferred action's data is malformed", true);
        return ERROR_INSTALL_FAILURE;
    }
    const std::wstring folder = Lumen::Utf8ToWide(installDir) + L"language\\";
    const std::vector<std::wstring> tables = LanguageTables(folder);
    if (tables.empty()) {
        Log(install, "no language table in " + Lumen::WideToUtf8(folder), true);
        return ERROR_INSTALL_FAILURE;
    }
    for (const std::wstring& name : tables) {
        const std::wstring path = folder + name;
        std::string bytes;
        if (!Lumen::ReadWholeFile(path, bytes)) {
            Log(install, "cannot read " + Lumen::WideToUtf8(path) + ", error " + std::to_string(::GetLastError()), true);
            return ERROR_INSTALL_FAILURE;
        }
        for (const PavoSetup::TableSetting& setting : settings) {
            std::string changed;
            std::string error;
            if (!Lumen::SetStringTableValue(bytes, setting.key, setting.value, &changed, &error)) {
                Log(install, "cannot set \"" + setting.key + "\" in " + Lumen::WideToUtf8(path) + ": " + error, true);
                return ERROR_INSTALL_FAILURE;
            }
            bytes.swap(changed);
        }
        if (!WriteWholeFile(path, bytes)) {
            Log(install, "cannot write " + Lumen::WideToUtf8(path) + ", error " + std::to_string(::GetLastError()),
                true);
            return ERROR_INSTALL_FAILURE;
        }
        Log(install, "wrote " + std::to_string(settings.size()) + " setting(s) into " + Lumen::WideToUtf8(path),
            false);
    }
    return ERROR_SUCCESS;
}
