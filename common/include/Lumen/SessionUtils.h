#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "Lumen/UniqueHandle.h"

namespace Lumen {

// Sessions, processes and control of the installed "PavoService". Failures go
// to the debug output only; callers log their own outcome. Stateless: any
// thread may call them.
namespace SessionUtils {

// The name every service-control function acts on.
constexpr const wchar_t* kServiceName = L"PavoService";

// The first active session in enumeration order; 0 when none is active.
DWORD GetActiveSessionId();

// The ids of every session on this machine, whatever their state; false
// when they cannot be listed.
bool EnumerateSessionIds(std::vector<DWORD>* ids);

// The session of the current process; 0 when it cannot be read.
DWORD GetProcessSessionId();

// Starts `applicationPath` as the user of `sessionId`, on that user's
// interactive desktop, with the full token where the user has a split one.
// The child's command line is exactly `commandLine`. Does not wait.
bool CreateProcessInSession(DWORD sessionId, const std::wstring& applicationPath,
                            const std::wstring& commandLine);

// Starts "<path in quotes> <arguments>" in the caller's own context. Does not wait.
bool RunProcess(const std::wstring& programPath, const std::wstring& arguments);

// The command line RunProcess builds: every quote removed from the path, the
// path wrapped in one pair of quotes, then a space and the arguments.
std::wstring BuildCommandLine(const std::wstring& programPath, const std::wstring& arguments);

// The first process whose executable name contains `name` (case-sensitive),
// opened with full access; an invalid handle when none matches or it cannot
// be opened.
ScopedHandle FindProcessByName(const std::wstring& name);

// One process found by name: its id, and a handle that can end it and wait
// for it (invalid when the process could not be opened).
struct FoundProcess {
    DWORD processId = 0;
    ScopedHandle handle;
};

// Every process whose executable name contains `name` (case-sensitive), in
// snapshot order, including those that cannot be opened.
std::vector<FoundProcess> FindProcessesByName(const std::wstring& name);

// ShellExecuteEx with the verb "runas", hidden; waits up to `waitMs` for the
// started process. Returns whether the launch succeeded.
bool RunAsAdministrator(const std::wstring& file, const std::wstring& parameters, DWORD waitMs);

bool IsServiceRunning();
// Sends the stop control unless the service is stopped or stopping; true when
// the control was accepted. Does not wait.
bool StopInstalledService();
bool StartInstalledService();
bool DeleteInstalledService();

}  // namespace SessionUtils
}  // namespace Lumen
