// A minimal Windows service for the tests of the service-control functions:
// it reports RUNNING after start and STOPPED on the stop control. Installed
// by the tests under whatever name they need. A copy whose file name contains
// "no-stop" accepts no control at all, so every stop request fails (1052).
#include <windows.h>

#include <cwchar>

namespace {

SERVICE_STATUS_HANDLE g_statusHandle = nullptr;
HANDLE g_stopEvent = nullptr;
bool g_refusesStop = false;

void Report(DWORD state)
{
    SERVICE_STATUS status = {};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_RUNNING && !g_refusesStop ? SERVICE_ACCEPT_STOP : 0;
    ::SetServiceStatus(g_statusHandle, &status);
}

DWORD WINAPI Handler(DWORD control, DWORD, void*, void*)
{
    if (control == SERVICE_CONTROL_STOP) {
        Report(SERVICE_STOP_PENDING);
        ::SetEvent(g_stopEvent);
    }
    return NO_ERROR;
}

void WINAPI ServiceMain(DWORD, wchar_t** argv)
{
    g_statusHandle = ::RegisterServiceCtrlHandlerExW(argv[0], Handler, nullptr);
    if (g_statusHandle == nullptr) return;
    Report(SERVICE_RUNNING);
    ::WaitForSingleObject(g_stopEvent, INFINITE);
    Report(SERVICE_STOPPED);
}

}  // namespace

int wmain()
{
    g_stopEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    g_refusesStop = std::wcsstr(path, L"no-stop") != nullptr;
    wchar_t name[] = L"";  // own-process service: the name is not checked
    SERVICE_TABLE_ENTRYW table[] = {{name, ServiceMain}, {nullptr, nullptr}};
    return ::StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
