// The skin's resource-name table (100\resource.json), read as the skin
// manager reads it at start-up, and the file name each name gives its
// dialog's skin description.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "FuzzCheck.h"
#include "SkinDocuments.h"
#include "ZipEntryName.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::map<int, std::wstring> nameById;
    std::map<std::wstring, int> idByName;
    std::string error;
    const bool read = Lumen::ParseResourceTable(text, &nameById, &idByName, &error);
    if (read) PAVO_FUZZ_CHECK(error.empty());
    if (!read) PAVO_FUZZ_CHECK(!error.empty());

    // Both maps come from the same pairs: every name and every number read
    // is in the other map too, and identifiers are never negative.
    for (const auto& [id, name] : nameById) {
        PAVO_FUZZ_CHECK(id >= 0);
        PAVO_FUZZ_CHECK(idByName.count(name) == 1);
    }
    for (const auto& [name, id] : idByName) {
        PAVO_FUZZ_CHECK(id >= 0);
        PAVO_FUZZ_CHECK(nameById.count(id) == 1);
        // A description file stays one plain file of the scale folder.
        const std::wstring file = Lumen::SkinDescriptionFileName(name);
        if (file.empty()) continue;
        PAVO_FUZZ_CHECK(file == name + L".json");
        PAVO_FUZZ_CHECK(file.find_first_of(L"\\/:") == std::wstring::npos);
        PAVO_FUZZ_CHECK(Lumen::ZipEntryName::SafeRelativePath(file) == file);
    }
    return 0;
}
