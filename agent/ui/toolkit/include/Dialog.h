#pragma once

#include <windows.h>

#include "Window.h"

namespace Lumen {

// The dialog framework: one object per dialog made from a template of the
// program's resources, modeless (Create) or modal (DoModal). `this` travels
// in CreateDialogParamW's parameter, is kept in GWLP_USERDATA from
// WM_INITDIALOG and cleared at WM_NCDESTROY. Messages reach OnMessage, which
// dispatches to the virtual handlers; no exception leaves the dialog
// procedure. Modal dialogs run the toolkit's own loop (MessageLoop), so that
// the message filters of the dialogs see their keys.
// UI thread only.
class Dialog : public Window {
public:
    explicit Dialog(UINT templateId = 0) : templateId_(templateId) {}
    ~Dialog() override;

    // Creates the dialog modeless from `templateId` as a child or an owned
    // popup of `parent`, as the template says.
    bool Create(UINT templateId, HWND parent);
    bool Create(HWND parent) { return Create(templateId_, parent); }
    // Runs the dialog modally: the top-level owner is disabled until
    // EndDialog, the dialog is destroyed afterwards. The EndDialog result,
    // or -1 when the dialog could not be created.
    INT_PTR DoModal(HWND parent);
    INT_PTR DoModal(UINT templateId, HWND parent);
    // Ends a modal run with `result`; a modeless dialog is hidden and kept.
    void EndDialog(INT_PTR result);
    // Moves the window to the centre of `owner` (the work area when the
    // owner is absent, hidden or minimised); size and z-order are kept.
    void CenterOn(HWND owner);

    // Runs a modal loop on this (already created) window until
    // EndModalLoop, the window's destruction or WM_QUIT (posted again);
    // returns the EndModalLoop value (-1 otherwise).
    int RunModalLoop();
    void EndModalLoop(int result);
    bool IsInModalLoop() const { return inModalLoop_; }
    bool IsModal() const { return modal_; }

    UINT GetTemplateId() const { return templateId_; }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(GetHwnd(), id); }

    // The dialog's message filter, offered the messages of its window and of
    // its children by the message loop (MessageLoop::PreTranslate) before
    // they are dispatched; true when the message was handled. Default: the
    // dialog keyboard (IsDialogMessageW).
    virtual bool PreTranslateMessage(MSG* msg);

    // Icons the window is given (WM_SETICON) while it is being made, before
    // the system makes its native window for it. Set afterwards, each icon
    // makes the window manager's side convert both icons again (under Wine
    // about a millisecond and a half each, on the way to the first paint).
    void SetCreationIcons(HICON big, HICON small);

    // Where templates are loaded from (default: the program's module).
    static void SetResourceModule(HINSTANCE module);
    // The Dialog bound to `hwnd`, or null.
    static Dialog* FromHandle(HWND hwnd);

protected:
    // Returns TRUE to let the system give the focus to the first control.
    virtual BOOL OnInitDialog() { return TRUE; }
    // IDOK and IDCANCEL commands (Enter, Escape, the close box): EndDialog.
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    // WM_COMMAND other than IDOK/IDCANCEL; true when handled.
    virtual bool OnCommand(WORD /*id*/, WORD /*code*/, HWND /*control*/) { return false; }
    // WM_NOTIFY; true when handled, with the result in `result`.
    virtual bool OnNotify(NMHDR* /*header*/, LRESULT& /*result*/) { return false; }
    virtual void OnTimer(UINT_PTR /*id*/) {}
    virtual void OnDestroy() {}
    // After the last message: the object may delete itself.
    void OnFinalMessage() override {}

    // Every message after WM_INITDIALOG. Return true when handled, with the
    // message's result in `result`; false gives the system's dialog handling.
    // Overrides call the base for what they do not handle.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // What the dialog manager would do with a message: DefWindowProcW, and
    // for WM_CLOSE the cancel command.
    LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    static LRESULT CALLBACK CreationHook(int code, WPARAM wParam, LPARAM lParam) noexcept;
    INT_PTR Dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    UINT templateId_;
    HICON creationBigIcon_ = nullptr;
    HICON creationSmallIcon_ = nullptr;
    bool modal_ = false;
    bool inModalLoop_ = false;
    bool endModalLoop_ = false;
    int modalResult_ = -1;
};

}  // namespace Lumen
