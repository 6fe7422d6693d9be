#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

class IAgentCmdResponseHandler;

// A unit of the agent's work, run on the controller's worker thread. The
// start handler may cancel a synchronous command by setting a negative
// result; the worker then skips the work.
class AgentCmdBase {
public:
    enum Type : int32_t {
        kStopService = 2000,
        kStopTray = 2001,
        kSendTrayInfo = 2002,
        kLogin = 2003,
        kCheckProduct = 2004,
        kInstallProduct = 2005,
        kInstallAllProduct = 2006,
        kContinueInstall = 2007,
        kLogout = 2008,
        kNotifyConfigChange = 2009,
    };

    AgentCmdBase(int32_t type, DWORD minimumDurationMs, bool synchronous)
        : minimumDuration_(minimumDurationMs), type_(type), synchronous_(synchronous)
    {
    }
    virtual ~AgentCmdBase() = default;
    AgentCmdBase(const AgentCmdBase&) = delete;
    AgentCmdBase& operator=(const AgentCmdBase&) = delete;

    DWORD GetMinimumDuration() const { return minimumDuration_; }
    int32_t GetType() const { return type_; }
    int32_t GetResult() const { return result_; }
    void SetResult(int32_t result) { result_ = result; }
    bool IsSynchronous() const { return synchronous_; }

    // The page that queued the command; the main dialog forwards to it.
    IAgentCmdResponseHandler* GetResponseHandler() const { return responseHandler_; }
    void SetResponseHandler(IAgentCmdResponseHandler* handler) { responseHandler_ = handler; }

private:
    const DWORD minimumDuration_;
    const int32_t type_;
    // Written by the user-interface thread's start handler, read by the worker.
    std::atomic<int32_t> result_{0};
    const bool synchronous_;
    IAgentCmdResponseHandler* responseHandler_ = nullptr;
};
