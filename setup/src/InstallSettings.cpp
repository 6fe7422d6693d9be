#include "InstallSettings.h"

#include <cctype>

namespace PavoSetup {

namespace {

bool StartsWithNoCase(const std::string& text, const char* prefix)
{
    for (size_t i = 0; prefix[i] != 0; ++i) {
        if (i >= text.size() || std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    }
    return true;
}

bool IsHostChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_';
}

bool IsIpv6Char(char c) { return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.'; }

std::string Trim(const std::string& text)
{
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

const std::vector<SettingProperty>& SettingProperties()
{
    static const std::vector<SettingProperty> properties = {
        {"SERVER_URL", "Pavo_HOST_URL"},
        {"REMOTE_ASSIST_URL", "REMOTE_ASSIST_URL"},
        {"SERVER_CERT_SHA256", "SERVER_CERT_SHA256"},
    };
    return properties;
}

bool IsValidServerAddress(const std::string& url, std::string* reason)
{
    for (const char c : url) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u == 0x7f) {
            *reason = "it contains a space or a control character";
            return false;
        }
        if (c == '?' || c == '#') {
            *reason = "it has a query or a fragment";
            return false;
        }
        if (c == '\\' || c == '"') {
            *reason = "it contains a backslash or a quotation mark";
            return false;
        }
    }
    size_t at = 0;
    if (StartsWithNoCase(url, "http://")) {
        at = 7;
    } else if (StartsWithNoCase(url, "https://")) {
        at = 8;
    } else {
        *reason = "it does not begin with http:// or https://";
        return false;
    }
    const size_t pathStart = url.find('/', at);
    const std::string authority = url.substr(at, pathStart == std::string::npos ? std::string::npos : pathStart - at);
    if (authority.find('@') != std::string::npos) {
        *reason = "it has user information (@)";
        return false;
    }
    size_t hostEnd = 0;
    if (!authority.empty() && authority[0] == '[') {
        hostEnd = authority.find(']');
        if (hostEnd == std::string::npos || hostEnd == 1) {
            *reason = "its IPv6 address is not closed by ]";
            return false;
        }
        for (size_t i = 1; i < hostEnd; ++i) {
            if (!IsIpv6Char(authority[i])) {
                *reason = "its IPv6 address holds a character other than hex digits, : and .";
                return false;
            }
        }
        ++hostEnd;
    } else {
        while (hostEnd < authority.size() && IsHostChar(authority[hostEnd])) ++hostEnd;
        if (hostEnd == 0) {
            *reason = "it has no host";
            return false;
        }
    }
    if (hostEnd < authority.size()) {
        if (authority[hostEnd] != ':') {
            *reason = "its host holds a character other than letters, digits, '-', '_' and '.'";
            return false;
        }
        const std::string port = authority.substr(hostEnd + 1);
        unsigned long number = 0;
        bool digits = !port.empty() && port.size() <= 5;
        for (const char c : port) {
            if (!std::isdigit(static_cast<unsigned char>(c))) digits = false;
            else number = number * 10 + static_cast<unsigned long>(c - '0');
        }
        if (!digits || number == 0 || number > 65535) {
            *reason = "its port is not a number from 1 to 65535";
            return false;
        }
    }
    return true;
}

bool NormalizeFingerprints(const std::string& text, std::string* normalized, std::string* reason)
{
    normalized->clear();
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        const std::string item = Trim(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        std::string digits;
        for (const char c : item) {
            if (c == ':') continue;
            if (!std::isxdigit(static_cast<unsigned char>(c))) {
                *reason = "a fingerprint holds a character other than hex digits";
                return false;
            }
            digits += c;
        }
        if (digits.size() != 64) {
            *reason = "a fingerprint does not have 64 hex digits";
            return false;
        }
        if (!normalized->empty()) *normalized += ',';
        *normalized += digits;
        if (comma == std::string::npos) return true;
        start = comma + 1;
    }
}

bool CheckSetting(const SettingProperty& property, const std::string& value, TableSetting* setting,
                  std::string* reason)
{
    setting->property = property.property;
    setting->key = property.key;
    if (setting->key == "SERVER_CERT_SHA256") return NormalizeFingerprints(value, &setting->value, reason);
    if (!IsValidServerAddress(value, reason)) return false;
    setting->value = value;
    if (setting->key == "Pavo_HOST_URL") {
        // Only the path's trailing slashes: the "//" after the scheme stays.
        const size_t pathStart = value.find('/', value.find("//") + 2);
        size_t end = value.size();
        while (pathStart != std::string::npos && end > pathStart && value[end - 1] == '/') --end;
        setting->value.resize(end);
    }
    return true;
}

std::string PackSettings(const std::string& installDir, const std::vector<TableSetting>& settings)
{
    std::string data = installDir;
    for (const TableSetting& setting : settings) data += '\t' + setting.property + '\t' + setting.key + '\t' + setting.value;
    return data;
}

bool UnpackSettings(const std::string& data, std::string* installDir, std::vector<TableSetting>* settings)
{
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        const size_t tab = data.find('\t', start);
        fields.push_back(data.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) break;
        start = tab + 1;
    }
    if (fields[0].empty() || (fields.size() - 1) % 3 != 0) return false;
    *installDir = fields[0];
    settings->clear();
    for (size_t i = 1; i < fields.size(); i += 3) settings->push_back({fields[i], fields[i + 1], fields[i + 2]});
    return true;
}

}  // namespace PavoSetup
