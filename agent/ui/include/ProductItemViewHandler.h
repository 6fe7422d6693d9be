#pragma once

#include "ProductInfo.h"

// Told when a product row's install button is pressed. UI thread only.
class ProductItemViewHandler {
public:
    virtual void OnInstallRequested(const PRODUCT_INFO& product) = 0;

protected:
    ~ProductItemViewHandler() = default;
};
