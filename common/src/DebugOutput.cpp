#include "Lumen/DebugOutput.h"

#include <windows.h>

#include "Lumen/StringUtils.h"

namespace Lumen {

void OutputDebugMessage(const wchar_t* format, ...)
{
    // Callers often log and then read the error they are reporting.
    const DWORD error = ::GetLastError();
    va_list args;
    va_start(args, format);
    const std::wstring text = FormatWideV(format, args);
    va_end(args);
    ::OutputDebugStringW(text.c_str());
    ::OutputDebugStringW(L"\r\n");
    ::SetLastError(error);
}

}  // namespace Lumen
