#pragma once

#include "AgentCmdBase.h"

// Resumes an install-all that a restart interrupted.
class AgentCmdContinueInstall : public AgentCmdBase {
public:
    AgentCmdContinueInstall() : AgentCmdBase(kContinueInstall, 1000, true) {}
};
