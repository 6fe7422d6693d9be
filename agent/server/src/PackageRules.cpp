#include "PackageRules.h"

#include <cwctype>
#include <memory>

#include "Lumen/StringUtils.h"
#include "ResultCode.h"
#include "TrustRules.h"

using Lumen::Utf8ToWide;
using Lumen::WideToUtf8;

namespace PackageRules {

namespace {

constexpr const wchar_t* kCompanyPrefixedProduct = L"KTL_9_04";
constexpr size_t kMaxFileName = 255;

// The member `name` of an object, or null; never adds a member.
const Json::Value& Member(const Json::Value& object, const std::string& name)
{
    static const Json::Value kNull;
    if (!object.isObject()) return kNull;
    const Json::Value* found = object.find(name.data(), name.data() + name.size());
    return found != nullptr ? *found : kNull;
}

std::wstring TextOrEmpty(const Json::Value& value)
{
    return value.isString() ? Utf8ToWide(value.asString()) : std::wstring();
}

bool HoldsRules(const Json::Value& member)
{
    return member.isArray() || member.isObject();
}

bool IsDeviceName(const std::wstring& name)
{
    std::wstring base = name.substr(0, name.find(L'.'));
    while (!base.empty() && base.back() == L' ') base.pop_back();
    for (wchar_t& c : base) c = static_cast<wchar_t>(std::towupper(c));
    if (base == L"CON" || base == L"PRN" || base == L"AUX" || base == L"NUL" || base == L"CONIN$" ||
        base == L"CONOUT$")
        return true;
    if (base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0)) {
        const wchar_t digit = base[3];
        return (digit >= L'0' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' || digit == L'\u00B3';
    }
    return false;
}

}  // namespace

bool ParseJsonText(const std::string& text, Json::Value* root, std::string* error)
{
    try {
        Json::CharReaderBuilder builder;
        std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
        return reader->parse(text.data(), text.data() + text.size(), root, error);
    } catch (const std::exception& e) {
        // The reader throws instead of failing for nesting past its limit.
        *error = e.what();
        *root = Json::Value();
        return false;
    }
}

int ParseLicense(const std::string& utf8, LicenseData* data)
{
    try {
        Json::Value root;
        std::string error;
        if (!ParseJsonText(utf8, &root, &error) || !root.isObject() || !root.isMember("resultCode"))
            return AgentResult::kBadResponse;
        const int result = ToResultCode(root["resultCode"].asInt());
        if (result < 0) return result;
        const Json::Value& list = Member(root, "resultList");
        const Json::Value& license = Member(list, "license");
        const Json::Value& info = Member(list, "info");
        if (!list.isObject() || !HoldsRules(license) || !info.isObject()) return AgentResult::kBadResponse;
        for (const Json::Value& entry : license) {
            const Json::Value& type = Member(entry, "type");
            const Json::Value& url = Member(entry, "url");
            if (!type.isString() || !url.isString()) return AgentResult::kBadResponse;
            PRODUCT_INFO product;
            product.productCode = Utf8ToWide(type.asString());
            product.url = Utf8ToWide(url.asString());
            // A pin that cannot be read must not be taken for no pin.
            const Json::Value& sha256 = Member(entry, "sha256");
            std::string digest;
            if (!sha256.isNull()) {
                if (!sha256.isString() || !TrustRules::NormalizeSha256(sha256.asString(), &digest))
                    return AgentResult::kBadResponse;
                data->sha256[product.productCode] = digest;
            }
            data->products.push_back(product);
        }
        if (data->products.empty()) return AgentResult::kBadResponse;
        // The customer fields are for display: a server that leaves one out
        // (or sends something else than text) still lists the products.
        data->customerId = TextOrEmpty(Member(info, "customerId"));
        data->customerName = TextOrEmpty(Member(info, "customerName"));
        data->coNm = TextOrEmpty(Member(info, "co_nm"));
        return result;
    } catch (const std::exception&) {
        return AgentResult::kBadResponse;
    }
}

int ParseLicenseStatus(const std::string& utf8)
{
    try {
        Json::Value root;
        std::string error;
        if (!ParseJsonText(utf8, &root, &error) || !root.isObject() || !root.isMember("resultCode"))
            return AgentResult::kBadResponse;
        return ToResultCode(root["resultCode"].asInt());
    } catch (const std::exception&) {
        return AgentResult::kBadResponse;
    }
}

std::string MakeLicenseList(const std::vector<PRODUCT_INFO>& products)
{
    Json::Value document(Json::objectValue);
    Json::Value& list = document["license"] = Json::Value(Json::arrayValue);
    for (const PRODUCT_INFO& product : products) {
        Json::Value item(Json::objectValue);
        item["type"] = WideToUtf8(product.productCode);
        item["state"] = product.installed ? "installed" : "uninstalled";
        list.append(item);
    }
    // The server reads this exact layout (3-space indent, " : ", final line
    // feed), which only the styled writer produces; jsoncpp marks that writer
    // deprecated, so the warning is silenced for this one use.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    Json::StyledWriter writer;
    return writer.write(document);
#pragma GCC diagnostic pop
}

bool ValidateRules(const Json::Value& root, std::string* error)
{
    if (!root.isObject()) return true;
    for (const std::string& code : root.getMemberNames()) {
        const Json::Value& member = Member(root, code);
        if (!HoldsRules(member)) continue;
        int index = 0;
        for (const Json::Value& rule : member) {
            if (!Member(rule, "type").isString() || !Member(rule, "value").isString()) {
                *error = code + ": rule " + std::to_string(index) + " has no string \"type\" and \"value\"";
                return false;
            }
            ++index;
        }
    }
    return true;
}

bool IsEmptyInspection(const Json::Value& root)
{
    return root.isNull() || ((root.isArray() || root.isObject()) && root.empty());
}

std::vector<std::wstring> ServiceRulesFor(const Json::Value& root, const std::wstring& productCode)
{
    std::vector<std::wstring> services;
    const Json::Value& member = Member(root, WideToUtf8(productCode));
    if (!HoldsRules(member)) return services;
    for (const Json::Value& rule : member) {
        if (Member(rule, "type").asString() == "service")
            services.push_back(Utf8ToWide(Member(rule, "value").asString()));
    }
    return services;
}

INSTALLER_INFO InstallerInfoFor(const Json::Value& root, const std::wstring& productCode)
{
    INSTALLER_INFO info;
    const Json::Value& member = Member(root, WideToUtf8(productCode));
    if (!HoldsRules(member)) return info;
    for (const Json::Value& rule : member) {
        const std::string type = Member(rule, "type").asString();
        const std::wstring value = Utf8ToWide(Member(rule, "value").asString());
        if (type == "installer_x86")
            info.x86ProcessList = value;
        else if (type == "installer_x64")
            info.x64ProcessList = value;
        else if (type == "mutex")
            info.mutexName = value;
    }
    return info;
}

std::wstring ChooseProcessList(const INSTALLER_INFO& info, bool nativeX64)
{
    std::wstring list;
    if (!info.x86ProcessList.empty() && !nativeX64) list = info.x86ProcessList;
    if (!info.x64ProcessList.empty() && nativeX64) list = info.x64ProcessList;
    return list;
}

std::vector<std::wstring> SplitTrimmed(const std::wstring& text, wchar_t separator)
{
    std::vector<std::wstring> parts;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(separator, start);
        if (end == std::wstring::npos) end = text.size();
        size_t first = start, last = end;
        while (first < last && std::iswspace(text[first])) ++first;
        while (last > first && std::iswspace(text[last - 1])) --last;
        if (last > first) parts.push_back(text.substr(first, last - first));
        start = end + 1;
    }
    return parts;
}

bool IsSafeFileName(const std::wstring& name)
{
    if (name.empty() || name == L"." || name == L".." || name.size() > kMaxFileName) return false;
    for (const wchar_t c : name) {
        if (c < 0x20 || std::wstring(L"<>:\"/\\|?*").find(c) != std::wstring::npos) return false;
    }
    // Windows drops a trailing dot or space, so the file would get another name.
    if (name.back() == L'.' || name.back() == L' ') return false;
    return !IsDeviceName(name);
}

bool InstallerFileName(const std::wstring& url, const std::wstring& productCode, const std::wstring& coNm,
                       std::wstring* fileName)
{
    // Only the path names the file: after "scheme://" the first segment is
    // the server, never a file name.
    std::wstring path = url;
    const size_t scheme = url.find(L"://");
    if (scheme != std::wstring::npos) {
        const size_t slash = url.find(L'/', scheme + 3);
        if (slash == std::wstring::npos) return false;
        path = url.substr(slash + 1);
    }
    const std::vector<std::wstring> segments = SplitTrimmed(path, L'/');
    if (segments.empty()) return false;
    std::wstring name = segments.back();
    if (productCode == kCompanyPrefixedProduct) name = coNm + name;
    if (!IsSafeFileName(name)) return false;
    *fileName = name;
    return true;
}

}  // namespace PackageRules
