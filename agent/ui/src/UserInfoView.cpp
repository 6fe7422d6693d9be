#include "UserInfoView.h"

#include <windowsx.h>

#include "UiText.h"
#include "resource.h"

UserInfoView::UserInfoView() : SkinDialog(IDD_USERINFO_VIEW) {}

BOOL UserInfoView::OnInitDialog()
{
    const HWND hwnd = GetHwnd();
    picture_.SubclassDlgItem(IDC_STATIC_USER_PICTURE, hwnd);
    heading_.SubclassDlgItem(IDC_STATIC_USER_HEADING, hwnd);
    companyLabel_.SubclassDlgItem(IDC_STATIC_COMPANY_LABEL, hwnd);
    idLabel_.SubclassDlgItem(IDC_STATIC_ID_LABEL, hwnd);
    nameLabel_.SubclassDlgItem(IDC_STATIC_NAME_LABEL, hwnd);
    company_.SubclassDlgItem(IDC_EDIT_COMPANY, hwnd);
    customerId_.SubclassDlgItem(IDC_EDIT_USER_ID, hwnd);
    customerName_.SubclassDlgItem(IDC_EDIT_USER_NAME, hwnd);
    ok_.SubclassDlgItem(IDOK, hwnd);
    const BOOL result = SkinDialog::OnInitDialog();
    UiText::TranslateWindowTexts(*this);
    for (Lumen::SkinEditWithClear* field : {&company_, &customerId_, &customerName_}) {
        ::SendMessageW(field->Edit().GetHwnd(), EM_SETREADONLY, TRUE, 0);
    }
    return result;
}

void UserInfoView::SetUserInfo(const std::wstring& company, const std::wstring& customerId,
                               const std::wstring& customerName)
{
    company_.SetText(company);
    customerId_.SetText(customerId);
    customerName_.SetText(customerName);
}

bool UserInfoView::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (message == WM_LBUTTONDOWN) {
        // The window has no caption: its body moves it.
        POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ::ClientToScreen(GetHwnd(), &point);
        ::ReleaseCapture();
        ::SendMessageW(GetHwnd(), WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(point.x, point.y));
        result = 0;
        return true;
    }
    return SkinDialog::OnMessage(message, wParam, lParam, result);
}
