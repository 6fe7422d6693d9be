#include "ProductItemView.h"

#include "Lumen/PathUtils.h"
#include "SkinManager.h"
#include "UiText.h"
#include "ZipEntryName.h"
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

std::wstring ProductItemView::IconPath(const std::wstring& imageDirectory, const std::wstring& productCode)
{
    // The code comes from the server and names a file: it must pass the rule
    // of the archive's own names ("COM1" would open a device, "..\x" leave
    // the folder), also with the extension added.
    const std::wstring fileName = productCode + L".png";
    if (imageDirectory.empty() || !Lumen::ZipEntryName::IsSafeComponent(productCode) ||
        !Lumen::ZipEntryName::IsSafeComponent(fileName)) {
        return {};
    }
    return Lumen::JoinPath(Lumen::JoinPath(imageDirectory, L"product_icons"), fileName);
}

void ProductItemView::SetProduct(const PRODUCT_INFO& product)
{
    product_ = product;
    // A reused row must not keep the last product's picture when this one
    // has none.
    icon_.SetImages({});
    if (GetSkinManager() != nullptr) {
        const std::wstring path = IconPath(GetSkinManager()->GetImageDirectory(), product.productCode);
        if (!path.empty()) icon_.SetImages({path});
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
