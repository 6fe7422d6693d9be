#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>
#include <string>
#include <vector>

#include <aclapi.h>
#include <sddl.h>

#include "Lumen/Event.h"
#include "Lumen/NamedPipeClient.h"
#include "Lumen/NamedPipeServer.h"
#include "Lumen/StringUtils.h"
#include "TestSupport.h"

using namespace Lumen;

namespace {

// Collects the process's debugger output. OutputDebugString raises a
// first-chance exception carrying the text (under Wine always the narrow
// form), which a vectored handler sees before anyone else.
class DebugCapture {
public:
    DebugCapture()
    {
        instance_ = this;
        handler_ = ::AddVectoredExceptionHandler(1, &Handler);
    }
    ~DebugCapture()
    {
        ::RemoveVectoredExceptionHandler(handler_);
        instance_ = nullptr;
    }
    bool Contains(const std::string& text)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return text_.find(text) != std::string::npos;
    }
    bool WaitFor(const std::string& text, DWORD ms)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(ms),
                                 [&] { return text_.find(text) != std::string::npos; });
    }
    std::string Text()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return text_;
    }

private:
    static LONG CALLBACK Handler(EXCEPTION_POINTERS* info)
    {
        const EXCEPTION_RECORD* record = info->ExceptionRecord;
        DebugCapture* self = instance_;
        if (self == nullptr || record->NumberParameters < 2) return EXCEPTION_CONTINUE_SEARCH;
        std::string line;
        if (record->ExceptionCode == DBG_PRINTEXCEPTION_C)
            line = reinterpret_cast<const char*>(record->ExceptionInformation[1]);
        else if (record->ExceptionCode == 0x4001000A)  // DBG_PRINTEXCEPTION_WIDE_C
            line = WideToUtf8(reinterpret_cast<const wchar_t*>(record->ExceptionInformation[1]));
        else
            return EXCEPTION_CONTINUE_SEARCH;
        std::lock_guard<std::mutex> lock(self->mutex_);
        self->text_ += line;
        self->changed_.notify_all();
        return EXCEPTION_CONTINUE_SEARCH;
    }

    static DebugCapture* instance_;
    void* handler_ = nullptr;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::string text_;
};
DebugCapture* DebugCapture::instance_ = nullptr;

struct Received {
    HANDLE pipe;
    std::string bytes;
};

// Records every callback; tests wait on its state with a time-out.
class RecordingDelegate : public IPipeDelegate {
public:
    std::function<void(bool, HANDLE)> onCreate;
    std::function<void(HANDLE)> onConnect;
    std::function<void(HANDLE)> onSend;
    std::function<void(HANDLE, const std::string&)> onRecv;
    std::function<void(HANDLE)> onDisconnect;

    void OnCreate(bool success, HANDLE pipe) override
    {
        const DWORD error = ::GetLastError();
        if (onCreate) onCreate(success, pipe);
        Update([&] {
            if (success) ++created;
            else createErrors.push_back(error);
        });
    }
    void OnConnect(bool success, HANDLE pipe) override
    {
        if (onConnect) onConnect(pipe);
        Update([&] {
            if (success) connected.push_back(pipe);
        });
    }
    void OnSend(HANDLE pipe, DWORD bytes) override
    {
        if (onSend) onSend(pipe);
        Update([&] { sentBytes.push_back(bytes); });
    }
    void OnRecv(HANDLE pipe, const BYTE* data, DWORD length) override
    {
        const std::string bytes(reinterpret_cast<const char*>(data), length);
        if (onRecv) onRecv(pipe, bytes);
        Update([&] { received.push_back({pipe, bytes}); });
    }
    void OnDisconnect(HANDLE pipe) override
    {
        if (onDisconnect) onDisconnect(pipe);
        Update([&] { disconnected.push_back(pipe); });
    }

    bool WaitUntil(const std::function<bool()>& condition, DWORD ms = 10000)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, std::chrono::milliseconds(ms), condition);
    }

    std::mutex mutex;
    std::condition_variable changed;
    int created = 0;
    std::vector<DWORD> createErrors;
    std::vector<HANDLE> connected;
    std::vector<DWORD> sentBytes;
    std::vector<Received> received;
    std::vector<HANDLE> disconnected;

private:
    void Update(const std::function<void()>& change)
    {
        std::lock_guard<std::mutex> lock(mutex);
        change();
        changed.notify_all();
    }
};

std::string Pattern(size_t size)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i % 251);
    return bytes;
}

ScopedHandle NamedEvent(const std::wstring& name)
{
    return ScopedHandle(::CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
}

class NamedPipeTest : public ::testing::Test {
protected:
    // Opens the peer's one instance as a plain client, once the peer has made it.
    ScopedHandle TakeOnlyInstance()
    {
        ScopedHandle first;
        PavoTest::WaitUntil(
            [&] {
                first.Reset(::CreateFileW(pipeName_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                          0, nullptr));
                return first.IsValid();
            },
            10000);
        return first;
    }

    NamedPipeTest()
        : label_(PavoTest::UniqueName(L"pipe")), pipeName_(L"\\\\.\\pipe\\" + label_),
          peer_(PavoTest::BinDirectory() + L"PavoPipePeer.exe")
    {
    }

    ScopedHandle StartPeer(const std::wstring& arguments)
    {
        return PavoTest::StartProcess(L"\"" + peer_ + L"\" " + arguments);
    }
    static DWORD ExitCodeWithin(const ScopedHandle& process, DWORD ms)
    {
        if (::WaitForSingleObject(process.Get(), ms) != WAIT_OBJECT_0) return 0xFFFFFFFF;
        DWORD code = 0xFFFFFFFF;
        ::GetExitCodeProcess(process.Get(), &code);
        return code;
    }
    std::wstring EventName(const std::wstring& suffix) const { return label_ + L"_" + suffix; }

    DebugCapture capture_;
    std::wstring label_;
    std::wstring pipeName_;
    std::wstring peer_;
};

TEST_F(NamedPipeTest, UnconnectedClientFailsAtOnceAndDropsMessages)
{
    NamedPipeClient client;
    RecordingDelegate delegate;
    client.SendToServer("early", 5);
    EXPECT_TRUE(capture_.Contains("NamedPipeClient::SendToServer() ERROR : Pipe is not connected."));

    // No server yet: no waiting, the open error is reported as is.
    const ULONGLONG start = ::GetTickCount64();
    ::SetLastError(0xdeadbeef);
    EXPECT_FALSE(client.Create(pipeName_, &delegate));
    EXPECT_LT(::GetTickCount64() - start, 2000u);
    ASSERT_EQ(delegate.createErrors.size(), 1u);
    EXPECT_EQ(delegate.createErrors[0], static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(capture_.Contains("NamedPipeClient::OnCreate() ERROR : 2"));
    EXPECT_TRUE(capture_.Contains("NamedPipeClient::Create(), Could not open pipe, ERROR : 2"));
    EXPECT_FALSE(client.IsConnected());

    client.Close();
    client.Close();
    NamedPipeServer server;
    server.Close();
    server.Close();
}

TEST_F(NamedPipeTest, BusyInstanceIsWaitedForThenConnected)
{
    const std::wstring connected = EventName(L"connected"), release = EventName(L"release"), quit = EventName(L"quit");
    ScopedHandle quitEvent = NamedEvent(quit), connectedEvent = NamedEvent(connected), releaseEvent = NamedEvent(release);
    ScopedHandle peer = StartPeer(L"raw-server " + pipeName_ + L" 10000 " + connected + L" " + release + L" " + quit);
    ASSERT_TRUE(peer);

    // The peer's only instance is taken by this first client.
    ScopedHandle first = TakeOnlyInstance();
    ASSERT_TRUE(first);
    ASSERT_EQ(::WaitForSingleObject(connectedEvent.Get(), 10000), WAIT_OBJECT_0);

    // The busy answer frees the instance, which the client is waiting for.
    NamedPipeClient client;
    RecordingDelegate delegate;
    delegate.onCreate = [&](bool success, HANDLE) {
        if (!success) ::SetEvent(releaseEvent.Get());
    };
    EXPECT_TRUE(client.Create(pipeName_, &delegate));
    ASSERT_FALSE(delegate.createErrors.empty());
    EXPECT_EQ(delegate.createErrors[0], static_cast<DWORD>(ERROR_PIPE_BUSY));
    EXPECT_EQ(delegate.created, 1);
    EXPECT_TRUE(client.IsConnected());
    EXPECT_TRUE(delegate.WaitUntil([&] { return delegate.connected.size() == 1; }));

    ::SetEvent(quitEvent.Get());
    EXPECT_EQ(ExitCodeWithin(peer, 30000), 0u);
}

TEST_F(NamedPipeTest, BusyInstanceThatStaysBusyFailsAfterTheServersTimeout)
{
    const std::wstring connected = EventName(L"connected"), release = EventName(L"release"), quit = EventName(L"quit");
    ScopedHandle quitEvent = NamedEvent(quit), connectedEvent = NamedEvent(connected), releaseEvent = NamedEvent(release);
    ScopedHandle peer = StartPeer(L"raw-server " + pipeName_ + L" 300 " + connected + L" " + release + L" " + quit);
    ASSERT_TRUE(peer);
    ScopedHandle first = TakeOnlyInstance();
    ASSERT_TRUE(first);
    ASSERT_EQ(::WaitForSingleObject(connectedEvent.Get(), 10000), WAIT_OBJECT_0);

    NamedPipeClient client;
    RecordingDelegate delegate;
    const ULONGLONG start = ::GetTickCount64();
    EXPECT_FALSE(client.Create(pipeName_, &delegate));
    EXPECT_GE(::GetTickCount64() - start, 250u);
    EXPECT_TRUE(capture_.Contains("NamedPipeClient::Create(), WaitNamedPipe Failed, ERROR : ")) << capture_.Text();
    EXPECT_FALSE(client.IsConnected());
    client.SendToServer("x", 1);
    EXPECT_TRUE(capture_.Contains("Pipe is not connected."));

    ::TerminateProcess(peer.Get(), 0);
}

TEST_F(NamedPipeTest, FullBufferMessageArrivesWholeBothWays)
{
    NamedPipeServer server;
    RecordingDelegate delegate;
    delegate.onRecv = [&](HANDLE pipe, const std::string& bytes) { server.Send(pipe, bytes.data(), static_cast<DWORD>(bytes.size())); };
    ASSERT_TRUE(server.Create(pipeName_, &delegate));
    ASSERT_TRUE(delegate.WaitUntil([&] { return delegate.created >= 1; }));  // clients can open it now

    ScopedHandle peer = StartPeer(L"client " + pipeName_ + L" --send-size=4096 --expect-recv=4096");
    ASSERT_TRUE(peer);
    EXPECT_EQ(ExitCodeWithin(peer, 30000), 0u);  // the echo came back as one message of 4096
    // The write's completion may run just after the peer's departure is seen.
    ASSERT_TRUE(delegate.WaitUntil([&] { return delegate.disconnected.size() == 1 && !delegate.sentBytes.empty(); }));
    std::lock_guard<std::mutex> lock(delegate.mutex);
    ASSERT_EQ(delegate.received.size(), 1u);
    EXPECT_EQ(delegate.received[0].bytes, Pattern(4096));
    EXPECT_EQ(delegate.sentBytes, std::vector<DWORD>{4096});
}

TEST_F(NamedPipeTest, ServerClosesOnlyThePipeOfTheClientThatLeft)
{
    NamedPipeServer server;
    RecordingDelegate delegate;
    ASSERT_TRUE(server.Create(pipeName_, &delegate));
    ASSERT_TRUE(delegate.WaitUntil([&] { return delegate.created >= 1; }));  // clients can open it now
    const std::wstring leave = EventName(L"leave");
    ScopedHandle leaveEvent = NamedEvent(leave);
    ScopedHandle a = StartPeer(L"client " + pipeName_ + L" --send=from-a --wait=" + leave);
    ASSERT_TRUE(delegate.WaitUntil([&] { return delegate.received.size() == 1; }, 30000));
    ScopedHandle b = StartPeer(L"client " + pipeName_ + L" --send=from-b --expect-recv=5");
    ASSERT_TRUE(delegate.WaitUntil([&] { return delegate.received.size() == 2; }, 30000));
    HANDLE pipeA = nullptr, pipeB = nullptr;
    {
        std::lock_guard<std::mutex> lock(delegate.mutex);
        ASSERT_EQ(delegate.received[0].bytes, "from-a");
        ASSERT_EQ(delegate.received[1].bytes, "from-b");
        pipeA = delegate.received[0].pipe;
        pipeB = delegate.received[1].pipe;
    }
    ASSERT_NE(pipeA, pipeB);

    ::SetEvent(leaveEvent.Get());
    EXPECT_EQ(ExitCodeWithin(a, 30000), 0u);
    ASSERT_TRUE(delegate.WaitUntil([&] { return delegate.disconnected.size() == 1; }));
    EXPECT_EQ(delegate.disconnected[0], pipeA);
    EXPECT_TRUE(capture_.Contains("OnReadCompletionRoutine failed, error code: 109"));
    EXPECT_TRUE(capture_.Contains(
        "NamedPipeServer::OnDisconnect() PIPE : " + std::to_string(reinterpret_cast<INT_PTR>(pipeA))));

    // The other client still hears the server.
    server.Send(pipeB, "after", 5);
    EXPECT_EQ(ExitCodeWithin(b, 30000), 0u);
    ASSERT_TRUE(delegate.WaitUntil([&] { return delegate.disconnected.size() == 2; }));
    EXPECT_EQ(delegate.disconnected[1], pipeB);
}

TEST_F(NamedPipeTest, PeerThatWritesAndLeavesIsStillReportedGone)
{
    NamedPipeServer server;
    RecordingDelegate delegate;
    Event peerStarted;
    ScopedHandle peer;
    // Holding the serving thread until the peer has written and exited makes
    // the read after its message fail at once (109) instead of pending.
    delegate.onConnect = [&](HANDLE) {
        if (::WaitForSingleObject(peerStarted.GetHandle(), 10000) == WAIT_OBJECT_0)
            ::WaitForSingleObject(peer.Get(), 20000);
    };
    ASSERT_TRUE(server.Create(pipeName_, &delegate));
    ASSERT_TRUE(delegate.WaitUntil([&] { return delegate.created >= 1; }));  // clients can open it now
    peer = StartPeer(L"client " + pipeName_ + L" --send=bye");
    ASSERT_TRUE(peer);
    peerStarted.Set();
    EXPECT_EQ(ExitCodeWithin(peer, 30000), 0u);
    ASSERT_TRUE(delegate.WaitUntil([&] { return delegate.disconnected.size() == 1; }));
    std::lock_guard<std::mutex> lock(delegate.mutex);
    ASSERT_EQ(delegate.received.size(), 1u);
    EXPECT_EQ(delegate.received[0].bytes, "bye");
    EXPECT_EQ(delegate.disconnected[0], delegate.received[0].pipe);
}

TEST_F(NamedPipeTest, ClientThatOpensBeforeTheConnectRequestIsAccepted)
{
    NamedPipeServer server;
    RecordingDelegate delegate;
    ScopedHandle early;
    // OnCreate runs on the serving thread between creating the instance and
    // asking for a connection: a client opening here finds it already
    // connected (ERROR_PIPE_CONNECTED, no event).
    delegate.onCreate = [&](bool success, HANDLE) {
        if (success && !early)
            early.Reset(::CreateFileW(pipeName_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                                      nullptr));
    };
    ASSERT_TRUE(server.Create(pipeName_, &delegate));
    ASSERT_TRUE(delegate.WaitUntil([&] { return delegate.created >= 1; }));  // clients can open it now
    ASSERT_TRUE(delegate.WaitUntil([&] { return delegate.connected.size() == 1; }));
    ASSERT_TRUE(early);
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(early.Get(), "early", 5, &written, nullptr));
    ASSERT_TRUE(delegate.WaitUntil([&] { return delegate.received.size() == 1; }));
    EXPECT_EQ(delegate.received[0].bytes, "early");
    EXPECT_EQ(delegate.received[0].pipe, delegate.connected[0]);
}

TEST_F(NamedPipeTest, TheNextInstanceWaitsBeforeAConnectionIsReported)
{
    // A connection can end, and its pipe be closed, as soon as it is
    // reported: if no other instance existed then, a client arriving in that
    // moment would find no pipe at all (ERROR_FILE_NOT_FOUND, which it does
    // not wait on) instead of a busy one.
    NamedPipeServer server;
    RecordingDelegate delegate;
    bool nextWaiting = false;
    delegate.onConnect = [&](HANDLE) { nextWaiting = ::WaitNamedPipeW(pipeName_.c_str(), 1) != FALSE; };
    ASSERT_TRUE(server.Create(pipeName_, &delegate));
    ASSERT_TRUE(delegate.WaitUntil([&] { return delegate.created >= 1; }));
    ScopedHandle client(
        ::CreateFileW(pipeName_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(client);
    ASSERT_TRUE(delegate.WaitUntil([&] { return delegate.connected.size() == 1; }));
    EXPECT_TRUE(nextWaiting);
    EXPECT_GE(delegate.created, 2);
}

TEST_F(NamedPipeTest, CloseWithIoPendingDrainsItAndCanCreateAgain)
{
    NamedPipeServer server;
    RecordingDelegate delegate;
    ASSERT_TRUE(server.Create(pipeName_, &delegate));
    ASSERT_TRUE(delegate.WaitUntil([&] { return delegate.created >= 1; }));  // clients can open it now
    const std::wstring hold = EventName(L"hold");
    ScopedHandle holdEvent = NamedEvent(hold);
    // The peer stays connected and never reads: the server's read of its pipe
    // is pending when Close comes. (Wine buffers pipe writes without limit,
    // so writes do not stay pending here the way they do on Windows.)
    ScopedHandle peer = StartPeer(L"client " + pipeName_ + L" --send=hi --wait=" + hold);
    ASSERT_TRUE(delegate.WaitUntil([&] { return delegate.received.size() == 1; }, 30000));
    const std::string block = Pattern(4096);
    for (int i = 0; i < 8; ++i) server.Send(delegate.received[0].pipe, block.data(), 4096);

    const ULONGLONG start = ::GetTickCount64();
    server.Close();
    EXPECT_LT(::GetTickCount64() - start, 8000u);
    EXPECT_TRUE(capture_.Contains("finished Serve()"));
    // The cancelled read completed through its own routine before the
    // serving thread left; no callback reached the delegate after that.
    EXPECT_TRUE(capture_.Contains("OnReadCompletionRoutine failed, error code: 995")) << capture_.Text();
    EXPECT_FALSE(capture_.Contains("did not complete"));
    {
        std::lock_guard<std::mutex> lock(delegate.mutex);
        EXPECT_TRUE(delegate.disconnected.empty());
    }
    server.Close();
    ::SetEvent(holdEvent.Get());
    EXPECT_EQ(ExitCodeWithin(peer, 30000), 0u);

    // Closed means reusable.
    RecordingDelegate again;
    ASSERT_TRUE(server.Create(pipeName_, &again));
    ASSERT_TRUE(again.WaitUntil([&] { return again.created >= 1; }));
    NamedPipeClient client;
    RecordingDelegate clientDelegate;
    ASSERT_TRUE(client.Create(pipeName_, &clientDelegate));
    client.SendToServer("again", 5);
    EXPECT_TRUE(again.WaitUntil([&] { return again.received.size() == 1; }));
}

TEST_F(NamedPipeTest, ClientClosesItselfWhenTheServerGoes)
{
    const std::wstring ready = EventName(L"ready"), quit = EventName(L"quit");
    ScopedHandle readyEvent = NamedEvent(ready), quitEvent = NamedEvent(quit);
    ScopedHandle peer = StartPeer(L"server " + pipeName_ + L" " + ready + L" " + quit);
    ASSERT_EQ(::WaitForSingleObject(readyEvent.Get(), 20000), WAIT_OBJECT_0);

    NamedPipeClient client;
    RecordingDelegate delegate;
    ASSERT_TRUE(client.Create(pipeName_, &delegate));
    client.SendToServer("ping", 4);
    ASSERT_TRUE(delegate.WaitUntil([&] { return delegate.received.size() == 1; }));
    EXPECT_EQ(delegate.received[0].bytes, "ping");

    ::SetEvent(quitEvent.Get());
    EXPECT_EQ(ExitCodeWithin(peer, 30000), 0u);
    ASSERT_TRUE(delegate.WaitUntil([&] { return delegate.disconnected.size() == 1; }));
    EXPECT_TRUE(PavoTest::WaitUntil([&] { return !client.IsConnected(); }, 10000));
    EXPECT_TRUE(capture_.WaitFor("NamedPipeClient::OnDisconnect() PIPE : ", 1000));
}

TEST_F(NamedPipeTest, ClientDestroyedWhileClosingItselfAfterALoss)
{
    // The loss starts a closing thread; destroying the client at once must
    // neither crash nor hang, whichever of the two runs first.
    for (int round = 0; round < 5; ++round) {
        const std::wstring name = pipeName_ + L"_" + std::to_wstring(round);
        NamedPipeServer server;
        RecordingDelegate serverDelegate;
        ASSERT_TRUE(server.Create(name, &serverDelegate));
        ASSERT_TRUE(serverDelegate.WaitUntil([&] { return serverDelegate.created >= 1; }));
        auto client = std::make_unique<NamedPipeClient>();
        RecordingDelegate delegate;
        ASSERT_TRUE(client->Create(name, &delegate));
        ASSERT_TRUE(serverDelegate.WaitUntil([&] { return serverDelegate.connected.size() == 1; }));
        server.Close();
        ASSERT_TRUE(delegate.WaitUntil([&] { return delegate.disconnected.size() == 1; }));
        client.reset();
    }
}

TEST_F(NamedPipeTest, InstancesAdmitOnlySystemAndAdministrators)
{
    NamedPipeServer server;
    RecordingDelegate delegate;
    std::string dacl;
    delegate.onCreate = [&](bool success, HANDLE pipe) {
        if (!success || !dacl.empty()) return;
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        PACL list = nullptr;
        if (::GetSecurityInfo(pipe, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &list, nullptr,
                              &descriptor) != ERROR_SUCCESS) {
            dacl = "GetSecurityInfo failed";
            return;
        }
        wchar_t* sddl = nullptr;
        if (::ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1,
                                                                   DACL_SECURITY_INFORMATION, &sddl, nullptr)) {
            dacl = WideToUtf8(sddl);
            ::LocalFree(sddl);
        }
        ::LocalFree(descriptor);
    };
    ASSERT_TRUE(server.Create(pipeName_, &delegate));
    ASSERT_TRUE(delegate.WaitUntil([&] { return delegate.created >= 1; }));
    // Exactly two entries, full access each: LocalSystem and Administrators.
    EXPECT_NE(dacl.find("(A;;FA;;;SY)"), std::string::npos) << dacl;
    EXPECT_NE(dacl.find("(A;;FA;;;BA)"), std::string::npos) << dacl;
    EXPECT_EQ(std::count(dacl.begin(), dacl.end(), '('), 2) << dacl;
}

TEST_F(NamedPipeTest, ANameTakenByAnotherProcessIsNotServed)
{
    // Someone created the name first: the server must not add instances to it.
    ScopedHandle squatter(::CreateNamedPipeW(pipeName_.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE,
                                             PIPE_UNLIMITED_INSTANCES, 4096, 4096, 0, nullptr));
    ASSERT_TRUE(squatter);
    NamedPipeServer server;
    RecordingDelegate delegate;
    ASSERT_TRUE(server.Create(pipeName_, &delegate));
    ASSERT_TRUE(delegate.WaitUntil([&] { return delegate.created + delegate.createErrors.size() >= 1; }));
    if (delegate.created > 0) GTEST_SKIP() << "Wine ignores FILE_FLAG_FIRST_PIPE_INSTANCE";
    EXPECT_EQ(delegate.createErrors[0], static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(NamedPipeTest, PacketForAnEndedConnectionNeverReachesItsHandleSuccessor)
{
    NamedPipeServer server;
    RecordingDelegate delegate;
    // The first completed write holds the serving thread, so that a later
    // packet stays queued while its connection ends.
    Event senderHeld, releaseSender;
    delegate.onSend = [&](HANDLE) {
        if (senderHeld.IsSet()) return;
        senderHeld.Set();
        ::WaitForSingleObject(releaseSender.GetHandle(), 30000);
    };
    ASSERT_TRUE(server.Create(pipeName_, &delegate));
    ASSERT_TRUE(delegate.WaitUntil([&] { return delegate.created >= 1; }));
    const std::wstring leaveA = EventName(L"leaveA"), goC = EventName(L"goC"), goD = EventName(L"goD");
    ScopedHandle leaveAEvent = NamedEvent(leaveA), goCEvent = NamedEvent(goC), goDEvent = NamedEvent(goD);
    ScopedHandle a = StartPeer(L"client " + pipeName_ + L" --send=a --wait=" + leaveA);
    ASSERT_TRUE(delegate.WaitUntil([&] { return delegate.received.size() == 1; }, 30000));
    const HANDLE pipeA = delegate.received[0].pipe;
    // Started now, connecting only when told: their processes take no handle
    // of ours after A's is freed.
    ScopedHandle c = StartPeer(L"client " + pipeName_ + L" --before=" + goC + L" --wait=" + leaveA);
    ScopedHandle d = StartPeer(L"client " + pipeName_ + L" --before=" + goD + L" --expect-recv=5");
    ASSERT_TRUE(c && d);

    server.Send(pipeA, "first", 5);
    ASSERT_EQ(::WaitForSingleObject(senderHeld.GetHandle(), 10000), WAIT_OBJECT_0);
    server.Send(pipeA, "stale-data", 10);  // queued behind the held thread

    // Handle values are given lowest first: fill every free one below A's, so
    // that A's, once freed, is the one the server's next instance gets.
    std::vector<ScopedHandle> filler;
    for (;;) {
        filler.emplace_back(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        ASSERT_TRUE(filler.back());
        if (reinterpret_cast<UINT_PTR>(filler.back().Get()) > reinterpret_cast<UINT_PTR>(pipeA)) break;
    }
    // A leaves while its packet is queued; the loss is seen once the thread
    // is free again.
    ::SetEvent(leaveAEvent.Get());
    EXPECT_EQ(ExitCodeWithin(a, 30000), 0u);
    releaseSender.Set();
    ASSERT_TRUE(delegate.WaitUntil([&] { return delegate.disconnected.size() == 1; }));
    ::SetEvent(goCEvent.Get());  // takes the waiting instance; the next one is made
    ASSERT_TRUE(delegate.WaitUntil([&] { return delegate.connected.size() == 2; }, 30000));
    ::SetEvent(goDEvent.Get());
    ASSERT_TRUE(delegate.WaitUntil([&] { return delegate.connected.size() == 3; }, 30000));
    const bool reused = delegate.connected[2] == pipeA;
    if (!reused) {
        server.Close();
        GTEST_SKIP() << "the system gave the new pipe another handle value";
    }
    // D hears only what was sent to it, not the packet of A's connection.
    server.Send(pipeA, "fresh", 5);
    EXPECT_EQ(ExitCodeWithin(d, 30000), 0u) << "exit 4: the stale packet reached the new pipe";
    server.Close();
    EXPECT_EQ(ExitCodeWithin(c, 30000), 0u);
}

TEST_F(NamedPipeTest, LossOfAnOldConnectionNeverClosesTheNewOne)
{
    NamedPipeServer server;
    RecordingDelegate serverDelegate;
    ASSERT_TRUE(server.Create(pipeName_, &serverDelegate));
    ASSERT_TRUE(serverDelegate.WaitUntil([&] { return serverDelegate.created >= 1; }));

    NamedPipeClient client;
    RecordingDelegate delegate;
    // The loss is reported while the client is already connecting again.
    Event lost, reconnecting;
    delegate.onDisconnect = [&](HANDLE) {
        lost.Set();
        ::WaitForSingleObject(reconnecting.GetHandle(), 10000);
    };
    ASSERT_TRUE(client.Create(pipeName_, &delegate));
    ASSERT_TRUE(serverDelegate.WaitUntil([&] { return serverDelegate.connected.size() == 1; }));
    server.Close();
    ASSERT_EQ(::WaitForSingleObject(lost.GetHandle(), 10000), WAIT_OBJECT_0);
    // The first server offered a second instance as soon as the client was
    // in: wait for an instance of the new server, not for a count of two.
    int createdBefore = 0;
    {
        std::lock_guard<std::mutex> lock(serverDelegate.mutex);
        createdBefore = serverDelegate.created;
    }
    ASSERT_TRUE(server.Create(pipeName_, &serverDelegate));
    ASSERT_TRUE(serverDelegate.WaitUntil([&] { return serverDelegate.created > createdBefore; }));
    reconnecting.Set();
    ASSERT_TRUE(client.Create(pipeName_, &delegate));
    // The closing thread of the lost connection must leave this one open.
    EXPECT_FALSE(PavoTest::WaitUntil([&] { return !client.IsConnected(); }, 2000));
    client.SendToServer("still", 5);
    EXPECT_TRUE(serverDelegate.WaitUntil([&] { return serverDelegate.received.size() == 1; }));
}

TEST_F(NamedPipeTest, OneThreadOfTheOwnersServesSeveralClientsAtOnce)
{
    NamedPipeServer server;
    RecordingDelegate delegate;
    std::set<DWORD> threads;
    auto note = [&] {
        std::lock_guard<std::mutex> lock(delegate.mutex);
        threads.insert(::GetCurrentThreadId());
    };
    delegate.onCreate = [&](bool, HANDLE) { note(); };
    delegate.onConnect = [&](HANDLE) { note(); };
    delegate.onSend = [&](HANDLE) { note(); };
    delegate.onDisconnect = [&](HANDLE) { note(); };
    delegate.onRecv = [&](HANDLE pipe, const std::string& bytes) {
        note();
        server.Send(pipe, bytes.data(), static_cast<DWORD>(bytes.size()));
    };
    // The owner's loop: its own stop event, then the server's handles.
    Event stop;
    DWORD owner = 0;
    std::thread ownerThread([&] {
        owner = ::GetCurrentThreadId();
        if (!server.Open(pipeName_, &delegate)) return;
        HANDLE waits[1 + NamedPipeServer::kWaitHandleCount] = {stop.GetHandle()};
        HANDLE serverHandles[NamedPipeServer::kWaitHandleCount] = {};
        server.GetWaitHandles(serverHandles);
        std::copy(std::begin(serverHandles), std::end(serverHandles), waits + 1);
        for (;;) {
            const DWORD result = ::WaitForMultipleObjectsEx(3, waits, FALSE, 60000, TRUE);
            if (result == WAIT_OBJECT_0 + 1 || result == WAIT_OBJECT_0 + 2) {
                server.Dispatch(waits[result - WAIT_OBJECT_0]);
            } else if (result != WAIT_IO_COMPLETION) {
                break;
            }
        }
        server.Close();
    });
    ASSERT_TRUE(delegate.WaitUntil([&] { return delegate.created >= 1; }));
    EXPECT_THROW(server.Close(), std::system_error) << "only the serving thread may close it";

    // Four clients connected at the same time, each waiting for its own echo.
    const std::wstring leave = EventName(L"leave");
    ScopedHandle leaveEvent = NamedEvent(leave);
    std::vector<ScopedHandle> clients;
    for (int i = 0; i < 4; ++i)
        clients.push_back(StartPeer(L"client " + pipeName_ + L" --send=client-" + std::to_wstring(i) +
                                    L" --expect-recv=8 --wait=" + leave));
    EXPECT_TRUE(delegate.WaitUntil([&] { return delegate.sentBytes.size() == 4; }, 30000));
    {
        std::lock_guard<std::mutex> lock(delegate.mutex);
        EXPECT_EQ(delegate.connected.size(), 4u);
        EXPECT_TRUE(delegate.disconnected.empty());
    }
    ::SetEvent(leaveEvent.Get());
    for (const ScopedHandle& client : clients) EXPECT_EQ(ExitCodeWithin(client, 30000), 0u);
    EXPECT_TRUE(delegate.WaitUntil([&] { return delegate.disconnected.size() == 4; }));

    stop.Set();
    ownerThread.join();
    std::lock_guard<std::mutex> lock(delegate.mutex);
    EXPECT_EQ(threads, std::set<DWORD>{owner}) << "every callback on the owner's thread";
    ::SetLastError(0xdeadbeef);
    EXPECT_FALSE(::WaitNamedPipeW(pipeName_.c_str(), 1));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND)) << "closed by its thread";
}

}  // namespace
