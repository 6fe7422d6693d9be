// The memory baseline: a program of ours that imports the same system DLLs
// as PavoService.exe, is built with the same settings, and does nothing but
// wait. What the service holds beyond this is what the service itself adds.
// With --threads it also starts N idle threads, each with a stack
// reservation of K KiB (0: the image's default), to show what one thread
// costs.
//   PavoMinimalIdle.exe [SECONDS] [--threads N] [--stack-kb K]
// No SECONDS or 0: waits until ended.
#include <windows.h>
#include <mmsystem.h>
#include <shellapi.h>
#include <userenv.h>
#include <wtsapi32.h>

#include <cwchar>
#include <string>

namespace {

DWORD WINAPI IdleThread(void*)
{
    ::Sleep(INFINITE);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    // Never true when started as the scripts start it; the calls only make
    // the loader bring in the DLLs that the service imports.
    if (argc > 100) {
        ::RegCloseKey(nullptr);
        int count = 0;
        ::LocalFree(::CommandLineToArgvW(L"", &count));
        ::DestroyEnvironmentBlock(nullptr);
        ::timeGetTime();
        ::WTSFreeMemory(nullptr);
    }
    DWORD seconds = 0;
    unsigned long threads = 0;
    unsigned long stackKb = 0;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--threads" && i + 1 < argc) threads = std::wcstoul(argv[++i], nullptr, 10);
        else if (arg == L"--stack-kb" && i + 1 < argc) stackKb = std::wcstoul(argv[++i], nullptr, 10);
        else seconds = static_cast<DWORD>(std::wcstoul(argv[i], nullptr, 10));
    }
    for (unsigned long i = 0; i < threads && i < 64; ++i) {
        HANDLE thread = ::CreateThread(nullptr, stackKb * 1024, IdleThread, nullptr,
                                       stackKb > 0 ? STACK_SIZE_PARAM_IS_A_RESERVATION : 0, nullptr);
        if (thread == nullptr) return 1;
        ::CloseHandle(thread);  // the thread runs on; nothing waits for it
    }
    ::Sleep(seconds > 0 ? seconds * 1000 : INFINITE);
    return 0;
}
