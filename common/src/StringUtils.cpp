#include "Lumen/StringUtils.h"

#include <windows.h>

#include <cwchar>
#include <vector>

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

std::string WideToUtf8(const std::wstring& text)
{
    if (text.empty()) return {};
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                             nullptr, 0, nullptr, nullptr);
    if (length <= 0) return {};
    std::string result(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &result[0], length,
                          nullptr, nullptr);
    return result;
}

std::wstring Utf8ToWide(const std::string& text)
{
    if (text.empty()) return {};
    const int length =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) return {};
    std::wstring result(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &result[0], length);
    return result;
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
