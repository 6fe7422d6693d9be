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

    // The installer's edit: an existing and a new key; the result reads back
    // as the same table with those two entries set, and nothing else changed.
    std::string edited;
    const bool set = Lumen::SetStringTableValue(bytes, "Pavo_HOST_URL", "https://h.example/\"\\", &edited, &error);
    PAVO_FUZZ_CHECK(set == loaded);
    if (!set) return 0;
    std::string twice;
    PAVO_FUZZ_CHECK(Lumen::SetStringTableValue(edited, "SERVER_CERT_SHA256", "ab,cd", &twice, &error));
    std::map<std::wstring, std::wstring> after;
    PAVO_FUZZ_CHECK(Lumen::ParseStringTable(twice, &after, &error));
    table[L"Pavo_HOST_URL"] = L"https://h.example/\"\\";
    table[L"SERVER_CERT_SHA256"] = L"ab,cd";
    PAVO_FUZZ_CHECK(after == table);
    return 0;
}
