#pragma once

#include <windows.h>
// clang-format off
#include <delayimp.h>
// clang-format on

namespace Lumen {

// The delay-load notification hook of both programs: every delay-loaded DLL
// (those that are not KnownDLLs, see cmake/DelayLoad.cmake) is loaded from
// System32 only, never from the program's folder or the current directory.
// A program installs it by defining, in its main source file:
//   PfnDliHook __pfnDliNotifyHook2 = Lumen::LoadDelayedDllFromSystem32;
FARPROC WINAPI LoadDelayedDllFromSystem32(unsigned notification, PDelayLoadInfo info);

}  // namespace Lumen
