#include "NoticeView.h"

#include "ConfigManager.h"
#include "UiText.h"
#include "resource.h"

NoticeView::NoticeView() : SkinDialog(IDD_NOTICE_VIEW) {}

BOOL NoticeView::OnInitDialog()
{
    const HWND hwnd = GetHwnd();
    titleLabel_.SubclassDlgItem(IDC_STATIC_NOTICE_TITLE, hwnd);
    bodyLabel_.SubclassDlgItem(IDC_STATIC_NOTICE_BODY, hwnd);
    titleEdit_.SubclassDlgItem(IDC_EDIT_NOTICE_TITLE, hwnd);
    html_.SubclassDlgItem(IDC_HTML_NOTICE, hwnd);
    ok_.SubclassDlgItem(IDOK, hwnd);
    const BOOL result = SkinDialog::OnInitDialog();
    UiText::TranslateWindowTexts(*this);
    if (HFONT caption = UiText::CaptionFontInFace(captionFont_.Get(), GetLogFont())) captionFont_.Reset(caption);
    // The title is shown, not edited.
    ::SendMessageW(titleEdit_.Edit().GetHwnd(), EM_SETREADONLY, TRUE, 0);
    return result;
}

std::wstring NoticeView::BuildPage(const std::wstring& styleBlock, const std::wstring& body)
{
    // Joined, never formatted: a '%' in the server's text stays a '%'.
    return L"<html> <head> " + styleBlock + L" </head> <body> " + body + L" </body> </html>";
}

void NoticeView::SetNotice(const NOTICE_INFO& notice)
{
    titleEdit_.SetText(notice.title);
    html_.SetHtml(BuildPage(html_.GetStyleBlock(), notice.body));
    SetSubText(notice.date);
    RedrawFrame();
}
