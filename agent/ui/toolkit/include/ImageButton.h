#pragma once

#include <windows.h>

#include <string>

#include "ControlGeometry.h"
#include "SkinImage.h"
#include "SkinKeys.h"
#include "ToolTipHelper.h"
#include "Window.h"

namespace Lumen {

// A button (push button, check box or radio button) drawn entirely by us,
// double-buffered: a background colour per state, then the state's frame of
// a four-frame picture strip stretched over the client area, then the text.
// Hover is tracked with TrackMouseEvent. UI thread only.
class ImageButton : public Window, public ToolTipHelper {
public:
    ImageButton();

    // Creates a button at run time (class "Button").
    bool CreateButton(const wchar_t* text, DWORD style, const RECT& rect, HWND parent, UINT id);

    // The strip shown normally, and the strip shown while an automatic
    // check box is checked. A picture that cannot be loaded leaves the
    // previous one; false then.
    bool LoadStrip(const std::wstring& path);
    bool LoadCheckedStrip(const std::wstring& path);
    SkinImage& Strip() { return strip_; }
    SkinImage& CheckedStrip() { return checkedStrip_; }

    void SetTextColors(const StateColors& colors);
    void SetBackgroundColors(const StateColors& colors);
    void SetTextMargin(POINT margin);
    // The focus cue is drawn while the button has the focus and the
    // window's keyboard-cue state shows cues; false never draws it.
    void SetFocusRectVisible(bool visible) { focusRect_ = visible; }
    // The text drawn on the button when it differs from its window text
    // (which screen readers read): empty draws the window text.
    void SetDisplayText(const std::wstring& text);
    const std::wstring& GetDisplayText() const { return displayText_; }
    const StateColors& GetTextColors() const { return textColors_; }
    const StateColors& GetBackgroundColors() const { return bgColors_; }
    POINT GetTextMargin() const { return textMargin_; }

    bool IsHover() const { return hover_; }
    // The strip frame the button paints now.
    int GetPaintState() const;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    virtual void Paint(HDC dc);

private:
    void Redraw();

    SkinImage strip_;
    SkinImage checkedStrip_;
    StateColors textColors_;
    StateColors bgColors_;
    POINT textMargin_{0, 0};
    std::wstring displayText_;
    bool focusRect_ = true;
    bool hover_ = false;
    bool tracking_ = false;
};

}  // namespace Lumen
