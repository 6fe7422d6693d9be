#pragma once

#include <atomic>
#include <memory>

#include "Lumen/NamedPipeAsync.h"

namespace Lumen {

// One connection to a pipe server, opened for identification only (the
// server may identify this process but never impersonate it). OnCreate
// arrives on the caller of Create.
//
// When the connection is lost the client closes itself on a detached thread
// (the loss is reported on an engine thread, which Close must join). That
// thread shares only a small state block with the client: it closes the
// client only while the client is alive and still on the connection that was
// lost, and the destructor waits for a close already under way.
class NamedPipeClient : public NamedPipeAsync {
public:
    NamedPipeClient();
    ~NamedPipeClient() override;

    // Connects; waits (without limit on the number of rounds) while every
    // instance is busy and the server's default wait succeeds. Throws
    // std::system_error when a thread cannot start (nothing is left open).
    bool Create(const std::wstring& pipeName, IPipeDelegate* delegate) override;
    void Close() override;
    virtual void SendToServer(const void* data, DWORD length);
    // False before Create succeeds and once the client has closed (also by
    // itself after the server went away).
    bool IsConnected() const { return clientHandle_ != INVALID_HANDLE_VALUE; }

    void OnCreate(bool success, HANDLE pipe) override;
    void OnConnect(bool success, HANDLE pipe) override;
    void OnSend(HANDLE pipe, DWORD bytes) override;
    void OnRecv(HANDLE pipe, const BYTE* data, DWORD length) override;
    // Reported once per connection, then the client closes itself.
    void OnDisconnect(HANDLE pipe) override;

private:
    struct CloseState {
        Criticalsection lock;             // held by Create, the destructor and a closing thread
        NamedPipeClient* owner = nullptr;  // null once the client is being destroyed
        std::atomic<unsigned> generation{0};  // one number per connection attempt
    };

    // Read by engine threads while Create or Close may run on another thread.
    std::atomic<HANDLE> clientHandle_{INVALID_HANDLE_VALUE};
    std::atomic<bool> disconnectReported_{false};
    // The generation of the connection now open: a loss is always the loss of
    // this one, whatever Create has begun meanwhile.
    std::atomic<unsigned> connectionGeneration_{0};
    std::shared_ptr<CloseState> closeState_;
};

}  // namespace Lumen
