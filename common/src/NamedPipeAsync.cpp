#include "Lumen/NamedPipeAsync.h"

#include <cstring>
#include <exception>
#include <memory>
#include <system_error>

#include "Lumen/DebugOutput.h"
#include "Lumen/ScopedLock.h"
#include "Lumen/StringUtils.h"

namespace Lumen {

namespace {

// How long a closing sender lets queued writes reach the peer.
constexpr DWORD kFlushTimeoutMs = 1000;
// How long a closing thread waits for cancelled requests to complete.
constexpr DWORD kDrainTimeoutMs = 5000;

}  // namespace

NamedPipeAsync::~NamedPipeAsync()
{
    // A subclass has closed already; this only covers an engine whose
    // threads were never started by one.
    try {
        NamedPipeAsync::Close();
    } catch (...) {
        OutputDebugMessage(L"NamedPipeAsync::~NamedPipeAsync() : Close failed");
    }
}

bool NamedPipeAsync::IsEngineThread() const
{
    const std::thread::id self = std::this_thread::get_id();
    return self == senderThread_.get_id() || self == receiverThread_.get_id();
}

bool NamedPipeAsync::BeginClose()
{
    if (IsEngineThread()) throw std::system_error(std::make_error_code(std::errc::resource_deadlock_would_occur));
    if (stopEvent_.IsSet()) return false;
    stopEvent_.Set();
    return true;
}

void NamedPipeAsync::JoinEngineThreads()
{
    if (receiverThread_.joinable()) receiverThread_.join();
    if (senderThread_.joinable()) senderThread_.join();
}

void NamedPipeAsync::ResetEngine()
{
    pipeName_.clear();
    delegate_ = nullptr;
    partialMessages_.clear();
    {
        ScopedLock lock(&connectionsLock_);
        connections_.clear();
    }
    receiverThread_ = std::thread();
    senderThread_ = std::thread();
    connectQueue_.Clear();
    connectQueueEvent_.Reset();
    sendQueue_.Clear();
    sendQueueEvent_.Reset();
    stopEvent_.Reset();
}

void NamedPipeAsync::Close()
{
    ScopedLock lock(&closeLock_);
    if (!BeginClose()) return;
    JoinEngineThreads();
    ResetEngine();
}

std::thread NamedPipeAsync::StartThread(NamedPipeAsync* self, void (NamedPipeAsync::*body)(), const wchar_t* name)
{
    return std::thread([self, body, name]() noexcept {
        try {
            (self->*body)();
        } catch (const std::exception& error) {
            OutputDebugMessage(L"%s() ended by an exception : %s", name, Utf8ToWide(error.what()).c_str());
        } catch (...) {
            OutputDebugMessage(L"%s() ended by an unknown exception", name);
        }
    });
}

ULONGLONG NamedPipeAsync::SerialOf(HANDLE pipe)
{
    ScopedLock lock(&connectionsLock_);
    const auto it = connections_.find(pipe);
    return it == connections_.end() ? 0 : it->second;
}

void NamedPipeAsync::LoseConnection(HANDLE pipe, ULONGLONG serial)
{
    {
        ScopedLock lock(&connectionsLock_);
        const auto it = connections_.find(pipe);
        if (it == connections_.end() || it->second != serial) return;
        connections_.erase(it);
    }
    OnDisconnect(pipe);
}

std::vector<HANDLE> NamedPipeAsync::TakeConnections()
{
    std::vector<HANDLE> pipes;
    ScopedLock lock(&connectionsLock_);
    for (const auto& connection : connections_) pipes.push_back(connection.first);
    connections_.clear();
    return pipes;
}

void NamedPipeAsync::Send(HANDLE pipe, const void* data, DWORD length)
{
    if (length > kPipeBufferSize) {
        OutputDebugMessage(L"NamedPipeAsync::Send() ERROR : %d bytes exceed the message limit of %d", static_cast<int>(length),
                           static_cast<int>(kPipeBufferSize));
        return;
    }
    const ULONGLONG serial = SerialOf(pipe);
    if (serial == 0) {
        OutputDebugMessage(L"NamedPipeAsync::Send() ERROR : pipe %d is not connected", static_cast<int>(reinterpret_cast<INT_PTR>(pipe)));
        return;
    }
    PipePacket packet;
    packet.target = pipe;
    packet.serial = serial;
    packet.buffer = std::shared_ptr<BYTE>(new BYTE[length == 0 ? 1 : length], ArrayDeleter());
    if (length != 0) std::memcpy(packet.buffer.get(), data, length);
    packet.length = length;
    sendQueue_.Push(packet);
    sendQueueEvent_.Set();
}

void NamedPipeAsync::QueueConnectedPipe(HANDLE pipe)
{
    StartConnection(pipe);
    connectQueue_.Push(pipe);
    connectQueueEvent_.Set();
}

bool NamedPipeAsync::Write(HANDLE pipe, const void* data, DWORD length)
{
    return WriteTo(pipe, SerialOf(pipe), data, length);
}

bool NamedPipeAsync::WriteTo(HANDLE pipe, ULONGLONG serial, const void* data, DWORD length)
{
    if (length > kPipeBufferSize) {
        OutputDebugMessage(L"WriteFileEx failed, error code: %d", ERROR_INVALID_PARAMETER);
        return false;
    }
    // The context carries its own copy of the bytes, so they outlive the
    // request whatever happens to the caller's buffer.
    auto context = std::make_unique<PipeIoContext>();
    std::memset(context.get(), 0, sizeof(PipeIoContext));
    if (length != 0) std::memcpy(context->buffer, data, length);
    context->pipe = pipe;
    context->serial = serial;
    context->owner = this;
    ScopedLock lock(&connectionsLock_);
    const auto it = connections_.find(pipe);
    if (serial == 0 || it == connections_.end() || it->second != serial) {
        // Its connection has ended: the handle value may be someone else's now.
        OutputDebugMessage(L"NamedPipeAsync::Write() : the connection has ended, %d bytes dropped", static_cast<int>(length));
        return true;
    }
    if (!::WriteFileEx(pipe, context->buffer, length, &context->overlapped, &OnWriteCompletionRoutine)) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_IO_PENDING) {
            OutputDebugMessage(L"WriteFileEx failed, error code: %d", static_cast<int>(error));
            return false;
        }
    }
    pendingWrites_.insert(context.release());
    return true;
}

bool NamedPipeAsync::Read(HANDLE pipe)
{
    return ReadFrom(pipe, SerialOf(pipe));
}

bool NamedPipeAsync::ReadFrom(HANDLE pipe, ULONGLONG serial)
{
    auto context = std::make_unique<PipeIoContext>();
    std::memset(context.get(), 0, sizeof(PipeIoContext));
    context->pipe = pipe;
    context->serial = serial;
    context->owner = this;
    ScopedLock lock(&connectionsLock_);
    const auto it = connections_.find(pipe);
    if (serial == 0 || it == connections_.end() || it->second != serial) return true;  // ended: nothing to read
    if (!::ReadFileEx(pipe, context->buffer, kPipeBufferSize, &context->overlapped, &OnReadCompletionRoutine)) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_IO_PENDING) {
            OutputDebugMessage(L"ReadFileEx failed, error code: %d", static_cast<int>(error));
            return false;
        }
    }
    pendingReads_.insert(context.release());
    return true;
}

void CALLBACK NamedPipeAsync::OnWriteCompletionRoutine(DWORD error, DWORD bytes, LPOVERLAPPED overlapped) noexcept
{
    auto* context = reinterpret_cast<PipeIoContext*>(overlapped);
    try {
        context->owner->HandleWriteCompletion(context, error, bytes);
    } catch (...) {
        OutputDebugMessage(L"OnWriteCompletionRoutine : a callback raised an exception");
    }
}

void CALLBACK NamedPipeAsync::OnReadCompletionRoutine(DWORD error, DWORD bytes, LPOVERLAPPED overlapped) noexcept
{
    auto* context = reinterpret_cast<PipeIoContext*>(overlapped);
    try {
        context->owner->HandleReadCompletion(context, error, bytes);
    } catch (...) {
        OutputDebugMessage(L"OnReadCompletionRoutine : a callback raised an exception");
    }
}

void NamedPipeAsync::HandleWriteCompletion(PipeIoContext* context, DWORD error, DWORD bytes)
{
    pendingWrites_.erase(context);
    std::unique_ptr<PipeIoContext> owned(context);
    if (error != ERROR_SUCCESS) {
        OutputDebugMessage(L"OnWriteCompletionRoutine failed, error code: %d", static_cast<int>(error));
        return;
    }
    if (!IsStopping() && SerialOf(context->pipe) == context->serial) OnSend(context->pipe, bytes);
}

void NamedPipeAsync::HandleReadCompletion(PipeIoContext* context, DWORD error, DWORD bytes)
{
    pendingReads_.erase(context);
    std::unique_ptr<PipeIoContext> owned(context);
    const HANDLE pipe = context->pipe;
    const ULONGLONG serial = context->serial;

    // A message-mode peer reports a long message as ERROR_MORE_DATA with a
    // full buffer: that is data, not a failure.
    if (error != ERROR_SUCCESS && error != ERROR_MORE_DATA) {
        OutputDebugMessage(L"OnReadCompletionRoutine failed, error code: %d", static_cast<int>(error));
        partialMessages_.erase(serial);
        if (IsStopping()) return;
        if (error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED) LoseConnection(pipe, serial);
        return;
    }
    if (IsStopping()) return;  // the receiver is draining; nobody is listening
    if (SerialOf(pipe) != serial) {
        // Data of a connection that has ended, whatever now holds its handle value.
        partialMessages_.erase(serial);
        return;
    }

    // Keep one read outstanding before handling this one.
    const bool readIssued = ReadFrom(pipe, serial);

    PipePacket& entry = partialMessages_[serial];
    std::shared_ptr<BYTE> joined(new BYTE[entry.length + bytes + 1], ArrayDeleter());
    if (entry.length != 0) std::memcpy(joined.get(), entry.buffer.get(), entry.length);
    std::memcpy(joined.get() + entry.length, context->buffer, bytes);
    entry.target = pipe;
    entry.serial = serial;
    entry.buffer = joined;
    entry.length += bytes;

    DWORD transferred = 0;
    bool moreData = error == ERROR_MORE_DATA;
    if (!moreData && !::GetOverlappedResult(pipe, &context->overlapped, &transferred, FALSE))
        moreData = ::GetLastError() == ERROR_MORE_DATA;
    if (moreData) {
        OutputDebugMessage(L"read buffer is not enough");
    } else {
        // Taken out of the map first, so a throwing delegate cannot leave it
        // to be glued onto the next message.
        const PipePacket message = entry;
        partialMessages_.erase(serial);
        OnRecv(pipe, message.buffer.get(), message.length);
    }

    // A pipe that cannot be read any more would otherwise go quiet for good.
    if (!readIssued) {
        partialMessages_.erase(serial);
        LoseConnection(pipe, serial);
    }
}

bool NamedPipeAsync::WriteNextPacket()
{
    PipePacket packet;
    if (sendQueue_.Size() == 0 || !sendQueue_.Pop(packet)) return false;
    try {
        if (!WriteTo(packet.target, packet.serial, packet.buffer.get(), packet.length))
            LoseConnection(packet.target, packet.serial);
    } catch (const std::bad_alloc&) {
        OutputDebugMessage(L"ERROR ProcessingSender() : %d", ERROR_NOT_ENOUGH_MEMORY);
    } catch (...) {
        OutputDebugMessage(L"ProcessingSender() : a callback raised an exception");
    }
    return true;
}

void NamedPipeAsync::StartConnection(HANDLE pipe)
{
    ScopedLock lock(&connectionsLock_);
    connections_[pipe] = ++lastSerial_;
}

void NamedPipeAsync::ReportConnected(HANDLE pipe)
{
    try {
        OnConnect(true, pipe);
    } catch (...) {
        OutputDebugMessage(L"ProcessingReceiver() : a callback raised an exception");
    }
}

void NamedPipeAsync::DrainReads()
{
    DrainPendingIo(pendingReads_, L"ProcessingReceiver");
}

void NamedPipeAsync::ProcessingSender()
{
    const HANDLE waits[2] = {stopEvent_.GetHandle(), sendQueueEvent_.GetHandle()};
    for (;;) {
        ResetWhenEmpty(sendQueue_, sendQueueEvent_);
        const DWORD result = ::WaitForMultipleObjectsEx(2, waits, FALSE, INFINITE, TRUE);
        if (result == WAIT_OBJECT_0) {
            OutputDebugMessage(L"finished ProcessingSender()");
            break;
        }
        if (result == WAIT_OBJECT_0 + 1) {
            WriteNextPacket();
            continue;
        }
        if (result == WAIT_IO_COMPLETION) continue;
        OutputDebugMessage(L"ERROR ProcessingSender() : %d", static_cast<int>(::GetLastError()));
        break;
    }
    FlushOnStop();
}

void NamedPipeAsync::FlushOnStop()
{
    // Messages queued just before Close (such as a farewell to every peer)
    // still go out; failures are no longer reported.
    PipePacket packet;
    while (sendQueue_.Size() != 0 && sendQueue_.Pop(packet)) {
        try {
            WriteTo(packet.target, packet.serial, packet.buffer.get(), packet.length);
        } catch (...) {
            break;
        }
    }
    const ULONGLONG deadline = ::GetTickCount64() + kFlushTimeoutMs;
    while (!pendingWrites_.empty()) {
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) break;
        ::SleepEx(static_cast<DWORD>(deadline - now), TRUE);
    }
    DrainPendingIo(pendingWrites_, L"ProcessingSender");
}

void NamedPipeAsync::ProcessingReceiver()
{
    const HANDLE waits[2] = {stopEvent_.GetHandle(), connectQueueEvent_.GetHandle()};
    for (;;) {
        ResetWhenEmpty(connectQueue_, connectQueueEvent_);
        const DWORD result = ::WaitForMultipleObjectsEx(2, waits, FALSE, INFINITE, TRUE);
        if (result == WAIT_OBJECT_0) {
            OutputDebugMessage(L"finished ProcessingReceiver()");
            break;
        }
        if (result == WAIT_OBJECT_0 + 1) {
            void* pipe = nullptr;
            if (!connectQueue_.Pop(pipe)) continue;
            ReportConnected(pipe);
            continue;
        }
        if (result == WAIT_IO_COMPLETION) continue;
        OutputDebugMessage(L"ERROR ProcessingReceiver() : %d", static_cast<int>(::GetLastError()));
        break;
    }
    DrainReads();
}

void NamedPipeAsync::DrainPendingIo(std::set<PipeIoContext*>& pending, const wchar_t* threadName)
{
    if (pending.empty()) return;
    // Completion routines of cancelled requests still run, and only on this
    // thread: the contexts may be freed only by them, never while the system
    // may still write into an OVERLAPPED block or a buffer.
    for (PipeIoContext* context : pending) ::CancelIoEx(context->pipe, &context->overlapped);
    const ULONGLONG deadline = ::GetTickCount64() + kDrainTimeoutMs;
    while (!pending.empty()) {
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) break;
        ::SleepEx(static_cast<DWORD>(deadline - now), TRUE);
    }
    if (!pending.empty()) {
        // Better a small leak than freeing memory the system still owns.
        OutputDebugMessage(L"%s() : %d I/O requests did not complete; their contexts are left allocated", threadName,
                           static_cast<int>(pending.size()));
        pending.clear();
    }
}

}  // namespace Lumen
