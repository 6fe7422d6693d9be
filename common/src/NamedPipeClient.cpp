#include "Lumen/NamedPipeClient.h"

#include <system_error>

#include "Lumen/DebugOutput.h"
#include "Lumen/ScopedLock.h"

namespace Lumen {

namespace {

// Identification only: a server may learn who we are but cannot act as us.
constexpr DWORD kClientFlags = FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION;

int HandleValue(HANDLE handle)
{
    return static_cast<int>(reinterpret_cast<INT_PTR>(handle));
}

}  // namespace

NamedPipeClient::NamedPipeClient() : closeState_(std::make_shared<CloseState>())
{
    closeState_->owner = this;
}

NamedPipeClient::~NamedPipeClient()
{
    {
        // Waits for a closing thread that is already at work.
        ScopedLock lock(&closeState_->lock);
        closeState_->owner = nullptr;
    }
    try {
        Close();
    } catch (...) {
        OutputDebugMessage(L"NamedPipeClient::~NamedPipeClient() : Close failed");
    }
}

bool NamedPipeClient::Create(const std::wstring& pipeName, IPipeDelegate* delegate)
{
    ScopedLock stateLock(&closeState_->lock);
    // A closing thread of an earlier connection must leave this one alone.
    ++closeState_->generation;
    ScopedLock lock(&closeLock_);
    if (clientHandle_ != INVALID_HANDLE_VALUE) Close();
    // Only now: a loss of the previous connection, reported while Close was
    // joining its threads, must carry the previous generation.
    connectionGeneration_ = closeState_->generation.load();
    delegate_ = delegate;
    pipeName_ = pipeName;

    HANDLE pipe = INVALID_HANDLE_VALUE;
    for (;;) {
        pipe = ::CreateFileW(pipeName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, kClientFlags,
                             nullptr);
        const DWORD error = ::GetLastError();
        ::SetLastError(error);
        OnCreate(pipe != INVALID_HANDLE_VALUE, pipe);
        if (pipe != INVALID_HANDLE_VALUE) break;
        if (error == ERROR_PIPE_BUSY) {
            if (::WaitNamedPipeW(pipeName.c_str(), NMPWAIT_USE_DEFAULT_WAIT)) continue;
            OutputDebugMessage(L"NamedPipeClient::Create(), WaitNamedPipe Failed, ERROR : %d",
                               static_cast<int>(::GetLastError()));
            return false;
        }
        OutputDebugMessage(L"NamedPipeClient::Create(), Could not open pipe, ERROR : %d", static_cast<int>(error));
        return false;
    }

    clientHandle_ = pipe;
    disconnectReported_ = false;
    try {
        senderThread_ = StartThread(this, &NamedPipeAsync::ProcessingSender, L"ProcessingSender");
        receiverThread_ = StartThread(this, &NamedPipeAsync::ProcessingReceiver, L"ProcessingReceiver");
    } catch (...) {
        Close();
        throw;
    }
    QueueConnectedPipe(pipe);
    return true;
}

void NamedPipeClient::Close()
{
    ScopedLock lock(&closeLock_);
    if (!BeginClose()) return;
    JoinEngineThreads();
    ResetEngine();
    const HANDLE pipe = clientHandle_.exchange(INVALID_HANDLE_VALUE);
    if (pipe != INVALID_HANDLE_VALUE) {
        ::DisconnectNamedPipe(pipe);
        ::CloseHandle(pipe);
    }
}

void NamedPipeClient::SendToServer(const void* data, DWORD length)
{
    const HANDLE pipe = clientHandle_;
    if (pipe == INVALID_HANDLE_VALUE) {
        OutputDebugMessage(L"NamedPipeClient::SendToServer() ERROR : Pipe is not connected.");
        return;
    }
    Send(pipe, data, length);
}

void NamedPipeClient::OnCreate(bool success, HANDLE pipe)
{
    // The delegate reports GetLastError() too: the debug output must not change it.
    const DWORD error = ::GetLastError();
    if (!success) OutputDebugMessage(L"NamedPipeClient::OnCreate() ERROR : %d", static_cast<int>(error));
    ::SetLastError(error);
    if (delegate_ != nullptr) delegate_->OnCreate(success, pipe);
}

void NamedPipeClient::OnConnect(bool success, HANDLE pipe)
{
    bool readIssued = true;
    if (success) {
        OutputDebugMessage(L"NamedPipeClient::OnConnect() PIPE : %d", HandleValue(pipe));
        readIssued = Read(pipe);
    }
    if (delegate_ != nullptr) delegate_->OnConnect(success, pipe);
    if (!readIssued) LoseConnection(pipe, SerialOf(pipe));
}

void NamedPipeClient::OnSend(HANDLE pipe, DWORD bytes)
{
    if (delegate_ != nullptr) delegate_->OnSend(pipe, bytes);
}

void NamedPipeClient::OnRecv(HANDLE pipe, const BYTE* data, DWORD length)
{
    if (delegate_ != nullptr) delegate_->OnRecv(pipe, data, length);
}

void NamedPipeClient::OnDisconnect(HANDLE pipe)
{
    OutputDebugMessage(L"NamedPipeClient::OnDisconnect() PIPE : %d", HandleValue(pipe));
    // The read and the write side may both notice the loss.
    if (disconnectReported_.exchange(true)) return;
    try {
        if (delegate_ != nullptr) delegate_->OnDisconnect(pipe);
    } catch (...) {
        OutputDebugMessage(L"NamedPipeClient::OnDisconnect() : the delegate raised an exception");
    }

    // Must not take closeState_->lock here: Create and the destructor hold it
    // while joining this very thread.
    const std::shared_ptr<CloseState> state = closeState_;
    const unsigned generation = connectionGeneration_;
    try {
        std::thread([state, generation]() noexcept {
            try {
                ScopedLock lock(&state->lock);
                if (state->owner != nullptr && state->generation == generation) state->owner->Close();
            } catch (...) {
                OutputDebugMessage(L"NamedPipeClient : closing after a disconnect failed");
            }
        }).detach();
    } catch (const std::system_error& error) {
        OutputDebugMessage(L"NamedPipeClient::OnDisconnect() : no thread to close the pipe, error : %d",
                           error.code().value());
    }
}

}  // namespace Lumen
