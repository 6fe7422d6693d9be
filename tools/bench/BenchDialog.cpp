// The smallest dialog program of ours: the reference that
// scripts/bench-startup.sh times the agent's start-up against. Built twice:
// plain, and themed (PAVO_BENCH_THEMED) with the agent's common-controls
// manifest, setting up the common controls as the agent does.
#include <windows.h>
#ifdef PAVO_BENCH_THEMED
#include <commctrl.h>
#endif

namespace {

INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM) noexcept
{
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) ::EndDialog(hwnd, LOWORD(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
#ifdef PAVO_BENCH_THEMED
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof(controls);
    controls.dwICC = 0xFF;
    ::InitCommonControlsEx(&controls);
#endif
    return static_cast<int>(::DialogBoxParamW(instance, MAKEINTRESOURCEW(100), nullptr, DialogProc, 0));
}
