#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ParentBackground.h"
#include "SkinImage.h"
#include "ToolTipHelper.h"
#include "Window.h"

namespace Lumen {

// A static control drawn by us, double-buffered: the background colour when
// set, otherwise a kept snapshot of the parent's background; then the first
// picture at its own size at the top-left corner; then the text. UI thread only.
class StaticEx : public Window, public ToolTipHelper {
public:
    StaticEx();

    // Creates a static at run time (class "Static").
    bool CreateStatic(const wchar_t* text, DWORD style, const RECT& rect, HWND parent, UINT id);

    void SetBackgroundColor(COLORREF color);
    // Back to showing the parent's background.
    void ClearBackgroundColor();
    bool HasBackgroundColor() const { return hasBgColor_; }
    COLORREF GetBackgroundColor() const { return bgColor_; }
    void SetTextColor(COLORREF color);
    COLORREF GetTextColor() const { return textColor_; }
    void SetTextMargin(POINT margin);

    // Up to eight pictures; the first one is shown. Loading keeps a picture
    // that cannot be read out of the list; false then.
    bool SetImages(const std::vector<std::wstring>& paths);
    size_t GetImageCount() const { return images_.size(); }

    // Forgets the parent snapshot; call after changing the parent's
    // background so that the next paint takes it again.
    void DiscardBackgroundSnapshot();
    void Redraw();

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    virtual void Paint(HDC dc);
    // The colour the text is drawn in now (links override it).
    virtual COLORREF CurrentTextColor() const { return textColor_; }
    std::wstring GetText() const;

private:
    ParentBackground background_;
    std::vector<SkinImage> images_;
    bool hasBgColor_ = false;
    COLORREF bgColor_ = RGB(255, 255, 255);
    COLORREF textColor_;
    POINT textMargin_{0, 0};
};

}  // namespace Lumen
