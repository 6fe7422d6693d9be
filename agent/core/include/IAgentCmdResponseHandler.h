#pragma once

#include <memory>

class AgentCmdBase;

// Hears about the commands of the agent controller, on the user-interface
// thread. OnCommandCancel ends a question a start handler may be showing; it
// may arrive on a pipe thread.
class IAgentCmdResponseHandler {
public:
    virtual void OnCommandStart(std::shared_ptr<AgentCmdBase> command) = 0;
    virtual void OnCommandComplete(std::shared_ptr<AgentCmdBase> command) = 0;
    virtual void OnCommandCancel() = 0;

protected:
    ~IAgentCmdResponseHandler() = default;
};
