#pragma once

#include <windows.h>

#include "ServiceCmdBase.h"

// Start the agent in a session unless one is connected there.
class ServiceCmdStartTray : public ServiceCmdBase {
public:
    static constexpr int32_t kType = 1000;
    explicit ServiceCmdStartTray(DWORD sessionId) : ServiceCmdBase(kType), sessionId_(sessionId) {}

    DWORD GetSessionId() const { return sessionId_; }

private:
    DWORD sessionId_;
};
