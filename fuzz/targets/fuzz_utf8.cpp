// The UTF-8 <-> wide conversion that every parser's text goes through.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "Lumen/StringUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::wstring wide = Lumen::Utf8ToWide(bytes);
    PAVO_FUZZ_CHECK(wide.size() <= bytes.size());
    const std::string utf8 = Lumen::WideToUtf8(wide);
    // The result is valid UTF-8: it converts back to the same wide text and
    // then to the same bytes.
    PAVO_FUZZ_CHECK(Lumen::Utf8ToWide(utf8) == wide);
    PAVO_FUZZ_CHECK(Lumen::WideToUtf8(Lumen::Utf8ToWide(utf8)) == utf8);
    // Text without a replacement character was valid and comes back unchanged.
    if (wide.find(L'\uFFFD') == std::wstring::npos) PAVO_FUZZ_CHECK(utf8 == bytes);
    // Wide text of any code units converts to UTF-8 that reads back to itself
    // where it was valid.
    std::wstring units;
    for (size_t i = 0; i + 1 < size; i += 2)
        units += static_cast<wchar_t>(static_cast<uint32_t>(data[i]) << 8 | data[i + 1]);
    const std::string fromUnits = Lumen::WideToUtf8(units);
    PAVO_FUZZ_CHECK(Lumen::WideToUtf8(Lumen::Utf8ToWide(fromUnits)) == fromUnits);
    return 0;
}
