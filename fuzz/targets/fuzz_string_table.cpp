// The language files (language\eng.json, language\kor.json).
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "FuzzCheck.h"
#include "Lumen/StringTable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::map<std::wstring, std::wstring> table;
    std::string error;
    const bool loaded = Lumen::ParseStringTable(bytes, &table, &error);
    if (loaded) PAVO_FUZZ_CHECK(error.empty());
    return 0;
}
