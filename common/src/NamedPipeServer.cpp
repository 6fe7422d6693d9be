#include "Lumen/NamedPipeServer.h"

#include <sddl.h>

#include <system_error>

#include "Lumen/DebugOutput.h"
#include "Lumen/ScopedLock.h"

namespace Lumen {

namespace {

constexpr DWORD kOpenMode = PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED;
constexpr DWORD kPipeMode = PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS;
constexpr DWORD kDefaultTimeoutMs = 5000;
// Connect requests that fail at once this many times in a row end accepting.
constexpr int kFailuresInARowLimit = 3;
// Full access for LocalSystem and the Administrators group (the agent runs
// elevated), nothing for anyone else; protected from inherited entries.
constexpr const wchar_t* kPipeSecurity = L"D:P(A;;FA;;;SY)(A;;FA;;;BA)";

int HandleValue(HANDLE handle)
{
    return static_cast<int>(reinterpret_cast<INT_PTR>(handle));
}

}  // namespace

NamedPipeServer::~NamedPipeServer()
{
    try {
        Close();
    } catch (...) {
        OutputDebugMessage(L"NamedPipeServer::~NamedPipeServer() : Close failed");
    }
}

bool NamedPipeServer::Prepare(const std::wstring& pipeName, IPipeDelegate* delegate)
{
    Close();
    if (!connectEvent_) connectEvent_.Reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!connectEvent_) {
        OutputDebugMessage(L"ERROR Accept() : %d", static_cast<int>(::GetLastError()));
        return false;
    }
    delegate_ = delegate;
    pipeName_ = pipeName;
    return true;
}

bool NamedPipeServer::Create(const std::wstring& pipeName, IPipeDelegate* delegate)
{
    ScopedLock lock(&closeLock_);
    if (!Prepare(pipeName, delegate)) return false;
    try {
        serveThread_ = std::thread([this]() noexcept {
            try {
                Serve();
            } catch (...) {
                OutputDebugMessage(L"ERROR Serve() : an exception ended the thread");
            }
        });
    } catch (...) {
        Close();
        throw;
    }
    return true;
}

bool NamedPipeServer::Open(const std::wstring& pipeName, IPipeDelegate* delegate)
{
    ScopedLock lock(&closeLock_);
    if (!Prepare(pipeName, delegate)) return false;
    servingThreadId_ = std::this_thread::get_id();
    BeginServing();
    return true;
}

void NamedPipeServer::GetWaitHandles(HANDLE (&handles)[kWaitHandleCount]) const
{
    handles[0] = connectEvent_.Get();
    handles[1] = sendQueueEvent_.GetHandle();
}

void NamedPipeServer::Close()
{
    ScopedLock lock(&closeLock_);
    const std::thread::id self = std::this_thread::get_id();
    if (serveThread_.joinable() && self == serveThread_.get_id())
        throw std::system_error(std::make_error_code(std::errc::resource_deadlock_would_occur));
    // Requests issued on the serving thread complete only on it.
    if (servingThreadId_ != std::thread::id() && self != servingThreadId_)
        throw std::system_error(std::make_error_code(std::errc::operation_not_permitted));
    if (!BeginClose()) return;
    if (serveThread_.joinable()) {
        serveThread_.join();  // it ends serving as it leaves
        serveThread_ = std::thread();
    } else {
        EndServing();
    }
    servingThreadId_ = std::thread::id();
    // Every connected pipe; the instance still waiting is closed already.
    for (HANDLE pipe : TakeConnections()) ::CloseHandle(pipe);
    ResetEngine();
}

void NamedPipeServer::Serve()
{
    BeginServing();
    const HANDLE waits[3] = {stopEvent_.GetHandle(), connectEvent_.Get(), sendQueueEvent_.GetHandle()};
    for (;;) {
        const DWORD result = ::WaitForMultipleObjectsEx(3, waits, FALSE, INFINITE, TRUE);
        if (result == WAIT_OBJECT_0) break;
        if (result == WAIT_OBJECT_0 + 1 || result == WAIT_OBJECT_0 + 2) {
            Dispatch(waits[result - WAIT_OBJECT_0]);
            continue;
        }
        if (result == WAIT_IO_COMPLETION) continue;  // completion routines ran
        OutputDebugMessage(L"ERROR Serve() : %d", static_cast<int>(::GetLastError()));
        break;
    }
    EndServing();
}

void NamedPipeServer::BeginServing()
{
    accepting_ = true;
    firstInstance_ = true;
    failuresInARow_ = 0;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kPipeSecurity, SDDL_REVISION_1,
                                                                 reinterpret_cast<PSECURITY_DESCRIPTOR*>(descriptor_.Put()),
                                                                 nullptr)) {
        // Never fall back to the default security: report and accept nobody.
        accepting_ = false;
        try {
            OnCreate(false, INVALID_HANDLE_VALUE);
        } catch (...) {
            OutputDebugMessage(L"NamedPipeServer : OnCreate raised an exception");
        }
        return;
    }
    OfferInstance();
}

void NamedPipeServer::OfferInstance()
{
    // Connections are reported only once the next instance waits: a client
    // that arrives meanwhile, even as one of these leaves at once, finds the
    // name busy and waits for it instead of finding no pipe at all.
    std::vector<HANDLE> connected;
    while (accepting_ && !instance_) {
        SECURITY_ATTRIBUTES security = {};
        security.nLength = sizeof(security);
        security.lpSecurityDescriptor = descriptor_.Get();
        security.bInheritHandle = FALSE;
        // A process that created the name first would otherwise be served our
        // clients: the first instance must be the first of its name.
        instance_.Reset(::CreateNamedPipeW(pipeName_.c_str(), kOpenMode | (firstInstance_ ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0),
                                           kPipeMode, PIPE_UNLIMITED_INSTANCES, kPipeBufferSize, kPipeBufferSize,
                                           kDefaultTimeoutMs, &security));
        if (instance_) firstInstance_ = false;
        // No further clients until the engine is closed when none can be made.
        if (!instance_) accepting_ = false;
        try {
            OnCreate(instance_.IsValid(), instance_.IsValid() ? instance_.Get() : INVALID_HANDLE_VALUE);
        } catch (...) {
            OutputDebugMessage(L"NamedPipeServer : OnCreate raised an exception");
        }
        if (!instance_) break;

        connectOverlapped_ = {};
        connectOverlapped_.hEvent = connectEvent_.Get();
        if (::ConnectNamedPipe(instance_.Get(), &connectOverlapped_)) {
            connected.push_back(TakeInstance());
            continue;
        }
        const DWORD error = ::GetLastError();
        if (error == ERROR_IO_PENDING) {
            connectPending_ = true;
            break;
        }
        // A client that opened the instance before the connect request:
        // connected, and the event is not signalled.
        if (error == ERROR_PIPE_CONNECTED) {
            connected.push_back(TakeInstance());
            continue;
        }
        instance_.Reset();
        if (error == ERROR_NO_DATA) continue;  // came and went already
        OutputDebugMessage(L"ERROR Accept() : %d", static_cast<int>(error));
        // An instance that keeps failing at once must not keep this thread busy.
        if (++failuresInARow_ >= kFailuresInARowLimit) accepting_ = false;
    }
    for (HANDLE pipe : connected) ReportConnected(pipe);
}

void NamedPipeServer::CompleteConnect()
{
    if (!connectPending_ || !instance_) return;  // a stale signal
    DWORD transferred = 0;
    if (::GetOverlappedResult(instance_.Get(), &connectOverlapped_, &transferred, FALSE)) {
        connectPending_ = false;
        const HANDLE pipe = TakeInstance();
        OfferInstance();
        ReportConnected(pipe);
        return;
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_IO_INCOMPLETE) return;  // a stale signal; still listening
    connectPending_ = false;
    instance_.Reset();
    if (error != ERROR_NO_DATA) {
        OutputDebugMessage(L"ERROR Accept() : %d", static_cast<int>(error));
        if (++failuresInARow_ >= kFailuresInARowLimit) accepting_ = false;
    }
    OfferInstance();
}

HANDLE NamedPipeServer::TakeInstance()
{
    const HANDLE pipe = instance_.Release();
    connectPending_ = false;
    failuresInARow_ = 0;
    StartConnection(pipe);
    return pipe;
}

void NamedPipeServer::DropInstance()
{
    if (connectPending_) {
        // The request refers to connectOverlapped_: wait until the system is
        // done with it. A client that arrived just now is dropped with it.
        ::CancelIoEx(instance_.Get(), &connectOverlapped_);
        DWORD transferred = 0;
        (void)::GetOverlappedResult(instance_.Get(), &connectOverlapped_, &transferred, TRUE);
        connectPending_ = false;
    }
    instance_.Reset();
    accepting_ = false;
}

void NamedPipeServer::Dispatch(HANDLE signalled)
{
    if (IsStopping()) return;
    if (signalled == connectEvent_.Get()) {
        CompleteConnect();
    } else if (signalled == sendQueueEvent_.GetHandle()) {
        // Reset first: a message queued meanwhile sets it again.
        sendQueueEvent_.Reset();
        while (WriteNextPacket()) {
        }
    }
}

void NamedPipeServer::EndServing()
{
    DropInstance();
    FlushOnStop();
    DrainReads();
    OutputDebugMessage(L"finished Serve()");
}

void NamedPipeServer::OnCreate(bool success, HANDLE pipe)
{
    // The delegate reports GetLastError() too: the debug output must not change it.
    const DWORD error = ::GetLastError();
    if (!success) OutputDebugMessage(L"NamedPipeServer::OnCreate() ERROR : %d", static_cast<int>(error));
    ::SetLastError(error);
    if (delegate_ != nullptr) delegate_->OnCreate(success, pipe);
}

void NamedPipeServer::OnConnect(bool success, HANDLE pipe)
{
    bool readIssued = true;
    if (success) {
        OutputDebugMessage(L"NamedPipeServer::OnConnect() PIPE : %d", HandleValue(pipe));
        readIssued = Read(pipe);
    }
    if (delegate_ != nullptr) delegate_->OnConnect(success, pipe);
    if (!readIssued) LoseConnection(pipe, SerialOf(pipe));
}

void NamedPipeServer::OnSend(HANDLE pipe, DWORD bytes)
{
    if (delegate_ != nullptr) delegate_->OnSend(pipe, bytes);
}

void NamedPipeServer::OnRecv(HANDLE pipe, const BYTE* data, DWORD length)
{
    if (delegate_ != nullptr) delegate_->OnRecv(pipe, data, length);
}

void NamedPipeServer::OnDisconnect(HANDLE pipe)
{
    OutputDebugMessage(L"NamedPipeServer::OnDisconnect() PIPE : %d", HandleValue(pipe));
    // The engine has ended the connection already; the handle stays open
    // until here, so its value cannot pass to a new pipe before the delegate
    // has heard of the loss.
    try {
        if (delegate_ != nullptr) delegate_->OnDisconnect(pipe);
    } catch (...) {
        ::CloseHandle(pipe);
        throw;
    }
    ::CloseHandle(pipe);
}

}  // namespace Lumen
