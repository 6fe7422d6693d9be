// The smallest dialog program of ours: the reference that
// scripts/bench-startup.sh times the agent's start-up against.
#include <windows.h>

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
    return static_cast<int>(::DialogBoxParamW(instance, MAKEINTRESOURCEW(100), nullptr, DialogProc, 0));
}
