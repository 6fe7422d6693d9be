// Native stand-ins for the two Win32-layer functions that the parsing files
// reach. Only the fuzz targets link this file.
#include <cstdio>
#include <cstdlib>

#include "Lumen/DebugOutput.h"
#include "Lumen/StringUtils.h"

namespace Lumen {

// Debugger traces are dropped; PAVO_FUZZ_TRACE=1 shows their format strings.
void OutputDebugMessage(const wchar_t* format, ...)
{
    static const bool show = std::getenv("PAVO_FUZZ_TRACE") != nullptr;
    if (show) std::fprintf(stderr, "trace: %ls\n", format);
}

// A single-byte code page: each byte is one character (as Latin-1 maps them).
std::wstring AnsiToWide(const char* bytes, std::size_t length)
{
    std::wstring text;
    if (bytes == nullptr) return text;
    text.reserve(length);
    for (std::size_t i = 0; i < length; ++i) text += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]));
    return text;
}

}  // namespace Lumen
