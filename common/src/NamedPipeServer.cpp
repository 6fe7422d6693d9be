#include "Lumen/NamedPipeServer.h"

#include <sddl.h>

#include <system_error>

#include "Lumen/DebugOutput.h"
#include "Lumen/ScopedLock.h"
#include "Lumen/UniqueHandle.h"

namespace Lumen {

namespace {

constexpr DWORD kOpenMode = PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED;
constexpr DWORD kPipeMode = PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS;
constexpr DWORD kDefaultTimeoutMs = 5000;
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

bool NamedPipeServer::Create(const std::wstring& pipeName, IPipeDelegate* delegate)
{
    ScopedLock lock(&closeLock_);
    Close();
    delegate_ = delegate;
    pipeName_ = pipeName;
    try {
        acceptThread_ = std::thread([this]() noexcept {
            try {
                Accept();
            } catch (...) {
                OutputDebugMessage(L"ERROR Accept() : an exception ended the thread");
            }
        });
        senderThread_ = StartThread(this, &NamedPipeAsync::ProcessingSender, L"ProcessingSender");
        receiverThread_ = StartThread(this, &NamedPipeAsync::ProcessingReceiver, L"ProcessingReceiver");
    } catch (...) {
        Close();
        throw;
    }
    return true;
}

void NamedPipeServer::Close()
{
    ScopedLock lock(&closeLock_);
    if (std::this_thread::get_id() == acceptThread_.get_id())
        throw std::system_error(std::make_error_code(std::errc::resource_deadlock_would_occur));
    if (!BeginClose()) return;
    // The accept thread goes first, so nothing is queued after the receiver
    // has left.
    if (acceptThread_.joinable()) acceptThread_.join();
    acceptThread_ = std::thread();
    JoinEngineThreads();

    // Connected pipes and those still waiting for the receiver alike.
    for (HANDLE pipe : TakeConnections()) ::CloseHandle(pipe);
    ResetEngine();
}

void NamedPipeServer::Accept()
{
    ScopedHandle connectEvent(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!connectEvent) {
        OutputDebugMessage(L"ERROR Accept() : %d", static_cast<int>(::GetLastError()));
        return;
    }
    ScopedLocalMemory descriptor;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kPipeSecurity, SDDL_REVISION_1,
                                                                 reinterpret_cast<PSECURITY_DESCRIPTOR*>(descriptor.Put()),
                                                                 nullptr)) {
        // Never fall back to the default security: report and accept nobody.
        OnCreate(false, INVALID_HANDLE_VALUE);
        ::WaitForSingleObject(stopEvent_.GetHandle(), INFINITE);
        OutputDebugMessage(L"finished Accept()");
        return;
    }
    SECURITY_ATTRIBUTES security = {};
    security.nLength = sizeof(security);
    security.lpSecurityDescriptor = descriptor.Get();
    security.bInheritHandle = FALSE;
    // A process that created the name first would otherwise be served our
    // clients: the first instance must be the first of its name.
    DWORD firstInstance = FILE_FLAG_FIRST_PIPE_INSTANCE;
    for (;;) {
        ScopedHandle instance(::CreateNamedPipeW(pipeName_.c_str(), kOpenMode | firstInstance, kPipeMode,
                                                 PIPE_UNLIMITED_INSTANCES, kPipeBufferSize, kPipeBufferSize,
                                                 kDefaultTimeoutMs, &security));
        if (instance) firstInstance = 0;
        OnCreate(instance.IsValid(), instance.IsValid() ? instance.Get() : INVALID_HANDLE_VALUE);
        if (!instance) {
            // No further clients until the engine is closed.
            if (::WaitForSingleObject(stopEvent_.GetHandle(), INFINITE) != WAIT_OBJECT_0)
                OutputDebugMessage(L"ERROR Accept() : %d", static_cast<int>(::GetLastError()));
            OutputDebugMessage(L"finished Accept()");
            return;
        }
        bool stop = false;
        if (WaitForClient(instance.Get(), connectEvent.Get(), stop)) {
            QueueConnectedPipe(instance.Release());
            continue;
        }
        if (stop) {
            OutputDebugMessage(L"finished Accept()");
            return;
        }
        // The instance failed; the loop offers a fresh one.
    }
}

bool NamedPipeServer::WaitForClient(HANDLE instance, HANDLE connectEvent, bool& stop)
{
    OVERLAPPED overlapped = {};
    overlapped.hEvent = connectEvent;
    if (::ConnectNamedPipe(instance, &overlapped)) return true;
    DWORD error = ::GetLastError();
    // A client that opened the instance before the connect request: connected,
    // and the event is not signalled.
    if (error == ERROR_PIPE_CONNECTED) return true;
    if (error == ERROR_NO_DATA) return false;  // came and went already
    if (error != ERROR_IO_PENDING) {
        OutputDebugMessage(L"ERROR Accept() : %d", static_cast<int>(error));
        // Avoid spinning on an instance that keeps failing at once.
        stop = ::WaitForSingleObject(stopEvent_.GetHandle(), 100) == WAIT_OBJECT_0;
        return false;
    }

    const HANDLE waits[2] = {stopEvent_.GetHandle(), connectEvent};
    DWORD transferred = 0;
    for (;;) {
        const DWORD result = ::WaitForMultipleObjectsEx(2, waits, FALSE, INFINITE, TRUE);
        if (result == WAIT_IO_COMPLETION) continue;
        if (result == WAIT_OBJECT_0 + 1) {
            if (::GetOverlappedResult(instance, &overlapped, &transferred, FALSE)) return true;
            error = ::GetLastError();
            if (error == ERROR_IO_INCOMPLETE) continue;  // a stale signal; still listening
            if (error != ERROR_NO_DATA) OutputDebugMessage(L"ERROR Accept() : %d", static_cast<int>(error));
            return false;
        }
        if (result != WAIT_OBJECT_0) OutputDebugMessage(L"ERROR Accept() : %d", static_cast<int>(::GetLastError()));
        stop = true;
        break;
    }
    // The request refers to `overlapped` on this stack: cancel it and wait
    // until the system is done with the block before it goes away.
    ::CancelIoEx(instance, &overlapped);
    // A client that arrived just as we stopped is dropped with the instance.
    (void)::GetOverlappedResult(instance, &overlapped, &transferred, TRUE);
    return false;
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
