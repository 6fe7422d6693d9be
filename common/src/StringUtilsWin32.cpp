#include <windows.h>

#include <climits>
#include <cwchar>
#include <vector>

#include "Lumen/StringUtils.h"

#ifdef __MINGW32__
// MinGW's own printf family follows ISO C, where "%s" in a wide format is a
// narrow string. The C runtime's functions keep the Windows meaning.
extern "C" int __cdecl __ms_vsnwprintf(wchar_t*, size_t, const wchar_t*, va_list);
extern "C" __declspec(dllimport) int __cdecl PavoMsVscwprintf(const wchar_t*, va_list) __asm__("_vscwprintf");
#define PAVO_VSCWPRINTF PavoMsVscwprintf
#define PAVO_VSNWPRINTF __ms_vsnwprintf
#else
#define PAVO_VSCWPRINTF _vscwprintf
#define PAVO_VSNWPRINTF _vsnwprintf
#endif

namespace Lumen {

std::wstring AnsiToWide(const char* bytes, std::size_t length)
{
    if (bytes == nullptr || length == 0 || length > static_cast<std::size_t>(INT_MAX)) return {};
    const int wideLength = ::MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(length), nullptr, 0);
    if (wideLength <= 0) return {};
    std::wstring text(static_cast<size_t>(wideLength), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(length), &text[0], wideLength);
    return text;
}

std::wstring FormatWideV(const wchar_t* format, va_list args)
{
    if (format == nullptr) return {};
    va_list measure;
    va_copy(measure, args);
    const int length = PAVO_VSCWPRINTF(format, measure);
    va_end(measure);
    if (length <= 0) return {};
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
    va_list write;
    va_copy(write, args);
    PAVO_VSNWPRINTF(buffer.data(), buffer.size(), format, write);
    va_end(write);
    return std::wstring(buffer.data(), static_cast<size_t>(length));
}

std::wstring FormatWide(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    std::wstring text = FormatWideV(format, args);
    va_end(args);
    return text;
}

}  // namespace Lumen
