#include "MessageLoop.h"

#include <exception>

#include "Dialog.h"
#include "Lumen/DebugOutput.h"

namespace Lumen {

namespace {

MessageLoop::Filter& ApplicationFilter()
{
    static MessageLoop::Filter filter;
    return filter;
}

HWND g_acceleratorWindow = nullptr;
HACCEL g_accelerators = nullptr;

bool OfferToApplication(MSG& msg)
{
    if (g_acceleratorWindow != nullptr && g_accelerators != nullptr && ::IsWindow(g_acceleratorWindow) &&
        ::TranslateAcceleratorW(g_acceleratorWindow, g_accelerators, &msg) != 0) {
        return true;
    }
    const MessageLoop::Filter& filter = ApplicationFilter();
    return filter && filter(msg);
}

void Pump(MSG& msg)
{
    try {
        if (MessageLoop::PreTranslate(msg)) return;
    } catch (const std::exception& e) {
        OutputDebugMessage(L"message filter failed : %hs", e.what());
    } catch (...) {
        OutputDebugMessage(L"message filter failed");
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
}

}  // namespace

void MessageLoop::SetApplicationFilter(Filter filter)
{
    ApplicationFilter() = std::move(filter);
}

void MessageLoop::SetAccelerators(HWND window, HACCEL table)
{
    g_acceleratorWindow = window;
    g_accelerators = table;
}

bool MessageLoop::PreTranslate(MSG& msg)
{
    if (OfferToApplication(msg)) return true;
    for (HWND hwnd = msg.hwnd; hwnd != nullptr; hwnd = ::GetParent(hwnd)) {
        if (Dialog* dialog = Dialog::FromHandle(hwnd)) {
            if (dialog->PreTranslateMessage(&msg)) return true;
        }
        if ((::GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD) == 0) break;  // top-level reached
    }
    return false;
}

int MessageLoop::Run()
{
    MSG msg = {};
    for (;;) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) return static_cast<int>(msg.wParam);
        if (got == -1) return -1;
        Pump(msg);
    }
}

bool MessageLoop::RunUntil(const std::function<bool()>& done)
{
    MSG msg = {};
    while (!done()) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        if (got == -1) return false;
        Pump(msg);
    }
    return true;
}

}  // namespace Lumen
