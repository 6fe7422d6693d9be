#pragma once

#include <utility>

#include "AgentCmdBase.h"
#include "ProductInfo.h"

// Installs one product.
class AgentCmdInstallProduct : public AgentCmdBase {
public:
    explicit AgentCmdInstallProduct(PRODUCT_INFO product)
        : AgentCmdBase(kInstallProduct, 1000, true), product_(std::move(product))
    {
    }

    const PRODUCT_INFO& GetProduct() const { return product_; }

private:
    PRODUCT_INFO product_;
};
