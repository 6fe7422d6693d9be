#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "Window.h"

namespace Lumen {

// An edit field that reports Tab and Enter to its owner and shows a hint
// while it is empty and does not have the focus. UI thread only.
class EditEx : public Window {
public:
    // Called for Tab and Enter; returning true consumes the key.
    using KeyHandler = std::function<bool(UINT virtualKey)>;

    EditEx();

    bool CreateEdit(DWORD style, const RECT& rect, HWND parent, UINT id);

    void SetKeyHandler(KeyHandler handler) { keyHandler_ = std::move(handler); }
    void SetHint(const std::wstring& hint);
    const std::wstring& GetHint() const { return hint_; }
    void SetHintColor(COLORREF color);
    COLORREF GetHintColor() const { return hintColor_; }
    // The brush the hint is drawn on (the field's background); not owned.
    void SetBackgroundBrush(HBRUSH brush) { background_ = brush; }

    std::wstring GetText() const;
    // True while the hint is what the field shows.
    bool IsShowingHint() const;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void PaintHint(HDC dc);

    KeyHandler keyHandler_;
    std::wstring hint_;
    COLORREF hintColor_;
    HBRUSH background_ = nullptr;
    bool swallowChar_ = false;  // the character of a key the handler consumed
};

}  // namespace Lumen
