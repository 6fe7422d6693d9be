#include <gtest/gtest.h>

#include <windows.h>

#include <stdexcept>
#include <string>
#include <thread>

#include "Lumen/Event.h"
#include "Lumen/PipeProtocol.h"
#include "ServiceController.h"

using Lumen::PipeProtocol::BuildAgentIdentify;

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
    // The loss, noticed on the sender thread, handled before the receiver
    // thread gets to the identification it has read.
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
