#include <windows.h>

#include <cstdio>
#include <string>

#include "Lumen/DebugOutput.h"
#include "Lumen/DelayLoad.h"
#include "Lumen/LogManager.h"
#include "Lumen/StringUtils.h"
#include "PavoService.h"
#include "ResourceManager.h"
#include "ServiceCommandLine.h"
#include "ServiceCommands.h"
#include "ServiceController.h"

// DLLs that are not KnownDLLs are delay-loaded (see cmake/DelayLoad.cmake):
// this hook loads each of them from System32 only.
// (declared with C linkage by delayimp.h)
PfnDliHook __pfnDliNotifyHook2 = Lumen::LoadDelayedDllFromSystem32;

namespace {

void WriteNarrowLine(const char* text)
{
    std::fputs(text, stdout);
    std::fputs("\n", stdout);
    std::fflush(stdout);
}

// Starts the just-in-time debugger on this process and waits for it.
void AttachDebugger()
{
    wchar_t system[261] = {};
    ::GetSystemDirectoryW(system, 261);
    std::wstring commandLine = std::wstring(system) + L"\\vsjitdebugger.exe -p " +
                               std::to_wstring(::GetCurrentProcessId());
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process))
        return;
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    while (!::IsDebuggerPresent()) ::Sleep(100);
    ::DebugBreak();
    WriteNarrowLine("Debugger connection successful.");
}

int RunAsService()
{
    ServiceController controller;
    PavoService service(&controller);
    Lumen::LogManager::GetInstance()->Initialize(Lumen::LogProcessKind::Service);
    int code = kExitSuccess;
    if (!PavoService::Run(&service)) {
        const DWORD error = ::GetLastError();
        const std::wstring text = ResourceManager::GetInstance()->GetString(L"서비스 구동에 실패했습니다.");
        Lumen::OutputDebugMessage(L"%s, error : %d", text.c_str(), static_cast<int>(error));
        code = kExitDispatcherFailed;
    }
    controller.Stop();
    Lumen::LogManager::GetInstance()->Release();
    return code;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    // Runs as LocalSystem: DLLs loaded at run time come from System32 only
    // (the delay-loaded ones through the hook above, any other from here on).
    ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);

    if (IsDebuggingVerb(argc, argv)) AttachDebugger();

    if (!ResourceManager::GetInstance()->Initialize()) {
        WriteNarrowLine("fail to Initialize Resource.");
        return kExitResourceFailed;
    }

    switch (ParseServiceVerb(argc, argv)) {
    case ServiceVerb::Run: return RunAsService();
    case ServiceVerb::Install: return ServiceCommands::Install();
    case ServiceVerb::Uninstall: return ServiceCommands::Uninstall();
    case ServiceVerb::Start: return ServiceCommands::Start();
    case ServiceVerb::Stop: return ServiceCommands::Stop();
    case ServiceVerb::Invalid:
    default: return ServiceCommands::InvalidParameter();
    }
}
