#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "GdiHandles.h"
#include "HtmlDialog.h"
#include "HtmlPageChoice.h"
#include "Window.h"

namespace Lumen {

// A bordered window of the class "CustomHtmlCtrl" showing an HTML page in
// an HtmlDialog. Where the HTML view cannot show a page, the page is shown
// as text in a read-only field instead (HtmlToText), so that a notice is
// always readable. Decided for every page (HtmlPageChoice): a view without
// an HTML engine says so, and then every page is text; a slow view gets a
// time limit for one page, and the next page tries the view again. It keeps
// the style block of its pages, rebuilt after every font or colour change.
// UI thread only.
class CustomHtmlCtrl : public Window {
public:
    static constexpr UINT kViewId = 1;

    // Registers the window class once per process.
    CustomHtmlCtrl();

    bool CreateControl(DWORD style, const RECT& rect, HWND parent, UINT id);

    // Shows a whole page.
    void SetHtml(const std::wstring& html);
    // Called when the page's "ButtonCancel" element is clicked (HTML view only).
    void SetCancelHandler(std::function<void()> handler) { view_.SetCancelHandler(std::move(handler)); }
    // "<style> body {...} </style>" for the owner's pages.
    const std::wstring& GetStyleBlock() const { return styleBlock_; }

    void SetFontFace(const std::wstring& face);
    void SetFontSize(int pixels);
    // Colours as the skin writes them (six hex digits), placed into the style.
    void SetTextColorText(const std::wstring& color);
    void SetBgColorText(const std::wstring& color);
    void SetBorderColor(COLORREF color);
    COLORREF GetBorderColor() const { return borderColor_; }

    // True while the page is shown as text, and why.
    bool IsTextFallback() const { return choice_.Current() == HtmlPageChoice::Show::Text; }
    HtmlPageChoice::Reason TextReason() const { return choice_.TextReason(); }
    // How long a page may wait for the view's document before it is shown as text.
    static constexpr UINT kDocumentWaitMs = 3000;
    // The text shown in the fallback field (empty when the HTML view is used).
    std::wstring GetFallbackText() const;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnAttached() override;

private:
    void RebuildStyle();
    void ShowAsText();
    // Shows the page the way choice_ says.
    void ApplyChoice();
    void LayoutChildren();
    void UpdateFallbackLook();

    HtmlDialog view_;
    ScopedWindow fallback_;
    ScopedFont fallbackFont_;
    ScopedBrush fallbackBrush_;
    std::wstring html_;
    std::wstring styleBlock_;
    std::wstring fontFace_;
    int fontSize_ = 0;
    std::wstring textColor_;
    std::wstring bgColor_;
    COLORREF borderColor_;
    HtmlPageChoice choice_;
};

}  // namespace Lumen
