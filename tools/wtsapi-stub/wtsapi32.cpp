// The session list comes from the file named by PAVO_TEST_SESSIONS_FILE, or
// else from "wtsapi32-sessions.txt" beside this DLL (a service does not get
// the test's environment), one
// session a line: "<id> <state>", state being one of active, connected,
// disconnected, listen. Without the file the list is empty, as Wine's is.
// The user token of any session is the calling process's own, as Wine gives.
#include <windows.h>
#include <wtsapi32.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

HMODULE g_module = nullptr;

std::wstring SessionsFile()
{
    wchar_t named[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableW(L"PAVO_TEST_SESSIONS_FILE", named, MAX_PATH);
    if (length > 0 && length < MAX_PATH) return named;
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(g_module, path, MAX_PATH);
    std::wstring text = path;
    text = text.substr(0, text.rfind(L'\\') + 1);
    return text + L"wtsapi32-sessions.txt";
}

WTS_CONNECTSTATE_CLASS StateOf(const std::string& word)
{
    if (word == "active") return WTSActive;
    if (word == "connected") return WTSConnected;
    if (word == "listen") return WTSListen;
    return WTSDisconnected;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*)
{
    if (reason == DLL_PROCESS_ATTACH) g_module = instance;
    return TRUE;
}

extern "C" BOOL WINAPI WTSEnumerateSessionsW(HANDLE, DWORD reserved, DWORD version, PWTS_SESSION_INFOW* info,
                                             DWORD* count)
{
    if (reserved != 0 || version != 1 || info == nullptr || count == nullptr) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::vector<std::pair<DWORD, WTS_CONNECTSTATE_CLASS>> sessions;
    std::string text;
    HANDLE file = ::CreateFileW(SessionsFile().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        char buffer[4096];
        DWORD read = 0;
        while (::ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) text.append(buffer, read);
        ::CloseHandle(file);
    }
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        DWORD id = 0;
        std::string state;
        if (words >> id >> state) sessions.emplace_back(id, StateOf(state));
    }
    auto* list = static_cast<WTS_SESSION_INFOW*>(
        ::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(WTS_SESSION_INFOW) * (sessions.size() + 1)));
    if (list == nullptr) {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    static wchar_t station[] = L"Console";
    for (size_t i = 0; i < sessions.size(); ++i) {
        list[i].SessionId = sessions[i].first;
        list[i].State = sessions[i].second;
        list[i].pWinStationName = station;
    }
    *info = list;
    *count = static_cast<DWORD>(sessions.size());
    return TRUE;
}

extern "C" void WINAPI WTSFreeMemory(void* memory)
{
    if (memory != nullptr) ::HeapFree(::GetProcessHeap(), 0, memory);
}

extern "C" BOOL WINAPI WTSQueryUserToken(ULONG, HANDLE* token)
{
    if (token == nullptr) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    HANDLE own = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ALL_ACCESS, &own)) return FALSE;
    const BOOL ok = ::DuplicateTokenEx(own, MAXIMUM_ALLOWED, nullptr, SecurityIdentification, TokenPrimary, token);
    ::CloseHandle(own);
    return ok;
}
