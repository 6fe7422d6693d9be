#include <gtest/gtest.h>

#include <windows.h>

#include <stdexcept>
#include <string>
#include <thread>

#include "Lumen/Event.h"
#include "Lumen/PipeProtocol.h"
#include "Lumen/UniqueHandle.h"
#include "ServiceController.h"
#include "TestSupport.h"

using Lumen::PipeProtocol::BuildAgentIdentify;
using Lumen::ScopedHandle;

namespace {

// The controller's pipe callbacks called as the pipe server's threads call
// them; the handle values are only keys here.
HANDLE PipeKey(int n)
{
    return reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x1000 + 4 * n));
}

void Receive(ServiceController& controller, HANDLE pipe, const std::string& bytes)
{
    controller.OnRecv(pipe, reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
}

// A plain client of the controller's pipe, as an agent would be.
ScopedHandle ConnectToController()
{
    ScopedHandle pipe;
    PavoTest::WaitUntil(
        [&] {
            pipe.Reset(::CreateFileW(ServiceController::kPipeName, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
            return pipe.IsValid();
        },
        10000);
    return pipe;
}

bool WriteAll(const ScopedHandle& pipe, const std::string& bytes)
{
    DWORD written = 0;
    return ::WriteFile(pipe.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

// Fails once its preparation is done, as an unexpected error would.
class FailingController : public ServiceController {
protected:
    void OnPrepareWorker() override
    {
        ServiceController::OnPrepareWorker();
        throw std::runtime_error("preparation failed");
    }
};

}  // namespace

TEST(ServiceControllerPipeTest, EveryMessageOfAReadCountsAndAPartialOneWaitsForItsRest)
{
    ServiceController controller;  // never started: no pipe server, no timer
    const HANDLE pipe = PipeKey(1);
    controller.OnConnect(true, pipe);

    // A bad message and an identification in one read: the second one counts.
    Receive(controller, pipe, "not json\n" + BuildAgentIdentify(7, 70));
    EXPECT_TRUE(controller.IsAgentConnected(7));

    // Split over reads: nothing until its line feed is there.
    const std::string next = BuildAgentIdentify(8, 80);
    Receive(controller, pipe, next.substr(0, 10));
    EXPECT_FALSE(controller.IsAgentConnected(8));
    Receive(controller, pipe, next.substr(10));
    EXPECT_TRUE(controller.IsAgentConnected(8));
    EXPECT_FALSE(controller.IsAgentConnected(7));

    // Too long for a message: dropped whole, the one behind it counts.
    Receive(controller, pipe, std::string(5000, ' ') + "\n" + BuildAgentIdentify(9, 90));
    EXPECT_TRUE(controller.IsAgentConnected(9));

    // Two pipes, each with its own partial message.
    const HANDLE other = PipeKey(2);
    controller.OnConnect(true, other);
    const std::string a = BuildAgentIdentify(11, 1), b = BuildAgentIdentify(12, 2);
    Receive(controller, pipe, a.substr(0, 5));
    Receive(controller, other, b.substr(0, 5));
    Receive(controller, other, b.substr(5));
    Receive(controller, pipe, a.substr(5));
    EXPECT_TRUE(controller.IsAgentConnected(11));
    EXPECT_TRUE(controller.IsAgentConnected(12));
}

TEST(ServiceControllerPipeTest, AMessageAfterThePipesLossAddsNoAgent)
{
    ServiceController controller;
    const HANDLE pipe = PipeKey(3);
    controller.OnConnect(true, pipe);
    // The loss handled before an identification that was read earlier
    // (a write that failed is a loss too).
    controller.OnDisconnect(pipe);
    Receive(controller, pipe, BuildAgentIdentify(5, 50));
    EXPECT_FALSE(controller.IsAgentConnected(5)) << "the session would count as served and never get an agent";

    // A new connection on the same handle value starts unidentified.
    controller.OnConnect(true, pipe);
    Receive(controller, pipe, BuildAgentIdentify(6, 60));
    controller.OnDisconnect(pipe);
    controller.OnConnect(true, pipe);
    EXPECT_FALSE(controller.IsAgentConnected(6));
}

TEST(ServiceControllerWorkerTest, AWorkerThatFailsStillFinishesAndSaysSo)
{
    FailingController controller;
    Lumen::Event failed;
    DWORD code = NO_ERROR;
    controller.SetWorkerFailureHandler([&](DWORD error) {
        code = error;
        failed.Set();
    });
    std::thread worker([&] { controller.Run(); });
    const bool reported = ::WaitForSingleObject(failed.GetHandle(), 30000) == WAIT_OBJECT_0;
    worker.join();
    EXPECT_TRUE(reported) << "the service would go on reporting RUNNING";
    EXPECT_NE(code, static_cast<DWORD>(NO_ERROR));
    // The finish step ran: the pipe server is closed.
    ::SetLastError(0xdeadbeef);
    HANDLE pipe = ::CreateFileW(ServiceController::kPipeName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    EXPECT_EQ(pipe, INVALID_HANDLE_VALUE);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    if (pipe != INVALID_HANDLE_VALUE) ::CloseHandle(pipe);
}

TEST(ServiceControllerWorkerTest, TheWorkerServesSeveralAgentsAtOnceAndTellsThemAllAtStop)
{
    // The session list is Wine's own (empty): no agent is started.
    ServiceController controller;
    std::thread worker([&] { controller.Run(); });
    ScopedHandle a = ConnectToController();
    ASSERT_TRUE(a);
    ScopedHandle b = ConnectToController();
    ASSERT_TRUE(b);
    // Both connected before either speaks; the later one first.
    ASSERT_TRUE(WriteAll(b, BuildAgentIdentify(22, 2200)));
    ASSERT_TRUE(WriteAll(a, BuildAgentIdentify(21, 2100)));
    EXPECT_TRUE(PavoTest::WaitUntil(
        [&] { return controller.IsAgentConnected(21) && controller.IsAgentConnected(22); }, 10000));

    controller.Stop();  // returns once Run has
    worker.join();
    // Each agent got the exit message before its pipe was closed.
    for (const ScopedHandle* pipe : {&a, &b}) {
        char buffer[64] = {};
        DWORD read = 0;
        ASSERT_TRUE(::ReadFile(pipe->Get(), buffer, sizeof(buffer), &read, nullptr));
        EXPECT_EQ(std::string(buffer, read), Lumen::PipeProtocol::BuildExitAgent());
        ::SetLastError(0xdeadbeef);
        EXPECT_FALSE(::ReadFile(pipe->Get(), buffer, sizeof(buffer), &read, nullptr));
        EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_BROKEN_PIPE));
    }
    EXPECT_FALSE(controller.IsAgentConnected(21));
}

TEST(ServiceControllerWorkerTest, AStopBeforeTheWorkerBeginsWaitsForItToEnd)
{
    // The service announces the worker when it starts and runs it a moment
    // later; a stop may come in between.
    ServiceController controller;
    controller.Start();
    Lumen::Event stopped;
    std::thread stopper([&] {
        controller.Stop();
        stopped.Set();
    });
    EXPECT_EQ(::WaitForSingleObject(stopped.GetHandle(), 300), static_cast<DWORD>(WAIT_TIMEOUT))
        << "Stop returned while the worker was still to come";
    controller.Run();  // sees the stop at once
    EXPECT_EQ(::WaitForSingleObject(stopped.GetHandle(), 30000), static_cast<DWORD>(WAIT_OBJECT_0));
    stopper.join();
    // The pipe server was opened and closed again.
    EXPECT_FALSE(::WaitNamedPipeW(ServiceController::kPipeName, 1));
}
