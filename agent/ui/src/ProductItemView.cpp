#include "ProductItemView.h"

#include "Lumen/PathUtils.h"
#include "SkinManager.h"
#include "UiText.h"
#include "resource.h"

ProductItemView::ProductItemView() : SkinDialog(IDD_PRODUCT_ITEM_VIEW) {}

BOOL ProductItemView::OnInitDialog()
{
    const HWND hwnd = GetHwnd();
    icon_.SubclassDlgItem(IDC_STATIC_PRODUCT_ICON, hwnd);
    name_.SubclassDlgItem(IDC_STATIC_PRODUCT_NAME, hwnd);
    install_.SubclassDlgItem(IDC_BUTTON_INSTALL, hwnd);
    const BOOL result = SkinDialog::OnInitDialog();
    UiText::TranslateWindowTexts(*this);
    return result;
}

void ProductItemView::SetProduct(const PRODUCT_INFO& product)
{
    product_ = product;
    if (GetSkinManager() != nullptr) {
        // The code names a file: a code that could leave the folder gets no icon.
        const bool plainName = product.productCode.find_first_of(L"\\/:") == std::wstring::npos &&
                               product.productCode.find(L"..") == std::wstring::npos;
        if (plainName) {
            const std::wstring path = Lumen::JoinPath(GetSkinManager()->GetImageDirectory(),
                                                      L"product_icons\\" + product.productCode + L".png");
            icon_.SetImages({path});
        }
    }
    const std::wstring name = GetString(product.productCode);
    ::SetWindowTextW(name_.GetHwnd(), name.c_str());
    install_.SetDisplayText(GetString(L"설치하기"));
    ::SetWindowTextW(install_.GetHwnd(), UiText::FillName(GetString(UiText::kInstallProductKey), name).c_str());
    name_.Redraw();
    icon_.Redraw();
    ::ShowWindow(install_.GetHwnd(), product.installed ? SW_HIDE : SW_SHOW);
}

bool ProductItemView::OnCommand(WORD id, WORD code, HWND control)
{
    if (id == IDC_BUTTON_INSTALL && code == BN_CLICKED) {
        if (handler_ != nullptr) handler_->OnInstallRequested(product_);
        return true;
    }
    return SkinDialog::OnCommand(id, code, control);
}
