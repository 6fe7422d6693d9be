#pragma once

#include "AgentCmdBase.h"

// Identifies the agent to the service.
class AgentCmdSendTrayInfo : public AgentCmdBase {
public:
    AgentCmdSendTrayInfo() : AgentCmdBase(kSendTrayInfo, 0, false) {}
};
