#pragma once

#include <windows.h>

#include <string>

#include "ServiceCommandLine.h"

// The service program's console verbs. Each writes exactly one line to
// standard output and returns the program's exit code.
namespace ServiceCommands {

constexpr const wchar_t* kDisplayName = L"Pavo Integration Agent Service";

int Install();
int Uninstall();
int Start();
int Stop();
int InvalidParameter();

// Writes one line (with a line end) to standard output: UTF-16 on a console,
// UTF-8 when the output is redirected to a file or pipe.
void WriteLine(const std::wstring& text);

}  // namespace ServiceCommands
