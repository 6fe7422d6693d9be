#pragma once

#include <string>
#include <vector>

// What the installer package writes into the language tables: the public
// properties an administrator passes to msiexec, checked, and carried from
// the immediate to the deferred custom action. Portable C++: no Win32.
namespace PavoSetup {

// One language-table entry that an install sets.
struct TableSetting {
    std::string property;  // the public property it came from, for the log
    std::string key;       // the language-table key
    std::string value;     // UTF-8, as it goes into the table
};

// The public properties, in the order they are checked, with their keys.
struct SettingProperty {
    const char* property;
    const char* key;
};
const std::vector<SettingProperty>& SettingProperties();

// True for an http:// or https:// address (scheme in any case) with a host
// name or bracketed IPv6 address, an optional port 1-65535 and an optional
// path; never user information, a query, a fragment, a backslash, spaces or
// control characters. Otherwise false with the reason in `reason`.
bool IsValidServerAddress(const std::string& url, std::string* reason);

// One or more SHA-256 fingerprints, comma-separated: 64 hex digits each
// (either case; colons between digit pairs and spaces around an item are
// dropped). `normalized` gets them joined by ",".
bool NormalizeFingerprints(const std::string& text, std::string* normalized, std::string* reason);

// Checks the value of one of SettingProperties(); on success `setting`
// holds what goes into the tables. A server address loses its trailing
// slashes, since the agent appends paths that begin with one.
bool CheckSetting(const SettingProperty& property, const std::string& value, TableSetting* setting,
                  std::string* reason);

// The deferred action's data: the install folder and the settings, one
// field per tab (neither a path nor a checked value can hold one).
std::string PackSettings(const std::string& installDir, const std::vector<TableSetting>& settings);
// False when `data` is not what PackSettings makes.
bool UnpackSettings(const std::string& data, std::string* installDir, std::vector<TableSetting>* settings);

}  // namespace PavoSetup
