#pragma once

#include <string>
#include <utility>

#include "AgentCmdBase.h"

// Logs the user in.
class AgentCmdLogin : public AgentCmdBase {
public:
    AgentCmdLogin(std::wstring userId, std::wstring password)
        : AgentCmdBase(kLogin, 200, false), userId_(std::move(userId)), password_(std::move(password))
    {
    }

    const std::wstring& GetUserId() const { return userId_; }
    const std::wstring& GetPassword() const { return password_; }

private:
    std::wstring userId_;
    std::wstring password_;
};
