#pragma once

#include <json/json.h>

#include <map>
#include <string>
#include <vector>

#include "ProductInfo.h"

// The package logic that needs no Win32: server answers, the status report,
// the inspection and installer-information files, installer file names.
namespace PackageRules {

struct LicenseData {
    std::vector<PRODUCT_INFO> products;
    // The installers' SHA-256 (lower-case hex) by product code, for the
    // products whose item carries one.
    std::map<std::wstring, std::string> sha256;
    std::wstring customerId;
    std::wstring customerName;
    std::wstring coNm;
};

// Reads the product-list answer into `data` (products appended in server
// order). Returns an agent result; an empty list is -9000, and so is an
// item's "sha256" that is not 64 hex digits. A customer field
// that is missing or not text is stored as empty text.
int ParseLicense(const std::string& utf8, LicenseData* data);
// The status-report answer: its mapped "resultCode", or -9000.
int ParseLicenseStatus(const std::string& utf8);
// {"license": [{"state", "type"}, ...]} in the styled layout the server reads.
std::string MakeLicenseList(const std::vector<PRODUCT_INFO>& products);

// Parses a JSON document; false with the parser's message in `error`. Never
// throws (also not for nesting deeper than the reader allows).
bool ParseJsonText(const std::string& text, Json::Value* root, std::string* error);

// Checks the rules of every product member that holds rules (an array or an
// object): each rule must be an object with string "type" and "value".
// False with a description of the first bad rule.
bool ValidateRules(const Json::Value& root, std::string* error);
// True when the root holds no product: null, or an array or object without members.
bool IsEmptyInspection(const Json::Value& root);
// The service names of the product's "service" rules, in order.
std::vector<std::wstring> ServiceRulesFor(const Json::Value& root, const std::wstring& productCode);
// The product's installer information ("last one wins" per type); empty
// fields when the member is absent or holds no such rule.
INSTALLER_INFO InstallerInfoFor(const Json::Value& root, const std::wstring& productCode);

// The process list to wait for on this machine.
std::wstring ChooseProcessList(const INSTALLER_INFO& info, bool nativeX64);
// `text` split at `separator`, each part trimmed of white space, empty parts dropped.
std::vector<std::wstring> SplitTrimmed(const std::wstring& text, wchar_t separator);

// The local file name of a product's installer: the URL's last path segment,
// prefixed with the company name for the product "KTL_9_04". False when no
// safe name results (no path segment, a name Windows cannot hold or would
// take for something else).
bool InstallerFileName(const std::wstring& url, const std::wstring& productCode, const std::wstring& coNm,
                       std::wstring* fileName);
// A name usable as one file inside a folder: not empty, "." or "..", no
// characters Windows forbids, no device name, no trailing dot or space.
bool IsSafeFileName(const std::wstring& name);

}  // namespace PackageRules
