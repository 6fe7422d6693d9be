// The worker's progress on its way to the user-interface thread: the rules of
// the hand-over, and a real download feeding them.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "HttpClient.h"
#include "ProgressCoalescer.h"
#include "RawHttpServer.h"
#include "TestSupport.h"

namespace {

InstallProgress Downloading(uint64_t received, uint64_t total = 1000)
{
    InstallProgress progress;
    progress.productCode = L"PAVO_GUARD";
    progress.step = InstallProgress::Step::Downloading;
    progress.received = received;
    progress.total = total;
    progress.hasTotal = true;
    return progress;
}

}  // namespace

TEST(ProgressCoalescerTest, WakesAtMostTenTimesASecondAndOnlyWithNothingPending)
{
    ProgressCoalescer coalescer;
    InstallProgress taken;
    EXPECT_FALSE(coalescer.Report(Downloading(1), 0)) << "no command has begun";
    coalescer.Begin();
    EXPECT_TRUE(coalescer.Report(Downloading(10), 1000));
    // Pending: later reports only replace the state the wake-up will find.
    EXPECT_FALSE(coalescer.Report(Downloading(20), 1020));
    EXPECT_FALSE(coalescer.Report(Downloading(30), 1040));
    ASSERT_TRUE(coalescer.Take(&taken));
    EXPECT_EQ(taken.received, 30u);
    EXPECT_FALSE(coalescer.Take(&taken)) << "one state per wake-up";
    // Taken, but the last wake-up is too recent for mere bytes.
    EXPECT_FALSE(coalescer.Report(Downloading(40), 1060));
    EXPECT_TRUE(coalescer.Report(Downloading(50), 1100));
    ASSERT_TRUE(coalescer.Take(&taken));
    EXPECT_EQ(taken.received, 50u);
    // The last byte, a new step and a new product are not held back.
    EXPECT_TRUE(coalescer.Report(Downloading(1000), 1110));
    ASSERT_TRUE(coalescer.Take(&taken));
    InstallProgress installing = taken;
    installing.step = InstallProgress::Step::Installing;
    EXPECT_TRUE(coalescer.Report(installing, 1120));
    ASSERT_TRUE(coalescer.Take(&taken));
    EXPECT_EQ(taken.step, InstallProgress::Step::Installing);
    InstallProgress next = Downloading(0);
    next.productCode = L"PAVO_SYNC";
    next.index = 2;
    EXPECT_TRUE(coalescer.Report(next, 1130));
    // The tick count wraps after 49 days: the interval still counts across it.
    coalescer.Take(&taken);
    EXPECT_TRUE(coalescer.Report(Downloading(1), 0xFFFFFFF0u));
    coalescer.Take(&taken);
    EXPECT_FALSE(coalescer.Report(Downloading(2), 0x10u));
    EXPECT_TRUE(coalescer.Report(Downloading(3), 0x60u));
}

TEST(ProgressCoalescerTest, NothingShowsAfterTheCommandEnded)
{
    ProgressCoalescer coalescer;
    InstallProgress taken;
    coalescer.Begin();
    EXPECT_TRUE(coalescer.Report(Downloading(10), 0));
    coalescer.End();
    // The wake-up posted before the end finds nothing, and late reports are dropped.
    EXPECT_FALSE(coalescer.Take(&taken));
    EXPECT_FALSE(coalescer.Report(Downloading(20), 500));
    EXPECT_FALSE(coalescer.Take(&taken));
    // The next command starts clean: its first report wakes at once.
    coalescer.Begin();
    EXPECT_FALSE(coalescer.Take(&taken));
    EXPECT_TRUE(coalescer.Report(Downloading(1), 510));
    ASSERT_TRUE(coalescer.Take(&taken));
    EXPECT_EQ(taken.received, 1u);
}

// A fast 50 MB download reports thousands of pieces; the user-interface
// thread, even one that takes every state at once, is woken about ten times a
// second, sees the bytes rise, and sees the last one.
TEST(ProgressCoalescerTest, FastDownloadMakesABoundedNumberOfWakeUps)
{
    constexpr size_t kSize = 50 * 1024 * 1024;
    RawHttpServer server("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kSize) +
                         "\r\nConnection: close\r\n\r\n" + std::string(kSize, 'p'));
    const std::wstring folder = PavoTest::MakeTempDirectory(L"fast");
    ProgressCoalescer coalescer;
    coalescer.Begin();
    int reports = 0;
    int wakeUps = 0;
    uint64_t lastShown = 0;
    bool rising = true;
    Lumen::HttpClient client;
    client.SetUrl(L"http://127.0.0.1:" + std::to_wstring(server.Port()) + L"/big.bin");
    client.SetDownloadPath(folder + L"big.bin");
    client.SetProgressCallback([&](uint64_t received, uint64_t total, bool hasTotal) {
        ++reports;
        InstallProgress progress = Downloading(received, total);
        progress.hasTotal = hasTotal;
        if (!coalescer.Report(progress, ::GetTickCount())) return;
        ++wakeUps;
        InstallProgress taken;
        if (!coalescer.Take(&taken)) return;
        rising = rising && taken.received >= lastShown;
        lastShown = taken.received;
    });
    const DWORD started = ::GetTickCount();
    ASSERT_TRUE(client.Request(L"GET")) << client.GetLastErrorCode();
    const DWORD elapsed = ::GetTickCount() - started;
    coalescer.End();
    EXPECT_GT(reports, 1000) << "pieces of at most 10,240 bytes";
    // One per 100 ms, plus the first state and the last byte.
    EXPECT_LE(wakeUps, static_cast<int>(elapsed / ProgressCoalescer::kMinimumIntervalMs) + 3) << elapsed << " ms";
    EXPECT_TRUE(rising);
    EXPECT_EQ(lastShown, kSize);
    ::DeleteFileW((folder + L"big.bin").c_str());
}
