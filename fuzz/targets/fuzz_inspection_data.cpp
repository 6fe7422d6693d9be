// The inspection files (inspection_data.json, additional_installer_info.json)
// read as the package manager reads them: the rules checked, then each
// product's service rules, installer information and process lists. The same
// input serves as either file.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "Lumen/StringUtils.h"
#include "PackageRules.h"

namespace {

// The product codes to look up: every member name and a few fixed ones.
std::vector<std::wstring> ProductCodes(const Json::Value& root)
{
    std::vector<std::wstring> codes = {L"KTL_9_04", L"", L"missing"};
    if (root.isObject())
        for (const std::string& name : root.getMemberNames()) codes.push_back(Lumen::Utf8ToWide(name));
    return codes;
}

void ReadAsInspectionData(const Json::Value& root)
{
    std::string error;
    if (!PackageRules::ValidateRules(root, &error)) {
        PAVO_FUZZ_CHECK(!error.empty());
        return;
    }
    if (PackageRules::IsEmptyInspection(root) || !root.isObject()) return;
    for (const std::wstring& code : ProductCodes(root)) {
        try {
            for (const std::wstring& service : PackageRules::ServiceRulesFor(root, code)) (void)service;
        } catch (const std::exception&) {
            // The package manager reads a product whose rules cannot be read as not installed.
        }
    }
}

void ReadAsInstallerInfo(const Json::Value& root)
{
    if (!root.isNull() && !root.isObject()) return;
    for (const std::wstring& code : ProductCodes(root)) {
        Json::Value member(Json::objectValue);
        const std::string name = Lumen::WideToUtf8(code);
        if (root.isMember(name)) member[name] = root[name];
        std::string error;
        if (!PackageRules::ValidateRules(member, &error)) return;
        const INSTALLER_INFO info = PackageRules::InstallerInfoFor(root, code);
        for (const bool nativeX64 : {false, true}) {
            for (const std::wstring& process :
                 PackageRules::SplitTrimmed(PackageRules::ChooseProcessList(info, nativeX64), L';')) {
                PAVO_FUZZ_CHECK(!process.empty());
                PAVO_FUZZ_CHECK(process.find(L';') == std::wstring::npos);
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    Json::Value root;
    std::string error;
    if (!PackageRules::ParseJsonText(text, &root, &error)) return 0;
    ReadAsInspectionData(root);
    ReadAsInstallerInfo(root);
    return 0;
}
