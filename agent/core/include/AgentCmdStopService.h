#pragma once

#include "AgentCmdBase.h"

// Asks the service to stop itself.
class AgentCmdStopService : public AgentCmdBase {
public:
    AgentCmdStopService() : AgentCmdBase(kStopService, 0, false) {}
};
