#pragma once

#include <thread>
#include <vector>

#include "Lumen/NamedPipeAsync.h"
#include "Lumen/UniqueHandle.h"

namespace Lumen {

// Accepts any number of local clients on one pipe name. Instances are byte
// mode, 4096-byte buffers, 5000 ms default time-out, remote clients rejected.
// Only LocalSystem and the Administrators group may open them. The first
// instance must be the first of its name: when another process holds the name
// already, OnCreate reports the failure (ERROR_ACCESS_DENIED) and the server
// accepts nobody.
//
// One thread serves every instance: it offers the next instance, issues every
// read and write, and runs their completion routines during its alertable
// waits, so every callback (OnCreate included) arrives on it. That thread is
// either the server's own (Create) or one of the owner's (Open), which then
// waits on the server's handles together with its own (GetWaitHandles,
// Dispatch).
class NamedPipeServer : public NamedPipeAsync {
public:
    static constexpr DWORD kWaitHandleCount = 2;

    NamedPipeServer() = default;
    ~NamedPipeServer() override;

    // Closes a running server first, then starts the serving thread. Throws
    // std::system_error when the thread cannot start (the engine is closed
    // again before the error leaves).
    bool Create(const std::wstring& pipeName, IPipeDelegate* delegate) override;
    // Serves from the calling thread: offers the first instance now. From then
    // on the calling thread must wait alertably, with the handles of
    // GetWaitHandles among those it waits on, hand each of them that is
    // signalled to Dispatch, and end the server with Close. Closes a running
    // server first.
    bool Open(const std::wstring& pipeName, IPipeDelegate* delegate);
    // The handles the serving thread waits on (valid until the server is
    // destroyed).
    void GetWaitHandles(HANDLE (&handles)[kWaitHandleCount]) const;
    // Serving thread only: acts on one signalled handle of GetWaitHandles
    // (a client connected, or messages are queued for sending).
    void Dispatch(HANDLE signalled);
    // Ends serving: queued messages are still written (for up to a second),
    // pending I/O is cancelled and drained, every pipe is closed. With Create,
    // from any thread but the serving one; with Open, from the serving thread
    // only. Elsewhere it raises std::system_error and changes nothing.
    void Close() override;

    void OnCreate(bool success, HANDLE pipe) override;
    void OnConnect(bool success, HANDLE pipe) override;
    void OnSend(HANDLE pipe, DWORD bytes) override;
    void OnRecv(HANDLE pipe, const BYTE* data, DWORD length) override;
    // Called once per connection (see NamedPipeAsync); forwards, then closes
    // the pipe.
    void OnDisconnect(HANDLE pipe) override;

private:
    // The body of the server's own thread.
    void Serve();
    // Closes what was open and readies the connect event, name and delegate
    // (under closeLock_); false when the event cannot be made.
    bool Prepare(const std::wstring& pipeName, IPipeDelegate* delegate);
    // Serving thread: prepares the instances' security and offers the first one.
    void BeginServing();
    // Serving thread: offers instances until one waits for its client (or no
    // instance can be made: then nobody is accepted until Close).
    void OfferInstance();
    // Serving thread: the waiting instance's connect request has finished.
    void CompleteConnect();
    // Serving thread: the waiting instance has a client; starts its
    // connection and returns it, still to be reported.
    HANDLE TakeInstance();
    // Serving thread: ends the pending connect request and closes the instance.
    void DropInstance();
    // Serving thread, stop event set: what Close needs done on that thread.
    void EndServing();

    ScopedHandle connectEvent_{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    ScopedLocalMemory descriptor_;
    // The instance waiting for a client, and its connect request.
    ScopedHandle instance_;
    OVERLAPPED connectOverlapped_ = {};
    bool connectPending_ = false;
    // False once no more instances are offered (until the next Create/Open).
    bool accepting_ = false;
    bool firstInstance_ = true;
    int failuresInARow_ = 0;
    // The thread that serves with Open; a default id otherwise.
    std::thread::id servingThreadId_;
    std::thread serveThread_;
};

}  // namespace Lumen
