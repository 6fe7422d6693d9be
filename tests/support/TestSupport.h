#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "Lumen/UniqueHandle.h"

namespace PavoTest {

// The folder of the running test program (build/bin), with a trailing backslash.
std::wstring BinDirectory();

// A new empty folder under the prefix's C: drive, unique per call. `label`
// goes into the name, so it may carry spaces or Hangul on purpose.
std::wstring MakeTempDirectory(const std::wstring& label);

// The system folder of the test's prefix (System32), with a trailing backslash.
std::wstring SystemDirectory();

// Puts the session-list stand-in (wtsapi32.dll) into System32, the only
// folder the product programs load it from; its session list is then
// SystemDirectory() + "wtsapi32-sessions.txt". Each test run has a
// throw-away prefix, so the real one is replaced only there.
bool InstallSessionListStandIn();

// Copies a program from build/bin into `directory` under `newName`; returns
// the new path.
std::wstring CopyProgram(const std::wstring& programName, const std::wstring& directory,
                         const std::wstring& newName);

// Starts a process; an invalid handle on failure.
Lumen::ScopedHandle StartProcess(const std::wstring& commandLine);

// Starts a process and waits for it; false on a time-out.
bool RunAndWait(const std::wstring& commandLine, DWORD timeoutMs, DWORD* exitCode);

// Waits until `condition` holds, checking every 20 ms; false after `timeoutMs`.
// For conditions no kernel object signals (a file's contents, a service state).
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs);

// Whole file as bytes ("" when missing) and as UTF-16.
std::string ReadFileBytes(const std::wstring& path);
std::wstring ReadFileWide(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool FileExists(const std::wstring& path);

// Makes `link` a new junction (mount point) to the folder `target`, an
// absolute path without a trailing backslash; false with the error when the
// system cannot.
bool MakeJunction(const std::wstring& link, const std::wstring& target, DWORD* error);

// Today's local date as the daily log file names carry it: "YYYY-MM-DD".
std::wstring TodayForLogName();

// A name unique to this test run, for pipes, events and mutexes.
std::wstring UniqueName(const std::wstring& label);

// Installs (or replaces) an own-process, demand-start service.
bool InstallService(const std::wstring& name, const std::wstring& binaryPath);
// Stops (waiting up to 10 s) and deletes a service; true when it is gone.
bool RemoveService(const std::wstring& name);
// The service's current state, 0 when it cannot be queried.
DWORD QueryServiceState(const std::wstring& name);

}  // namespace PavoTest
