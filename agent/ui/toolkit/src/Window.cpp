#include "Window.h"

#include <exception>
#include <initializer_list>
#include <mutex>
#include <set>
#include <unordered_map>
#include <string>
#include <utility>

#include "GdiHandles.h"
#include "Lumen/DebugOutput.h"

namespace Lumen {

namespace {

// The object being created by Window::Create on this thread, taken by the
// creation hook for the first window created: CreateWindowExW sends messages
// (WM_NCCREATE, WM_CREATE) before it returns.
thread_local Window* t_creating = nullptr;

std::mutex g_classLock;
std::set<std::wstring>& RegisteredClasses()
{
    static std::set<std::wstring> names;
    return names;
}

// Which object each bound window belongs to, and the procedure it had before
// (null for a window bound without a subclass). Kept in the process rather
// than as window properties: a property is a call into the window manager on
// every message (under Wine, a round trip to its server), this is a lookup.
// An entry whose object is null is a window still subclassed by us after its
// object let go, because another subclass was put on top of ours: its
// messages pass straight on until WM_NCDESTROY.
struct Binding {
    Window* object = nullptr;
    WNDPROC previous = nullptr;
};
std::mutex g_bindingLock;
std::unordered_map<HWND, Binding>& Bindings()
{
    static std::unordered_map<HWND, Binding> bindings;
    return bindings;
}

bool FindBinding(HWND hwnd, Binding* binding)
{
    std::lock_guard<std::mutex> lock(g_bindingLock);
    const auto found = Bindings().find(hwnd);
    if (found == Bindings().end()) return false;
    *binding = found->second;
    return true;
}

}  // namespace

Window::~Window()
{
    // An object that dies before its window must not leave a dangling
    // reference behind: the window goes on with its class's handling.
    Detach();
}

bool Window::Bind(HWND hwnd)
{
    if (hwnd == nullptr) return false;
    {
        std::lock_guard<std::mutex> lock(g_bindingLock);
        const auto found = Bindings().find(hwnd);
        if (found != Bindings().end()) {
            // Our procedure is still in the window's chain: take the entry over.
            if (found->second.object != nullptr || found->second.previous == nullptr) return false;
            found->second.object = this;
            previous_ = found->second.previous;
            hwnd_ = hwnd;
            subclassed_ = true;
            return true;
        }
    }
    ::SetLastError(ERROR_SUCCESS);
    const auto previous = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Window::SubclassProc)));
    if (previous == nullptr) return false;  // another process's window, or none
    {
        std::lock_guard<std::mutex> lock(g_bindingLock);
        Bindings()[hwnd] = Binding{this, previous};
    }
    previous_ = previous;
    hwnd_ = hwnd;
    subclassed_ = true;
    return true;
}

bool Window::BindHandle(HWND hwnd)
{
    if (hwnd == nullptr || hwnd_ != nullptr) return false;
    {
        std::lock_guard<std::mutex> lock(g_bindingLock);
        if (!Bindings().emplace(hwnd, Binding{this, nullptr}).second) return false;
    }
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
    const HWND hwnd = hwnd_;
    hwnd_ = nullptr;
    const bool subclassed = std::exchange(subclassed_, false);
    std::lock_guard<std::mutex> lock(g_bindingLock);
    const auto found = Bindings().find(hwnd);
    if (found == Bindings().end() || found->second.object != this) return;
    const bool ours = ::GetWindowLongPtrW(hwnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&Window::SubclassProc);
    if (subclassed && !ours && ::IsWindow(hwnd)) {
        // A later subclass calls ours: stay in the chain, passing messages on.
        found->second.object = nullptr;
        return;
    }
    if (subclassed && ours) {
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(found->second.previous));
    }
    Bindings().erase(found);
}

void Window::DestroyWindow()
{
    if (hwnd_ != nullptr) ::DestroyWindow(hwnd_);
}

Window* Window::FromHandle(HWND hwnd)
{
    if (hwnd == nullptr) return nullptr;
    Binding binding;
    return FindBinding(hwnd, &binding) ? binding.object : nullptr;
}

bool Window::Create(const wchar_t* className, const wchar_t* text, DWORD style, DWORD exStyle,
                    const RECT& rect, HWND parent, UINT_PTR menuOrId)
{
    if (hwnd_ != nullptr) return false;
    ScopedHook hook(::SetWindowsHookExW(WH_CBT, CreationHook, nullptr, ::GetCurrentThreadId()));
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

bool HasNoNonClientArea(HWND hwnd)
{
    if ((::GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD) == 0) return false;
    RECT window = {};
    RECT client = {};
    if (!::GetWindowRect(hwnd, &window) || !::GetClientRect(hwnd, &client)) return false;
    return window.right - window.left == client.right && window.bottom - window.top == client.bottom;
}

LRESULT Window::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    // A child whose client area is all of it has no frame or scroll bar to
    // draw: the class's handling would only take a window DC for nothing,
    // which costs several round trips per control each time it is shown
    // under Wine.
    if (message == WM_NCPAINT && hwnd_ != nullptr && HasNoNonClientArea(hwnd_)) return 0;
    if (!subclassed_ || previous_ == nullptr) return ::DefWindowProcW(hwnd_, message, wParam, lParam);
    return ::CallWindowProcW(previous_, hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK Window::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    Binding binding;
    if (!FindBinding(hwnd, &binding)) return ::DefWindowProcW(hwnd, message, wParam, lParam);
    Window* const self = binding.object;
    LRESULT result = 0;
    if (self == nullptr) {
        result = ::CallWindowProcW(binding.previous, hwnd, message, wParam, lParam);
    } else {
        try {
            result = self->WindowProc(message, wParam, lParam);
        } catch (const std::exception& e) {
            OutputDebugMessage(L"window procedure failed : %hs", e.what());
            result = ::CallWindowProcW(binding.previous, hwnd, message, wParam, lParam);
        } catch (...) {
            OutputDebugMessage(L"window procedure failed");
            result = ::CallWindowProcW(binding.previous, hwnd, message, wParam, lParam);
        }
    }
    if (message == WM_NCDESTROY) {
        {
            std::lock_guard<std::mutex> lock(g_bindingLock);
            const auto found = Bindings().find(hwnd);
            if (found != Bindings().end() && found->second.previous != nullptr) Bindings().erase(found);
        }
        if (::GetWindowLongPtrW(hwnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&Window::SubclassProc)) {
            ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(binding.previous));
        }
        if (self != nullptr && self->hwnd_ == hwnd) {
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

void RedrawIfVisible(HWND hwnd, UINT flags)
{
    if (hwnd != nullptr && ::IsWindowVisible(hwnd)) ::RedrawWindow(hwnd, nullptr, nullptr, flags);
}

}  // namespace Lumen
