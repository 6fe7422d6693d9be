#pragma once

#include <vector>

#include "AgentCmdBase.h"
#include "ProductInfo.h"

// Fetches the product list and checks what is installed; the work fills the list.
class AgentCmdCheckProduct : public AgentCmdBase {
public:
    AgentCmdCheckProduct() : AgentCmdBase(kCheckProduct, 1500, false) {}

    // Written by the worker, read on the user-interface thread after completion.
    std::vector<PRODUCT_INFO>& GetProducts() { return products_; }

private:
    std::vector<PRODUCT_INFO> products_;
};
