// Shows how the Wine build we test with draws a popup window: a main window,
// then after a second a popup at the position given on the command line,
// painted grey. Run by scripts/popup-check.sh, which reads the screen.
//
//   PavoPopupCheck.exe X Y
//
// Exit code 0 when the main window is closed; 2 on a bad argument.
#include <windows.h>

#include <shellapi.h>

#include <cwchar>

namespace {

HWND g_main = nullptr;
POINT g_popupAt = {};
const wchar_t kClass[] = L"PavoPopupCheck";

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(hwnd, &paint);
        RECT client;
        ::GetClientRect(hwnd, &client);
        ::FillRect(dc, &client, static_cast<HBRUSH>(::GetStockObject(hwnd == g_main ? WHITE_BRUSH : LTGRAY_BRUSH)));
        ::EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_TIMER:
        ::KillTimer(hwnd, wParam);
        if (HWND popup = ::CreateWindowExW(0, kClass, L"popup", WS_POPUP | WS_CAPTION | WS_SYSMENU, g_popupAt.x,
                                           g_popupAt.y, 366, 205, hwnd, nullptr, ::GetModuleHandleW(nullptr),
                                           nullptr)) {
            ::ShowWindow(popup, SW_SHOW);
        }
        return 0;
    case WM_DESTROY:
        if (hwnd == g_main) ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    int count = 0;
    wchar_t** args = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (args == nullptr || count != 3) return 2;
    g_popupAt = POINT{static_cast<LONG>(std::wcstol(args[1], nullptr, 10)),
                      static_cast<LONG>(std::wcstol(args[2], nullptr, 10))};
    ::LocalFree(args);

    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kClass;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    if (::RegisterClassW(&windowClass) == 0) return 1;
    g_main = ::CreateWindowExW(WS_EX_APPWINDOW, kClass, L"main", WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE,
                               171, 146, 682, 475, nullptr, nullptr, instance, nullptr);
    if (g_main == nullptr) return 1;
    ::SetTimer(g_main, 1, 1000, nullptr);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}
