#pragma once

#include <vector>

#include "Lumen/NamedPipeAsync.h"

namespace Lumen {

// Accepts any number of local clients on one pipe name. Instances are byte
// mode, 4096-byte buffers, 5000 ms default time-out, remote clients rejected.
// Only LocalSystem and the Administrators group may open them. The first
// instance must be the first of its name: when another process holds the name
// already, OnCreate reports the failure (ERROR_ACCESS_DENIED) and the server
// accepts nobody. OnCreate arrives on the accept thread.
class NamedPipeServer : public NamedPipeAsync {
public:
    NamedPipeServer() = default;
    ~NamedPipeServer() override;

    // Closes a running server first, then starts the accept, sender and
    // receiver threads. Throws std::system_error when a thread cannot start
    // (the engine is closed again before the error leaves).
    bool Create(const std::wstring& pipeName, IPipeDelegate* delegate) override;
    // Also ends the accept thread and closes every pipe still connected or
    // waiting to be handed to the receiver.
    void Close() override;

    void OnCreate(bool success, HANDLE pipe) override;
    void OnConnect(bool success, HANDLE pipe) override;
    void OnSend(HANDLE pipe, DWORD bytes) override;
    void OnRecv(HANDLE pipe, const BYTE* data, DWORD length) override;
    // Called once per connection (see NamedPipeAsync); forwards, then closes
    // the pipe.
    void OnDisconnect(HANDLE pipe) override;

private:
    void Accept();
    // Waits for a client on `instance`; true when one is connected. Leaves no
    // connect request pending when it returns. `stop` is set when the stop
    // event ended the wait.
    bool WaitForClient(HANDLE instance, HANDLE connectEvent, bool& stop);

    std::thread acceptThread_;
};

}  // namespace Lumen
