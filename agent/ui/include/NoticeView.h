#pragma once

#include <vector>

#include <string>

#include "SkinButton.h"
#include "SkinCustomHtmlCtrl.h"
#include "SkinDialog.h"
#include "SkinEditWithClear.h"
#include "SkinStatic.h"

struct NOTICE_INFO;

// The notice window: the notice's title and its HTML body, shown by the
// main dialog and hidden (never destroyed) by "확인". UI thread only.
class NoticeView : public Lumen::SkinDialog {
public:
    NoticeView();

    // Fills the window from `notice`; the title and body are data, never
    // formats and never script.
    void SetNotice(const NOTICE_INFO& notice);
    // The page handed to the HTML control for `body`.
    static std::wstring BuildPage(const std::wstring& styleBlock, const std::wstring& body);

    Lumen::SkinCustomHtmlCtrl& GetHtml() { return html_; }
    std::wstring GetTitleText() const { return titleEdit_.GetText(); }
    // The title, then "확인".
    std::vector<HWND> GetTabOrder() override { return {titleEdit_.GetHwnd(), ok_.GetHwnd()}; }

protected:
    BOOL OnInitDialog() override;
    void OnOK() override { ::ShowWindow(GetHwnd(), SW_HIDE); }
    void OnCancel() override { ::ShowWindow(GetHwnd(), SW_HIDE); }

private:
    Lumen::SkinStatic titleLabel_;
    Lumen::SkinStatic bodyLabel_;
    Lumen::SkinEditWithClear titleEdit_;
    Lumen::SkinCustomHtmlCtrl html_;
    Lumen::SkinButton ok_;
};
