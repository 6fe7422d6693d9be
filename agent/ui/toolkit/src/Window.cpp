#include "Window.h"

#include <commctrl.h>

#include <exception>
#include <initializer_list>
#include <mutex>
#include <set>
#include <string>
#include <utility>

#include "Lumen/DebugOutput.h"
#include "Lumen/UniqueHandle.h"

namespace Lumen {

namespace {

constexpr UINT_PTR kSubclassId = 0x4C554D31;  // one subclass slot per window for our objects
// The bound object is also kept as a window property: comctl32's
// GetWindowSubclass is exported by ordinal only.
constexpr wchar_t kObjectProperty[] = L"Lumen.Window";

// The object being created by Window::Create on this thread, taken by the
// creation hook for the first window created: CreateWindowExW sends messages
// (WM_NCCREATE, WM_CREATE) before it returns.
thread_local Window* t_creating = nullptr;

struct HookHandleTraits {
    using Type = HHOOK;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr; }
    static void Close(Type h) noexcept { ::UnhookWindowsHookEx(h); }
};

std::mutex g_classLock;
std::set<std::wstring>& RegisteredClasses()
{
    static std::set<std::wstring> names;
    return names;
}

}  // namespace

Window::~Window()
{
    // An object that dies before its window must not leave a dangling
    // reference in the subclass: the window goes on with its class's handling.
    Detach();
}

bool Window::Bind(HWND hwnd)
{
    if (!::SetPropW(hwnd, kObjectProperty, this)) return false;
    if (!::SetWindowSubclass(hwnd, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
        ::RemovePropW(hwnd, kObjectProperty);
        return false;
    }
    hwnd_ = hwnd;
    subclassed_ = true;
    return true;
}

bool Window::BindHandle(HWND hwnd)
{
    if (hwnd == nullptr || hwnd_ != nullptr || !::SetPropW(hwnd, kObjectProperty, this)) return false;
    hwnd_ = hwnd;
    subclassed_ = false;
    return true;
}

void Window::UnbindHandle()
{
    Detach();
}

bool Window::Subclass(HWND hwnd)
{
    if (hwnd == nullptr || hwnd_ != nullptr || FromHandle(hwnd) != nullptr) return false;
    if (!Bind(hwnd)) return false;
    OnAttached();
    return true;
}

bool Window::SubclassDlgItem(int id, HWND parent)
{
    return Subclass(::GetDlgItem(parent, id));
}

void Window::Detach()
{
    if (hwnd_ == nullptr) return;
    if (subclassed_) ::RemoveWindowSubclass(hwnd_, SubclassProc, kSubclassId);
    ::RemovePropW(hwnd_, kObjectProperty);
    hwnd_ = nullptr;
    subclassed_ = false;
}

void Window::DestroyWindow()
{
    if (hwnd_ != nullptr) ::DestroyWindow(hwnd_);
}

Window* Window::FromHandle(HWND hwnd)
{
    if (hwnd == nullptr) return nullptr;
    return static_cast<Window*>(::GetPropW(hwnd, kObjectProperty));
}

bool Window::Create(const wchar_t* className, const wchar_t* text, DWORD style, DWORD exStyle,
                    const RECT& rect, HWND parent, UINT_PTR menuOrId)
{
    if (hwnd_ != nullptr) return false;
    UniqueHandle<HookHandleTraits> hook(
        ::SetWindowsHookExW(WH_CBT, CreationHook, nullptr, ::GetCurrentThreadId()));
    if (!hook) return false;
    Window* const previous = t_creating;
    t_creating = this;
    HWND hwnd = ::CreateWindowExW(exStyle, className, text, style, rect.left, rect.top,
                                  rect.right - rect.left, rect.bottom - rect.top, parent,
                                  reinterpret_cast<HMENU>(menuOrId), ::GetModuleHandleW(nullptr), nullptr);
    t_creating = previous;
    hook.Reset();
    if (hwnd == nullptr) {
        hwnd_ = nullptr;
        return false;
    }
    if (hwnd_ != hwnd && !Bind(hwnd)) {
        ::DestroyWindow(hwnd);
        return false;
    }
    OnAttached();
    return true;
}

LRESULT Window::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefaultProc(message, wParam, lParam);
}

LRESULT Window::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!subclassed_) return ::DefWindowProcW(hwnd_, message, wParam, lParam);
    return ::DefSubclassProc(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK Window::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                      DWORD_PTR refData) noexcept
{
    auto* self = reinterpret_cast<Window*>(refData);
    LRESULT result = 0;
    try {
        result = self->WindowProc(message, wParam, lParam);
    } catch (const std::exception& e) {
        OutputDebugMessage(L"window procedure failed : %hs", e.what());
        result = ::DefSubclassProc(hwnd, message, wParam, lParam);
    } catch (...) {
        OutputDebugMessage(L"window procedure failed");
        result = ::DefSubclassProc(hwnd, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        ::RemoveWindowSubclass(hwnd, SubclassProc, kSubclassId);
        ::RemovePropW(hwnd, kObjectProperty);
        if (self->hwnd_ == hwnd) {
            self->hwnd_ = nullptr;
            self->subclassed_ = false;
            try {
                self->OnFinalMessage();
            } catch (...) {
                OutputDebugMessage(L"final message handler failed");
            }
        }
    }
    return result;
}

LRESULT CALLBACK Window::CreationHook(int code, WPARAM wParam, LPARAM lParam) noexcept
{
    if (code == HCBT_CREATEWND && t_creating != nullptr) {
        Window* self = std::exchange(t_creating, nullptr);
        self->Bind(reinterpret_cast<HWND>(wParam));
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

bool RegisterWindowClassOnce(const wchar_t* name, WNDPROC proc, UINT style, HBRUSH background, HCURSOR cursor)
{
    if (name == nullptr || *name == L'\0') return false;
    std::lock_guard<std::mutex> lock(g_classLock);
    if (RegisteredClasses().count(name) != 0) return true;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = style;
    wc.lpfnWndProc = proc != nullptr ? proc : ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = cursor != nullptr ? cursor : ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    if (::RegisterClassExW(&wc) == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        OutputDebugMessage(L"fail to register window class %s, error : %d", name,
                           static_cast<int>(::GetLastError()));
        return false;
    }
    RegisteredClasses().insert(name);
    return true;
}

bool RegisterCustomControlClasses()
{
    bool ok = true;
    for (const wchar_t* name : {L"EditWithClear", L"CustomWindowList", L"CustomHtmlCtrl"}) {
        ok = RegisterWindowClassOnce(name, nullptr, CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS,
                                     reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1)) && ok;
    }
    return ok;
}

}  // namespace Lumen
