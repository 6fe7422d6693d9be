#pragma once

#include <windows.h>

#include <string>

// How the agent program was started, read from its command line.
enum class LaunchMode {
    FromService,       // "LANCH_SERVICE": the service started it in the user's session
    ElevatedRelaunch,  // "RUN_ADMIN": a hand-started agent relaunched itself elevated
    ByHand,            // neither: a user started it
};

constexpr const wchar_t* kLaunchFromService = L"LANCH_SERVICE";
constexpr const wchar_t* kLaunchRunAdmin = L"RUN_ADMIN";

// The words are found anywhere in the whole command line, with exact case;
// "LANCH_SERVICE" wins when both are there.
LaunchMode ClassifyCommandLine(const std::wstring& commandLine);

// "Pavo_IA_session_<n>": one agent per Windows session.
std::wstring SingleInstanceMutexName(DWORD sessionId);
