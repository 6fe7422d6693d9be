#include "ControlTestHost.h"

#include <algorithm>

#include "Window.h"

namespace ToolkitTest {

namespace {

LRESULT CALLBACK HostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        case WM_ERASEBKGND:
        case WM_PRINTCLIENT: {
            RECT rc;
            ::GetClientRect(hwnd, &rc);
            HBRUSH brush = ::CreateSolidBrush(RGB((kHostColour >> 16) & 0xFF, (kHostColour >> 8) & 0xFF,
                                                  kHostColour & 0xFF));
            ::FillRect(reinterpret_cast<HDC>(wParam), &rc, brush);
            ::DeleteObject(brush);
            return 1;
        }
        default:
            return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

}  // namespace

ControlTestHost::ControlTestHost(int width, int height)
{
    Lumen::RegisterWindowClassOnce(L"PavoControlTestHost", HostProc, CS_DBLCLKS);
    hwnd_ = ::CreateWindowExW(0, L"PavoControlTestHost", L"host", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 20, 20,
                              width, height, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    PumpPending();
}

ControlTestHost::~ControlTestHost()
{
    if (hwnd_ != nullptr) ::DestroyWindow(hwnd_);
    PumpPending();
}

void PumpPending()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    for (;;) {
        PumpPending();
        if (condition()) return true;
        const ULONGLONG now = ::GetTickCount64();
        if (now >= end) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(end - now, 50)),
                                    QS_ALLINPUT);
    }
}

}  // namespace ToolkitTest
