#include "BaseDialog.h"

#include <cwchar>

#include "BufferDC.h"
#include "KeyboardNavigation.h"

namespace Lumen {

namespace {

bool IsClass(HWND hwnd, const wchar_t* name)
{
    wchar_t className[64] = {};
    return ::GetClassNameW(hwnd, className, 64) > 0 && _wcsicmp(className, name) == 0;
}

bool IsCheckOrRadio(HWND button)
{
    switch (::GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK) {
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_3STATE:
    case BS_AUTO3STATE:
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
        return true;
    default:
        return false;
    }
}

}  // namespace

BaseDialog::BaseDialog(UINT templateId)
    : ResizeDialog(templateId), backgroundBrush_(::CreateSolidBrush(::GetSysColor(COLOR_BTNFACE)))
{
}

void BaseDialog::SetBackgroundColor(COLORREF color)
{
    ScopedBrush brush(::CreateSolidBrush(color));
    if (brush) backgroundBrush_ = std::move(brush);
}

bool BaseDialog::OnTabKey()
{
    if (::GetKeyState(VK_CONTROL) < 0 || ::GetKeyState(VK_MENU) < 0) return false;
    const std::vector<HWND> order = GetTabOrder();
    if (order.empty()) return false;
    const HWND target = KeyboardNavigation::MoveFocus(order, ::GetKeyState(VK_SHIFT) < 0);
    if (target == nullptr) return false;
    KeyboardNavigation::ShowFocusCues(target);
    return true;
}

void BaseDialog::OnEnterKey(MSG* msg)
{
    const HWND target = msg->hwnd;
    if (target == nullptr || target == GetHwnd() || !::IsChild(GetHwnd(), target)) return;
    const LRESULT wants = ::SendMessageW(target, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg));
    if ((wants & (DLGC_WANTMESSAGE | DLGC_WANTALLKEYS)) != 0) {
        // The key only, no character: a field that does not use it stays quiet.
        ::DispatchMessageW(msg);
    } else if (KeyboardNavigation::IsPushButton(target)) {
        // Never the dialog's own OK or Cancel: Enter does not close a dialog
        // (Space still presses them).
        const int id = ::GetDlgCtrlID(target);
        if (id != IDOK && id != IDCANCEL) KeyboardNavigation::Press(target);
    }
}

bool BaseDialog::PreTranslateMessage(MSG* msg)
{
    if (msg->message == WM_KEYDOWN) {
        switch (msg->wParam) {
        case VK_ESCAPE:
            return true;
        case VK_RETURN:
            OnEnterKey(msg);
            return true;
        case VK_TAB:
            if (OnTabKey()) return true;
            // A row or panel without its own order: the dialog around it decides.
            if ((::GetWindowLongW(GetHwnd(), GWL_STYLE) & WS_CHILD) != 0) return false;
            break;
        default:
            break;
        }
    }
    if (msg->message == TaskbarManager::TaskbarButtonCreatedMessage() && msg->hwnd == GetHwnd()) {
        taskbar_.OnTaskbarButtonCreated();
        return true;
    }
    return ResizeDialog::PreTranslateMessage(msg);
}

void BaseDialog::DrawBackground(HDC dc)
{
    RECT client = {};
    ::GetClientRect(GetHwnd(), &client);
    if (backgroundBrush_) ::FillRect(dc, &client, backgroundBrush_.Get());
    if (backgroundImage_.IsValid()) backgroundImage_.Draw(dc, client);
}

bool BaseDialog::GetLayeredParts(std::vector<RECT>* parts)
{
    parts->clear();
    return backgroundBrush_ && !backgroundImage_.IsValid();
}

void BaseDialog::OnPaint()
{
    PAINTSTRUCT paint = {};
    HDC dc = ::BeginPaint(GetHwnd(), &paint);
    if (dc == nullptr) return;
    // Only what needs painting: with WS_CLIPCHILDREN, a page that covers
    // the whole client area leaves nothing of the dialog's own to paint.
    RECT client = {};
    ::GetClientRect(GetHwnd(), &client);
    RECT area = {};
    if (::IntersectRect(&area, &client, &paint.rcPaint)) PaintBackground(dc, area);
    ::EndPaint(GetHwnd(), &paint);
}

void BaseDialog::PaintBackground(HDC dc, const RECT& area)
{
    std::vector<RECT> layered;
    if (!GetLayeredParts(&layered)) {
        BufferDC buffer(dc, area);
        DrawBackground(buffer.Get());
        return;
    }
    // Every pixel is still written once, with its final colour: the plain
    // fill goes straight to the window around the layered parts, and each of
    // those is composed in a buffer of its own. A fresh buffer of the whole
    // area was memory to first touch for every page's first paint (about
    // 3.5 ms for a page of the main window here).
    const int saved = ::SaveDC(dc);
    for (const RECT& part : layered) ::ExcludeClipRect(dc, part.left, part.top, part.right, part.bottom);
    ::FillRect(dc, &area, backgroundBrush_.Get());
    ::RestoreDC(dc, saved);
    for (const RECT& part : layered) {
        RECT piece = {};
        if (!::IntersectRect(&piece, &part, &area)) continue;
        BufferDC buffer(dc, piece);
        DrawBackground(buffer.Get());
    }
}

bool BaseDialog::OnCtlColor(HDC dc, HWND control, LRESULT& result)
{
    if (!backgroundBrush_) return false;
    if (IsClass(control, L"Static") || (IsClass(control, L"Button") && IsCheckOrRadio(control))) {
        ::SetBkMode(dc, TRANSPARENT);
        result = reinterpret_cast<LRESULT>(backgroundBrush_.Get());
        return true;
    }
    return false;
}

void BaseDialog::OnClose()
{
    const HWND hwnd = GetHwnd();
    DefaultProc(WM_CLOSE, 0, 0);
    if (!::IsWindow(hwnd)) return;
    // A dialog box this window has open goes with it.
    HWND popup = ::GetLastActivePopup(hwnd);
    if (popup == nullptr || popup == hwnd || !IsClass(popup, L"#32770")) return;
    if (Dialog* dialog = Dialog::FromHandle(popup)) {
        dialog->EndDialog(IDCANCEL);
    } else {
        ::EndDialog(popup, IDCANCEL);
    }
}

bool BaseDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_ERASEBKGND:
        result = 1;
        return true;
    case WM_PAINT:
        OnPaint();
        result = 0;
        return true;
    case WM_PRINTCLIENT:
        DrawBackground(reinterpret_cast<HDC>(wParam));
        result = 0;
        return true;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        if (OnCtlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam), result)) return true;
        break;
    case WM_CLOSE:
        OnClose();
        result = 0;
        return true;
    case WM_DESTROY:
        taskbar_.Release();
        break;
    default:
        if (message == TaskbarManager::TaskbarButtonCreatedMessage() && message != 0) {
            // Sent rather than posted: the filter never saw it.
            taskbar_.OnTaskbarButtonCreated();
            result = 0;
            return true;
        }
        break;
    }
    return ResizeDialog::OnMessage(message, wParam, lParam, result);
}

}  // namespace Lumen
