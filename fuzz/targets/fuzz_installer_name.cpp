// The installer's local file name taken from the product's URL (and, for one
// product, the company name in front of it).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "Lumen/StringUtils.h"
#include "PackageRules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const bool prefixed = input.ConsumeBool();
    const std::wstring coNm = Lumen::Utf8ToWide(input.ConsumeRandomLengthString(64));
    const std::wstring url = Lumen::Utf8ToWide(input.ConsumeRemainingBytesAsString());
    const std::wstring productCode = prefixed ? L"KTL_9_04" : L"PRODUCT_A";

    std::wstring fileName = L"unchanged";
    if (!PackageRules::InstallerFileName(url, productCode, coNm, &fileName)) {
        PAVO_FUZZ_CHECK(fileName == L"unchanged");
        return 0;
    }
    // The name stays inside the download folder and names one plain file.
    PAVO_FUZZ_CHECK(PackageRules::IsSafeFileName(fileName));
    PAVO_FUZZ_CHECK(fileName.find_first_of(L"\\/:") == std::wstring::npos);
    PAVO_FUZZ_CHECK(fileName != L"." && fileName != L"..");
    return 0;
}
