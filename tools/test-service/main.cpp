// A minimal Windows service for the tests of the service-control functions:
// it reports RUNNING after start and STOPPED on the stop control. Installed
// by the tests under whatever name they need.
#include <windows.h>

namespace {

SERVICE_STATUS_HANDLE g_statusHandle = nullptr;
HANDLE g_stopEvent = nullptr;

void Report(DWORD state)
{
    SERVICE_STATUS status = {};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
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
    wchar_t name[] = L"";  // own-process service: the name is not checked
    SERVICE_TABLE_ENTRYW table[] = {{name, ServiceMain}, {nullptr, nullptr}};
    return ::StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
