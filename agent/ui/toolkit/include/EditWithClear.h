#pragma once

#include <windows.h>

#include <string>

#include "EditEx.h"
#include "GdiHandles.h"
#include "ImageButton.h"
#include "Window.h"

namespace Lumen {

// A window of the class "EditWithClear" holding an edit field (id 25002)
// and a clear button (id 25003) that shows while the field has text; the
// button's window is made the first time the field has text. Its
// non-client area is a 1-pixel border on white. UI thread only.
class EditWithClear : public Window {
public:
    static constexpr UINT kEditId = 25002;
    static constexpr UINT kButtonId = 25003;

    // Told about the field's changes and its Tab and Enter keys.
    class IEditChangeHandler {
    public:
        virtual ~IEditChangeHandler() = default;
        virtual void OnEditChanged(EditWithClear* edit) = 0;
        virtual void OnEditTab(EditWithClear* edit) = 0;
        virtual void OnEditReturn(EditWithClear* edit) = 0;
    };

    // Registers the window class once per process.
    EditWithClear();

    bool CreateControl(DWORD style, const RECT& rect, HWND parent, UINT id);

    // With a handler, Tab and Enter go to it instead of their usual work.
    void SetEditChangeHandler(IEditChangeHandler* handler);

    std::wstring GetText() const { return edit_.GetText(); }
    void SetText(const std::wstring& text);
    void SetHint(const std::wstring& hint) { edit_.SetHint(hint); }
    void SetHintColor(COLORREF color) { edit_.SetHintColor(color); }
    void SetTextColor(COLORREF color);
    COLORREF GetTextColor() const { return textColor_; }
    void SetBackgroundColor(COLORREF color);
    COLORREF GetBackgroundColor() const { return bgColor_; }
    void SetBorderColor(COLORREF color);
    COLORREF GetBorderColor() const { return borderColor_; }
    // Rectangles of the inner field and of the clear button, in client coordinates.
    void SetEditRect(const RECT& rect);
    void SetButtonRect(const RECT& rect);

    // Selects the whole text, scrolls the caret into view and focuses the field.
    void SetEditFocus();

    EditEx& Edit() { return edit_; }
    // Its window is null until the field first has text.
    ImageButton& ClearButton() { return button_; }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnAttached() override;

private:
    void ComputeLayout(RECT* edit, RECT* button) const;
    void MoveChild(HWND child, const RECT& rect) const;
    void Layout();
    bool EnsureClearButton();
    void UpdateClearButton();

    EditEx edit_;
    ImageButton button_;
    IEditChangeHandler* handler_ = nullptr;
    COLORREF textColor_;
    COLORREF bgColor_ = RGB(255, 255, 255);
    COLORREF borderColor_;
    ScopedBrush bgBrush_;
    bool hasEditRect_ = false;
    bool hasButtonRect_ = false;
    RECT editRect_{};
    RECT buttonRect_{};
};

}  // namespace Lumen
