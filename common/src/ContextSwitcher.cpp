#include "Lumen/ContextSwitcher.h"

#include "Lumen/DebugOutput.h"

namespace Lumen {

namespace {

constexpr const wchar_t* kClassName = L"LumenContextSwitcher";

HINSTANCE ModuleInstance()
{
    return ::GetModuleHandleW(nullptr);
}

bool RegisterOnce(WNDPROC procedure)
{
    WNDCLASSEXW existing = {};
    existing.cbSize = sizeof(existing);
    if (::GetClassInfoExW(ModuleInstance(), kClassName, &existing)) return true;
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = ModuleInstance();
    windowClass.lpszClassName = kClassName;
    return ::RegisterClassExW(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

ContextSwitcher::~ContextSwitcher()
{
    Destroy();
}

bool ContextSwitcher::Create()
{
    if (Exists()) return true;
    if (!RegisterOnce(&ContextSwitcher::WindowProc)) return false;
    window_ = ::CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ModuleInstance(), this);
    if (window_ == nullptr) {
        OutputDebugMessage(L"ContextSwitcher::Create() ERROR : %d", static_cast<int>(::GetLastError()));
        return false;
    }
    return true;
}

void ContextSwitcher::Destroy()
{
    if (window_ != nullptr) {
        ::DestroyWindow(window_);
        window_ = nullptr;
    }
}

bool ContextSwitcher::SwitchSync(WPARAM serial)
{
    const HWND window = window_;
    if (window == nullptr || !::IsWindow(window)) return false;
    ::SendMessageW(window, kSwitchSync, serial, 0);
    return true;
}

bool ContextSwitcher::SwitchAsync(WPARAM serial)
{
    const HWND window = window_;
    if (window == nullptr || !::IsWindow(window)) return false;
    return ::PostMessageW(window, kSwitchAsync, serial, 0) != FALSE;
}

LRESULT CALLBACK ContextSwitcher::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<ContextSwitcher*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCDESTROY) ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    if ((message == kSwitchSync || message == kSwitchAsync) && self != nullptr && self->delegater_ != nullptr) {
        try {
            return self->delegater_->OnSwitchContext(message == kSwitchSync, wParam);
        } catch (...) {
            OutputDebugMessage(L"ContextSwitcher : a switched call raised an exception");
            return 0;
        }
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace Lumen
