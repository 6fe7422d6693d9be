#pragma once

#include "AgentCmdBase.h"

// Carries a settings change to the user interface.
class AgentCmdNotifyConfigChange : public AgentCmdBase {
public:
    explicit AgentCmdNotifyConfigChange(int32_t kind) : AgentCmdBase(kNotifyConfigChange, 1000, false), kind_(kind) {}

    int32_t GetKind() const { return kind_; }

private:
    int32_t kind_;
};
