#pragma once

#include <windows.h>

#include <map>
#include <vector>

#include "GdiHandles.h"
#include "ResizeDialog.h"
#include "SkinImage.h"
#include "TaskbarManager.h"

namespace Lumen {

// Services every window of the agent shares: a double-buffered client
// background (brush and picture, never erased separately), transparent
// statics and check boxes on it, the keyboard filter (Enter and Escape never
// close the dialog: Enter presses the focused button unless it is the
// dialog's OK or Cancel, or goes to a control that asks for it; Tab follows
// the dialog's own order when it has one), the taskbar button, and closing:
// a dialog that is closed also ends the dialog box it has open.
// UI thread only.
class BaseDialog : public ResizeDialog {
public:
    explicit BaseDialog(UINT templateId = 0);

    bool PreTranslateMessage(MSG* msg) override;

    // The controls Tab and Shift+Tab go through, in order (the hidden and
    // disabled ones are passed over). Empty: the dialog manager's order, and
    // a child dialog leaves Tab to the dialog that holds it.
    virtual std::vector<HWND> GetTabOrder() { return {}; }

    // The background: a brush (the button-face colour by default; null for
    // none) and a picture stretched over the client area.
    void SetBackgroundColor(COLORREF color);
    void ClearBackgroundBrush() { backgroundBrush_.Reset(); }
    HBRUSH GetBackgroundBrush() const { return backgroundBrush_.Get(); }
    SkinImage& GetBackgroundImage() { return backgroundImage_; }

    TaskbarManager& GetTaskbarManager() { return taskbar_; }
    // Child rectangles recorded by the pages (client coordinates).
    std::map<HWND, RECT>& GetChildLayout() { return childLayout_; }

    // Draws the client background into `dc` (client coordinates).
    virtual void DrawBackground(HDC dc);
    // The rectangles (client coordinates) where DrawBackground draws more than
    // the plain brush fill; false when that is not known to hold anywhere (a
    // background picture, no brush, or a DrawBackground of its own).
    virtual bool GetLayeredParts(std::vector<RECT>* parts);

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void OnPaint();
    void PaintBackground(HDC dc, const RECT& area);
    bool OnTabKey();
    void OnEnterKey(MSG* msg);
    bool OnCtlColor(HDC dc, HWND control, LRESULT& result);
    void OnClose();

    ScopedBrush backgroundBrush_;
    SkinImage backgroundImage_;
    BLENDFUNCTION blend_ = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    TaskbarManager taskbar_;
    std::map<HWND, RECT> childLayout_;
};

}  // namespace Lumen
