#pragma once

#include "AgentCmdBase.h"

// Installs every product that is missing.
class AgentCmdInstallAllProduct : public AgentCmdBase {
public:
    AgentCmdInstallAllProduct() : AgentCmdBase(kInstallAllProduct, 1000, true) {}
};
