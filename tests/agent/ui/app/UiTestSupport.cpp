#include "UiTestSupport.h"

#include <objidl.h>

#include <gdiplus.h>

#include <map>
#include <memory>
#include <vector>

#include "MessageLoop.h"
#include "TestSupport.h"

namespace UiTest {

namespace {

struct PendingAction {
    std::function<bool()> condition;
    std::function<void()> action;
};

std::map<UINT_PTR, PendingAction>& PendingActions()
{
    static std::map<UINT_PTR, PendingAction> actions;
    return actions;
}

void CALLBACK RunWhenTimer(HWND, UINT, UINT_PTR id, DWORD) noexcept
{
    auto found = PendingActions().find(id);
    if (found == PendingActions().end()) {
        ::KillTimer(nullptr, id);
        return;
    }
    try {
        if (!found->second.condition()) return;
        ::KillTimer(nullptr, id);
        std::function<void()> action = std::move(found->second.action);
        PendingActions().erase(found);
        action();
    } catch (...) {
    }
}

bool EncoderClsid(const wchar_t* mime, CLSID* clsid)
{
    UINT count = 0;
    UINT size = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0) return false;
    std::vector<BYTE> buffer(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::GetImageEncoders(count, size, codecs) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i) {
        if (wcscmp(codecs[i].MimeType, mime) == 0) {
            *clsid = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

bool SaveRect(const RECT& rect, const std::wstring& name)
{
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return false;
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY | CAPTUREBLT);
    ::SelectObject(memory, old);
    bool saved = false;
    {
        Gdiplus::Bitmap image(bitmap, nullptr);
        CLSID png = {};
        const std::wstring folder = PavoTest::BinDirectory() + L"..\\screenshots\\";
        ::CreateDirectoryW(folder.c_str(), nullptr);
        if (EncoderClsid(L"image/png", &png)) {
            saved = image.Save((folder + name + L".png").c_str(), &png, nullptr) == Gdiplus::Ok;
        }
    }
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return saved;
}

}  // namespace

bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    const ULONGLONG start = ::GetTickCount64();
    const UINT_PTR tick = ::SetTimer(nullptr, 0, 20, nullptr);
    bool met = condition();
    if (!met) {
        Lumen::MessageLoop::RunUntil([&] {
            met = condition();
            return met || ::GetTickCount64() - start > timeoutMs;
        });
    }
    ::KillTimer(nullptr, tick);
    return met;
}

void PumpPending()
{
    MSG msg;
    for (int i = 0; i < 1000 && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (Lumen::MessageLoop::PreTranslate(msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

void ClickCenter(HWND control)
{
    RECT client = {};
    ::GetClientRect(control, &client);
    const LPARAM at = MAKELPARAM(client.right / 2, client.bottom / 2);
    ::PostMessageW(control, WM_MOUSEMOVE, 0, at);
    ::PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::PostMessageW(control, WM_LBUTTONUP, 0, at);
}

void TypeText(HWND edit, const std::wstring& text)
{
    for (wchar_t c : text) ::PostMessageW(edit, WM_CHAR, c, 1);
}

void PressKey(HWND window, UINT key, bool control)
{
    BYTE state[256] = {};
    ::GetKeyboardState(state);
    if (control) {
        state[VK_CONTROL] = 0x80;
        state[VK_LCONTROL] = 0x80;
        ::SetKeyboardState(state);
    }
    ::PostMessageW(window, WM_KEYDOWN, key, 1);
    ::PostMessageW(window, WM_KEYUP, key, 0xC0000001);
    PumpPending();
    if (control) {
        state[VK_CONTROL] = 0;
        state[VK_LCONTROL] = 0;
        ::SetKeyboardState(state);
    }
}

namespace {

INPUT KeyInput(WORD key, WORD scan, DWORD flags)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = scan;
    input.ki.dwFlags = flags;
    return input;
}

void PumpFor(DWORD ms)
{
    const ULONGLONG end = ::GetTickCount64() + ms;
    PumpUntil([end] { return ::GetTickCount64() >= end; }, ms + 1000);
}

}  // namespace

void SendKey(WORD key, bool shift, bool pump)
{
    std::vector<INPUT> inputs;
    if (shift) inputs.push_back(KeyInput(VK_SHIFT, 0, 0));
    inputs.push_back(KeyInput(key, 0, 0));
    inputs.push_back(KeyInput(key, 0, KEYEVENTF_KEYUP));
    if (shift) inputs.push_back(KeyInput(VK_SHIFT, 0, KEYEVENTF_KEYUP));
    ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    if (pump) PumpFor(150);
}

void SendText(const std::wstring& text)
{
    std::vector<INPUT> inputs;
    for (wchar_t c : text) {
        inputs.push_back(KeyInput(0, c, KEYEVENTF_UNICODE));
        inputs.push_back(KeyInput(0, c, KEYEVENTF_UNICODE | KEYEVENTF_KEYUP));
    }
    ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    PumpFor(200);
}

HWND InnerEdit(HWND editWithClear)
{
    return ::GetDlgItem(editWithClear, 25002);
}

std::wstring TextOf(HWND hwnd)
{
    wchar_t text[512] = {};
    ::GetWindowTextW(hwnd, text, 512);
    return text;
}

RECT ClientRectIn(HWND parent, HWND child)
{
    RECT rect = {};
    ::GetWindowRect(child, &rect);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

bool SaveScreenshot(HWND window, const std::wstring& name)
{
    // What the window would show once its pending paints are done.
    ::RedrawWindow(window, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_ERASENOW);
    // The copy below reads the screen; Wine hands a window's new pixels to
    // the screen when its thread next waits for messages. A wait that
    // returns at once (nothing is dispatched) does that here.
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_ALLINPUT);
    RECT rect = {};
    if (!::GetWindowRect(window, &rect)) return false;
    return SaveRect(rect, name);
}

bool SaveScreen(const std::wstring& name)
{
    const RECT rect = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    return SaveRect(rect, name);
}

void RunWhen(std::function<bool()> condition, std::function<void()> action)
{
    const UINT_PTR id = ::SetTimer(nullptr, 0, 20, RunWhenTimer);
    if (id != 0) PendingActions()[id] = PendingAction{std::move(condition), std::move(action)};
}

}  // namespace UiTest
