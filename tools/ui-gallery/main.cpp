// PavoUiGallery UNPACKED_SKIN_FOLDER OUTPUT.png
// Shows the gallery dialog dressed by the skin unpacked in the folder (its
// "100" folder holds resource.json, the description and the pictures),
// waits until it is painted, saves a screenshot of it and exits.
// Exit codes: 0 saved, 1 bad arguments, 2 dialog not created, 3 no screenshot.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
using std::max;
using std::min;
#include <objidl.h>
#include <gdiplus.h>

#include <functional>
#include <string>
#include <vector>

#include "GalleryDialog.h"
#include "ImageLoader.h"
#include "Lumen/PathUtils.h"
#include "Window.h"

namespace {

void Pump(DWORD milliseconds, const std::function<bool()>& done)
{
    const ULONGLONG end = ::GetTickCount64() + milliseconds;
    for (;;) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        const ULONGLONG now = ::GetTickCount64();
        if ((done && done()) || now >= end) return;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(end - now, 50)),
                                    QS_ALLINPUT);
    }
}

bool SavePng(HBITMAP bitmap, const std::wstring& path)
{
    UINT count = 0;
    UINT size = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0) return false;
    std::vector<BYTE> buffer(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::GetImageEncoders(count, size, codecs) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i) {
        if (std::wstring(codecs[i].MimeType) == L"image/png") {
            Gdiplus::Bitmap image(bitmap, nullptr);
            return image.Save(path.c_str(), &codecs[i].Clsid, nullptr) == Gdiplus::Ok;
        }
    }
    return false;
}

// What the screen shows of the window, frame included.
bool CaptureWindow(HWND hwnd, const std::wstring& path)
{
    RECT rc;
    ::GetWindowRect(hwnd, &rc);
    const int w = rc.right - rc.left;
    const int h = rc.bottom - rc.top;
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    const BOOL copied = ::BitBlt(memory, 0, 0, w, h, screen, rc.left, rc.top, SRCCOPY | CAPTUREBLT);
    ::SelectObject(memory, old);
    const bool saved = copied && SavePng(bitmap, path);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return saved;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argv == nullptr || argc < 3) return 1;
    const std::wstring unpacked = argv[1];
    const std::wstring output = argv[2];
    ::LocalFree(argv);

    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);
    Lumen::RegisterCustomControlClasses();
    if (!Lumen::ImageLoader::EnsureStarted()) return 3;

    Lumen::SkinManager skin(Lumen::GetModuleDirectory());
    skin.SetUnpackDirectory(unpacked);
    skin.LoadResource();

    Lumen::SkinDialog::SetDefaultResources(&skin, nullptr);

    GalleryDialog dialog;
    if (!dialog.Create(nullptr)) return 2;
    // The skin gives the size; the gallery only places the window.
    ::SetWindowPos(dialog.GetHwnd(), HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    dialog.ShowStates();
    // The HTML view gets a few seconds to show the page (as text under Wine).
    Pump(10000, [&] { return dialog.IsPageShown(); });
    dialog.ShowStates();
    ::RedrawWindow(dialog.GetHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Pump(300, nullptr);
    const bool saved = CaptureWindow(dialog.GetHwnd(), output);
    dialog.DestroyWindow();
    return saved ? 0 : 3;
}
