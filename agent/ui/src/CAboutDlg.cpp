#include "CAboutDlg.h"

#include "UiText.h"
#include "resource.h"

CAboutDlg::CAboutDlg() : SkinDialog(IDD_ABOUTBOX) {}

BOOL CAboutDlg::OnInitDialog()
{
    version_.SubclassDlgItem(IDC_STATIC_VERSION, GetHwnd());
    info_.SubclassDlgItem(IDC_STATIC_ABOUT_INFO, GetHwnd());
    const BOOL result = SkinDialog::OnInitDialog();
    UiText::TranslateWindowTexts(*this);
    if (HFONT caption = UiText::CaptionFontInFace(captionFont_.Get(), GetLogFont())) captionFont_.Reset(caption);
    const HINSTANCE module = ::GetModuleHandleW(nullptr);
    const HICON icon = static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, 0, 0,
                                                       LR_DEFAULTSIZE | LR_SHARED));
    ::SendMessageW(GetHwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    ::SendMessageW(GetHwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    CenterOn(::GetWindow(GetHwnd(), GW_OWNER));
    return result;
}

bool CAboutDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (message == WM_LBUTTONUP) {
        // The caption buttons track their press first.
        SkinDialog::OnMessage(message, wParam, lParam, result);
        EndDialog(IDOK);
        result = 0;
        return true;
    }
    if (message == WM_KEYUP && wParam == VK_SPACE) {
        // The box has no button: Space is the keyboard's click on it.
        EndDialog(IDOK);
        result = 0;
        return true;
    }
    return SkinDialog::OnMessage(message, wParam, lParam, result);
}
