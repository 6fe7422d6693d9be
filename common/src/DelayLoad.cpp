#include "Lumen/DelayLoad.h"

#include "Lumen/DebugOutput.h"

namespace Lumen {

FARPROC WINAPI LoadDelayedDllFromSystem32(unsigned notification, PDelayLoadInfo info)
{
    if (notification != dliNotePreLoadLibrary || info == nullptr || info->szDll == nullptr) return nullptr;
    HMODULE module = ::LoadLibraryExA(info->szDll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module == nullptr) {
        // The helper then raises its delay-load exception; its own attempt
        // follows the process's default directories (System32 only as well).
        OutputDebugMessage(L"Failed to load a delay-loaded DLL from System32, error : %d",
                           static_cast<int>(::GetLastError()));
    }
    return reinterpret_cast<FARPROC>(module);
}

}  // namespace Lumen
