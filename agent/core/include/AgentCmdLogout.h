#pragma once

#include "AgentCmdBase.h"

// Logs out; its completion restarts the controller.
class AgentCmdLogout : public AgentCmdBase {
public:
    AgentCmdLogout() : AgentCmdBase(kLogout, 0, false) {}
};
