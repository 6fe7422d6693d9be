#pragma once

#include <windows.h>

namespace Lumen {

// One C++ object per window: the base of every control of the toolkit.
// A Window either creates its window at run time (Create) or takes over an
// existing one, typically a child of a dialog template (SubclassDlgItem).
// The object is bound to the window by a subclass (the window's procedure
// replaced by ours, which finds the object in a table of the process); the
// binding ends at WM_NCDESTROY or Detach().
// Messages reach the virtual WindowProc; no exception leaves it.
// UI thread only: a window and its object belong to the creating thread.
class Window {
public:
    Window() = default;
    virtual ~Window();

    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND GetHwnd() const { return hwnd_; }
    int GetDlgCtrlID() const { return hwnd_ ? ::GetDlgCtrlID(hwnd_) : 0; }
    bool IsCreated() const { return hwnd_ != nullptr && ::IsWindow(hwnd_); }

    // Creates a window of a registered class (see RegisterWindowClassOnce or
    // a system class) and binds it before its first message, so that
    // WM_NCCREATE and WM_CREATE reach WindowProc. For a child, `menuOrId` is
    // its control id.
    bool Create(const wchar_t* className, const wchar_t* text, DWORD style, DWORD exStyle,
                const RECT& rect, HWND parent, UINT_PTR menuOrId);

    // Binds an existing window (of any class) to this object. Fails when the
    // window is already bound to a Window or this object holds one.
    bool Subclass(HWND hwnd);
    // Binds the template child `id` of `parent`.
    bool SubclassDlgItem(int id, HWND parent);
    // Ends the binding without destroying the window.
    void Detach();
    // Destroys the window (the binding ends on its WM_NCDESTROY).
    void DestroyWindow();

    // The object bound to `hwnd`, or null.
    static Window* FromHandle(HWND hwnd);

protected:
    // Every message of the bound window. The default passes it on.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The processing the window had before it was bound (its class's).
    virtual LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam);
    // For windows whose procedure is ours from the start (dialogs): binds
    // without a subclass. UnbindHandle ends it (at WM_NCDESTROY).
    bool BindHandle(HWND hwnd);
    void UnbindHandle();
    // Called after the window's last message; the object may delete itself.
    virtual void OnFinalMessage() {}
    // Called once the window is bound, by Create and Subclass alike.
    virtual void OnAttached() {}

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    static LRESULT CALLBACK CreationHook(int code, WPARAM wParam, LPARAM lParam) noexcept;
    bool Bind(HWND hwnd);

    HWND hwnd_ = nullptr;
    WNDPROC previous_ = nullptr;  // the procedure before ours, when subclassed
    bool subclassed_ = false;
};

// Registers a window class by name once per process, so that dialog
// templates and Window::Create can name it. A second call with the same name
// is a success without effect. `proc` defaults to DefWindowProcW: the class
// then behaves as a plain window until a Window object subclasses it.
// Thread-safe.
bool RegisterWindowClassOnce(const wchar_t* name, WNDPROC proc = nullptr, UINT style = CS_DBLCLKS,
                             HBRUSH background = nullptr, HCURSOR cursor = nullptr);

// Whether `hwnd` is a child window whose client area covers the whole
// window: no border, edge or scroll bar, so WM_NCPAINT has nothing to draw.
bool HasNoNonClientArea(HWND hwnd);

// RedrawWindow(hwnd, nullptr, nullptr, flags) while `hwnd` can be seen. A
// hidden window, or one under a hidden parent, is painted whole when it
// shows, so marking it for repainting before then is a round trip to the
// window manager for nothing (skinning a page sets dozens of properties).
void RedrawIfVisible(HWND hwnd, UINT flags);

// The custom control classes that dialog templates name ("EditWithClear",
// "CustomWindowList", "CustomHtmlCtrl"), registered once per process. The
// dialogs call it before they load a template.
bool RegisterCustomControlClasses();

}  // namespace Lumen
