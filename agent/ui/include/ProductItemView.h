#pragma once

#include <cstddef>
#include <string>

#include "ProductInfo.h"
#include "ProductItemViewHandler.h"
#include "SkinButton.h"
#include "SkinDialog.h"
#include "SkinStatic.h"

// One row of the product list: icon, name and install button. Created as a
// top-level window, then placed into the list. UI thread only.
class ProductItemView : public Lumen::SkinDialog {
public:
    ProductItemView();

    void SetHandler(ProductItemViewHandler* handler) { handler_ = handler; }
    // Shows `product`: its icon, its name from the language table (the code
    // itself without an entry), and the install button unless installed.
    // The button draws the table's "설치하기"; its window text, which screen
    // readers read, names the product.
    void SetProduct(const PRODUCT_INFO& product);
    const PRODUCT_INFO& GetProduct() const { return product_; }
    HWND GetInstallButton() const { return install_.GetHwnd(); }

    // How many pictures the icon holds (0: none shown).
    size_t GetIconImageCount() const { return icon_.GetImageCount(); }

    // <images>\product_icons\<code>.png, or "" when the code is no safe
    // file name (a device, a path, a name Windows would change).
    static std::wstring IconPath(const std::wstring& imageDirectory, const std::wstring& productCode);

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    void OnOK() override {}
    void OnCancel() override {}

private:
    Lumen::SkinStatic icon_;
    Lumen::SkinStatic name_;
    Lumen::SkinButton install_;
    PRODUCT_INFO product_;
    ProductItemViewHandler* handler_ = nullptr;
};
