#pragma once

#include "AgentCmdBase.h"

// Ends the agent when it completes.
class AgentCmdStopTray : public AgentCmdBase {
public:
    AgentCmdStopTray() : AgentCmdBase(kStopTray, 0, false) {}
};
