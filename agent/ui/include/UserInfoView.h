#pragma once

#include <vector>

#include <string>

#include "SkinButton.h"
#include "SkinDialog.h"
#include "SkinEditWithClear.h"
#include "SkinStatic.h"

// The user-information window: company, id and name of the logged-in
// customer; dragged by its body, hidden by "OK". UI thread only.
class UserInfoView : public Lumen::SkinDialog {
public:
    UserInfoView();

    void SetUserInfo(const std::wstring& company, const std::wstring& customerId, const std::wstring& customerName);
    std::wstring GetCompanyText() const { return company_.GetText(); }
    std::wstring GetCustomerIdText() const { return customerId_.GetText(); }
    std::wstring GetCustomerNameText() const { return customerName_.GetText(); }
    // The three fields, then "OK".
    std::vector<HWND> GetTabOrder() override
    {
        return {company_.GetHwnd(), customerId_.GetHwnd(), customerName_.GetHwnd(), ok_.GetHwnd()};
    }

protected:
    BOOL OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void OnOK() override { ::ShowWindow(GetHwnd(), SW_HIDE); }
    void OnCancel() override { ::ShowWindow(GetHwnd(), SW_HIDE); }

private:
    Lumen::SkinStatic picture_;
    Lumen::SkinStatic heading_;
    Lumen::SkinStatic companyLabel_;
    Lumen::SkinStatic idLabel_;
    Lumen::SkinStatic nameLabel_;
    Lumen::SkinEditWithClear company_;
    Lumen::SkinEditWithClear customerId_;
    Lumen::SkinEditWithClear customerName_;
    Lumen::SkinButton ok_;
};
