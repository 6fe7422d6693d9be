// The start-up baseline for a dialog program: creates one modal dialog from
// an in-memory template and, with the word "quit", closes it as soon as it
// has been shown, so that the run's length is the start-up cost.
//   PavoMinimalDialog.exe [quit]
#include <windows.h>

#include <cwchar>

namespace {

constexpr UINT kShownMessage = WM_APP + 1;

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM, LPARAM parameter)
{
    switch (message) {
    case WM_INITDIALOG:
        // A title, so that scripts/bench-startup.sh can find the window.
        ::SetWindowTextW(dialog, L"Pavo minimal dialog");
        // Posted: it arrives after the first paint of the shown dialog.
        if (parameter != 0) ::PostMessageW(dialog, kShownMessage, 0, 0);
        return TRUE;
    case kShownMessage:
        ::UpdateWindow(dialog);
        ::EndDialog(dialog, 0);
        return TRUE;
    case WM_CLOSE:
        ::EndDialog(dialog, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int)
{
    // DLGTEMPLATE followed by empty menu, class and title arrays, DWORD aligned.
    alignas(DWORD) WORD buffer[32] = {};
    auto* dialogTemplate = reinterpret_cast<DLGTEMPLATE*>(buffer);
    dialogTemplate->style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | DS_CENTER | DS_MODALFRAME;
    dialogTemplate->cx = 200;
    dialogTemplate->cy = 100;
    const bool quit = commandLine != nullptr && std::wcsstr(commandLine, L"quit") != nullptr;
    const INT_PTR result = ::DialogBoxIndirectParamW(instance, dialogTemplate, nullptr, DialogProc, quit ? 1 : 0);
    return result == -1 ? 1 : 0;
}
