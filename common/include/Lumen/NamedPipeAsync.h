#pragma once

#include <windows.h>

#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "Lumen/Criticalsection.h"
#include "Lumen/Event.h"
#include "Lumen/IPipeDelegate.h"
#include "Lumen/PipeIoContext.h"
#include "Lumen/PipePacket.h"
#include "Lumen/SynchronizedQueue.h"

namespace Lumen {

// The overlapped pipe engine shared by server and client. One thread issues
// every write and one thread every read (the client: a sender and a receiver
// thread; the server: one thread for both); completion routines run on the
// issuing thread during its alertable wait, so the pending I/O sets and the
// partial-message map each belong to one thread.
//
// Delegate callbacks: OnConnect, OnRecv and read-side OnDisconnect on the
// reading thread; OnSend and write-side OnDisconnect on the writing thread.
// Once Close has begun no callback is delivered any more.
//
// Every pipe handed to the engine is one connection with a serial number that
// is never reused. The system may give a closed pipe's handle value to a new
// one; packets, reads and writes carry the serial, so whatever still belongs
// to an ended connection is dropped instead of reaching its successor. A
// connection's loss is reported once, and its handle is closed only after
// that report.
//
// Subclasses must call their own Close() in their destructor: the engine's
// threads call the subclass's callbacks.
class NamedPipeAsync : public IPipeDelegate {
public:
    NamedPipeAsync() = default;
    ~NamedPipeAsync() override;
    NamedPipeAsync(const NamedPipeAsync&) = delete;
    NamedPipeAsync& operator=(const NamedPipeAsync&) = delete;

    virtual bool Create(const std::wstring& pipeName, IPipeDelegate* delegate) = 0;
    // Stops the threads, cancels and drains their pending I/O, and empties the
    // engine; it can then be created again. Harmless when already closed.
    // Calling it from one of the engine's own threads (a delegate callback)
    // raises std::system_error (resource_deadlock_would_occur) and changes
    // nothing.
    virtual void Close();
    // Queues a copy of the bytes for the writing thread; never blocks on I/O.
    // A message longer than kPipeBufferSize is dropped (the reader could not
    // take it as one message), and so is one for a pipe whose connection has
    // ended.
    virtual void Send(HANDLE pipe, const void* data, DWORD length);
    // Starts a connection on a connected pipe (the engine owns the handle
    // from now on) and hands it to the client's receiver thread, which issues
    // its reads.
    virtual void QueueConnectedPipe(HANDLE pipe);
    // Writing thread only. Writes to the connection now on `pipe`.
    virtual bool Write(HANDLE pipe, const void* data, DWORD length);
    // Reading thread only. Reads from the connection now on `pipe`.
    virtual bool Read(HANDLE pipe);
    virtual void ProcessingSender();
    virtual void ProcessingReceiver();

protected:
    // Sets the stop event; false when a close is already under way or done.
    // Throws when called on one of the engine's threads. closeLock_ held.
    bool BeginClose();
    // Joins the receiver, then the sender thread.
    void JoinEngineThreads();
    // Empties the engine after the threads are joined and resets the stop event.
    void ResetEngine();
    // Starts a thread whose body logs anything it throws instead of ending
    // the process. Throws std::system_error when no thread can be started.
    static std::thread StartThread(NamedPipeAsync* self, void (NamedPipeAsync::*body)(), const wchar_t* name);
    bool IsStopping() const { return stopEvent_.IsSet(); }
    bool IsEngineThread() const;
    // Ends the connection `serial` if it is still the one on `pipe` and
    // reports its loss through OnDisconnect; otherwise does nothing (already
    // reported, or an older connection whose handle value was reused).
    void LoseConnection(HANDLE pipe, ULONGLONG serial);
    // The serial of the live connection on `pipe`; 0 when there is none.
    ULONGLONG SerialOf(HANDLE pipe);
    // Takes every live connection out of the engine (for Close, after the
    // threads are joined); returns their handles.
    std::vector<HANDLE> TakeConnections();
    // Starts a connection on a connected pipe (the engine owns the handle
    // from now on); the caller then reports it with ReportConnected.
    void StartConnection(HANDLE pipe);
    // OnConnect(true, pipe), which issues the first read, on the thread that
    // is to issue every read of the pipe. A throwing callback is logged.
    void ReportConnected(HANDLE pipe);
    // On the thread that issues the writes: writes the next queued packet;
    // false when the queue was empty.
    bool WriteNextPacket();
    // On the thread that issues the writes, as it leaves (stop event set):
    // writes what is still queued, gives the writes a moment to complete,
    // then cancels and drains the rest.
    void FlushOnStop();
    // On the thread that issues the reads, as it leaves (stop event set):
    // cancels the pending reads and waits for their completion routines.
    void DrainReads();

    std::wstring pipeName_;
    IPipeDelegate* delegate_ = nullptr;
    SynchronizedQueue<void*> connectQueue_;
    Event connectQueueEvent_;
    SynchronizedQueue<PipePacket> sendQueue_;
    Event sendQueueEvent_;
    Event stopEvent_;
    // Serialises Close and Create of the engine and its subclasses.
    Criticalsection closeLock_;

private:
    static void CALLBACK OnWriteCompletionRoutine(DWORD error, DWORD bytes, LPOVERLAPPED overlapped) noexcept;
    static void CALLBACK OnReadCompletionRoutine(DWORD error, DWORD bytes, LPOVERLAPPED overlapped) noexcept;
    bool WriteTo(HANDLE pipe, ULONGLONG serial, const void* data, DWORD length);
    bool ReadFrom(HANDLE pipe, ULONGLONG serial);
    void HandleWriteCompletion(PipeIoContext* context, DWORD error, DWORD bytes);
    void HandleReadCompletion(PipeIoContext* context, DWORD error, DWORD bytes);
    // Cancels the thread's pending requests and waits alertably until their
    // completion routines have freed every context.
    static void DrainPendingIo(std::set<PipeIoContext*>& pending, const wchar_t* threadName);

    // Live connections: pipe handle -> serial. Reads and writes are issued,
    // and connections ended, under the lock, so no request is issued on a
    // handle that is being closed.
    std::map<HANDLE, ULONGLONG> connections_;
    ULONGLONG lastSerial_ = 0;
    Criticalsection connectionsLock_;

    // Reading thread only (and Close once it is joined). Keyed by serial.
    std::map<ULONGLONG, PipePacket> partialMessages_;
    std::set<PipeIoContext*> pendingReads_;
    // Writing thread only.
    std::set<PipeIoContext*> pendingWrites_;

protected:
    // Declared last: started after, and joined before, everything above is used.
    std::thread senderThread_;
    std::thread receiverThread_;
};

}  // namespace Lumen
