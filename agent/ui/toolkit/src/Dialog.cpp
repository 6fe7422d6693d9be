#include "Dialog.h"

#include <exception>
#include <utility>

#include "ControlGeometry.h"
#include "GdiHandles.h"
#include "Lumen/DebugOutput.h"
#include "MessageLoop.h"

namespace Lumen {

namespace {

HINSTANCE g_resourceModule = nullptr;

// The dialog whose window is being made on this thread with creation icons,
// and the hook that waits for that window (removed once it has it, so that
// the dialog's controls are made without a hook to call).
struct IconCreation {
    const Dialog* dialog = nullptr;
    ScopedHook* hook = nullptr;
};
thread_local IconCreation t_iconCreation;

HINSTANCE ResourceModule()
{
    return g_resourceModule != nullptr ? g_resourceModule : ::GetModuleHandleW(nullptr);
}

// Messages whose result a dialog procedure returns itself instead of
// through DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT message)
{
    switch (message) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_INITDIALOG:
        return true;
    default:
        return false;
    }
}

}  // namespace

Dialog::~Dialog()
{
    // The derived parts are gone: the window must not reach this object again.
    if (HWND hwnd = GetHwnd()) {
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        UnbindHandle();
        ::DestroyWindow(hwnd);
    }
}

void Dialog::SetResourceModule(HINSTANCE module)
{
    g_resourceModule = module;
}

Dialog* Dialog::FromHandle(HWND hwnd)
{
    return dynamic_cast<Dialog*>(Window::FromHandle(hwnd));
}

bool Dialog::Create(UINT templateId, HWND parent)
{
    if (GetHwnd() != nullptr) return false;
    RegisterCustomControlClasses();
    templateId_ = templateId;
    const HWND focus = ::GetFocus();
    // The dialog's own window is the first one made: its controls come after.
    ScopedHook hook;
    if (creationBigIcon_ != nullptr || creationSmallIcon_ != nullptr) {
        hook.Reset(::SetWindowsHookExW(WH_CBT, CreationHook, nullptr, ::GetCurrentThreadId()));
        if (hook) t_iconCreation = IconCreation{this, &hook};
    }
    HWND hwnd = ::CreateDialogParamW(ResourceModule(), MAKEINTRESOURCEW(templateId), parent, DialogProc,
                                     reinterpret_cast<LPARAM>(this));
    t_iconCreation = IconCreation{};
    hook.Reset();
    if (hwnd == nullptr) {
        OutputDebugMessage(L"fail to create dialog %d, error : %d", static_cast<int>(templateId),
                           static_cast<int>(::GetLastError()));
        return false;
    }
    // The dialog manager gives a new dialog's first control the focus even
    // while the dialog is hidden: the keys would go to a window nobody sees.
    const HWND taken = ::GetFocus();
    if (!::IsWindowVisible(hwnd) && taken != focus && (taken == hwnd || ::IsChild(hwnd, taken))) {
        ::SetFocus(focus != nullptr && ::IsWindow(focus) ? focus : nullptr);
    }
    return true;
}

void Dialog::SetCreationIcons(HICON big, HICON small)
{
    creationBigIcon_ = big;
    creationSmallIcon_ = small;
}

LRESULT CALLBACK Dialog::CreationHook(int code, WPARAM wParam, LPARAM lParam) noexcept
{
    if (code != HCBT_CREATEWND || t_iconCreation.dialog == nullptr) {
        return ::CallNextHookEx(nullptr, code, wParam, lParam);
    }
    const IconCreation creation = std::exchange(t_iconCreation, IconCreation{});
    const HWND hwnd = reinterpret_cast<HWND>(wParam);
    if (creation.dialog->creationBigIcon_ != nullptr) {
        ::SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(creation.dialog->creationBigIcon_));
    }
    if (creation.dialog->creationSmallIcon_ != nullptr) {
        ::SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(creation.dialog->creationSmallIcon_));
    }
    const LRESULT next = ::CallNextHookEx(nullptr, code, wParam, lParam);
    creation.hook->Reset();
    return next;
}

INT_PTR Dialog::DoModal(UINT templateId, HWND parent)
{
    templateId_ = templateId;
    return DoModal(parent);
}

INT_PTR Dialog::DoModal(HWND parent)
{
    if (GetHwnd() != nullptr) return -1;
    HWND owner = parent != nullptr ? ::GetAncestor(parent, GA_ROOT) : nullptr;
    modal_ = true;
    if (!Create(templateId_, owner)) {
        modal_ = false;
        return -1;
    }
    const bool disableOwner = owner != nullptr && ::IsWindowEnabled(owner);
    if (disableOwner) ::EnableWindow(owner, FALSE);
    HWND hwnd = GetHwnd();
    if (hwnd != nullptr && !endModalLoop_) ::ShowWindow(hwnd, SW_SHOWNORMAL);
    const int result = RunModalLoop();
    // The owner is enabled before the dialog goes, so that it gets the activation.
    if (disableOwner) ::EnableWindow(owner, TRUE);
    if (hwnd != nullptr && ::IsWindow(hwnd)) {
        ::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                       SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
        if (owner != nullptr && ::GetActiveWindow() == hwnd) ::SetActiveWindow(owner);
        ::DestroyWindow(hwnd);
    }
    modal_ = false;
    return result;
}

void Dialog::EndDialog(INT_PTR result)
{
    if (modal_) {
        EndModalLoop(static_cast<int>(result));
    } else if (GetHwnd() != nullptr) {
        if (inModalLoop_) EndModalLoop(static_cast<int>(result));
        ::ShowWindow(GetHwnd(), SW_HIDE);
    }
}

void Dialog::CenterOn(HWND owner)
{
    const HWND hwnd = GetHwnd();
    if (hwnd == nullptr) return;
    RECT area = {};
    if (owner != nullptr && ::IsWindowVisible(owner) && !::IsIconic(owner)) {
        ::GetWindowRect(owner, &area);
    } else {
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    }
    RECT rect = {};
    ::GetWindowRect(hwnd, &rect);
    const POINT origin = CenteredOrigin(area, SIZE{rect.right - rect.left, rect.bottom - rect.top});
    ::SetWindowPos(hwnd, nullptr, origin.x, origin.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int Dialog::RunModalLoop()
{
    if (GetHwnd() == nullptr) return -1;
    // An EndDialog during OnInitDialog ends the run before it starts.
    if (!endModalLoop_) modalResult_ = -1;
    inModalLoop_ = true;
    const HWND hwnd = GetHwnd();
    MessageLoop::RunUntil([this, hwnd] { return endModalLoop_ || !::IsWindow(hwnd); });
    inModalLoop_ = false;
    endModalLoop_ = false;
    return modalResult_;
}

void Dialog::EndModalLoop(int result)
{
    modalResult_ = result;
    endModalLoop_ = true;
    // Wakes the loop if it is waiting in GetMessage.
    if (GetHwnd() != nullptr) ::PostMessageW(GetHwnd(), WM_NULL, 0, 0);
}

bool Dialog::PreTranslateMessage(MSG* msg)
{
    if (msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST) return false;
    return GetHwnd() != nullptr && ::IsDialogMessageW(GetHwnd(), msg) != 0;
}

LRESULT Dialog::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND hwnd = GetHwnd();
    if (hwnd == nullptr) return 0;
    if (message == WM_CLOSE) {
        ::SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(hwnd, IDCANCEL)));
        return 0;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

bool Dialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_COMMAND: {
        const WORD id = LOWORD(wParam);
        const WORD code = HIWORD(wParam);
        const auto control = reinterpret_cast<HWND>(lParam);
        if (OnCommand(id, code, control)) return true;
        if (id == IDOK && (code == BN_CLICKED || control == nullptr)) {
            OnOK();
            return true;
        }
        if (id == IDCANCEL && (code == BN_CLICKED || control == nullptr)) {
            OnCancel();
            return true;
        }
        return false;
    }
    case WM_NOTIFY:
        return OnNotify(reinterpret_cast<NMHDR*>(lParam), result);
    case WM_TIMER:
        OnTimer(static_cast<UINT_PTR>(wParam));
        return true;
    case WM_DESTROY:
        OnDestroy();
        return false;
    default:
        return false;
    }
}

INT_PTR Dialog::Dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) return OnInitDialog();
    LRESULT result = 0;
    if (!OnMessage(message, wParam, lParam, result)) return FALSE;
    if (ReturnsResultDirectly(message)) return static_cast<INT_PTR>(result);
    ::SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
    return TRUE;
}

INT_PTR CALLBACK Dialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    Dialog* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lParam);
        if (self == nullptr || !self->BindHandle(hwnd)) return FALSE;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<Dialog*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (self == nullptr) return FALSE;  // before WM_INITDIALOG: the dialog manager's handling
    INT_PTR handled = FALSE;
    try {
        handled = self->Dispatch(hwnd, message, wParam, lParam);
    } catch (const std::exception& e) {
        OutputDebugMessage(L"dialog procedure failed : %hs", e.what());
        handled = FALSE;
    } catch (...) {
        OutputDebugMessage(L"dialog procedure failed");
        handled = FALSE;
    }
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->UnbindHandle();
        self->endModalLoop_ = self->inModalLoop_ ? true : self->endModalLoop_;
        try {
            self->OnFinalMessage();
        } catch (...) {
            OutputDebugMessage(L"final message handler failed");
        }
    }
    return handled;
}

}  // namespace Lumen
