#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "Lumen/Event.h"
#include "Lumen/MultimediaTimer.h"

using namespace Lumen;

namespace {

class CountingListener : public IMultimediaTimerListener {
public:
    void OnTimer(MultimediaTimer* timer) override
    {
        lastTimer = timer;
        if (++calls >= target) reached.Set();
        ticked.Set();
    }
    std::atomic<int> calls{0};
    std::atomic<int> target{1};
    std::atomic<MultimediaTimer*> lastTimer{nullptr};
    Event reached;
    Event ticked;
};

}  // namespace

TEST(MultimediaTimerTest, TicksReachListenersUntilStopped)
{
    MultimediaTimer timer;
    CountingListener listener;
    listener.target = 3;
    timer.AddListener(&listener);
    EXPECT_FALSE(timer.IsRunning());
    ASSERT_TRUE(timer.Start(20));
    EXPECT_TRUE(timer.IsRunning());
    ASSERT_EQ(::WaitForSingleObject(listener.reached.GetHandle(), 5000), WAIT_OBJECT_0);
    EXPECT_EQ(listener.lastTimer.load(), &timer);

    timer.Stop();
    EXPECT_FALSE(timer.IsRunning());
    listener.ticked.Reset();
    EXPECT_EQ(::WaitForSingleObject(listener.ticked.GetHandle(), 300), static_cast<DWORD>(WAIT_TIMEOUT))
        << "a listener was called after Stop";
    timer.Stop();  // stopping a stopped timer does nothing
    EXPECT_FALSE(timer.IsRunning());
}

TEST(MultimediaTimerTest, SecondStartMakesNoSecondTimer)
{
    MultimediaTimer timer;
    CountingListener listener;
    timer.AddListener(&listener);
    ASSERT_TRUE(timer.Start(20));
    EXPECT_TRUE(timer.Start(1000));  // running already: true, nothing new
    ASSERT_EQ(::WaitForSingleObject(listener.reached.GetHandle(), 5000), WAIT_OBJECT_0);
    // One Stop must end every tick; a second system timer would keep ticking.
    timer.Stop();
    listener.ticked.Reset();
    EXPECT_EQ(::WaitForSingleObject(listener.ticked.GetHandle(), 300), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST(MultimediaTimerTest, ListenerAddedTwiceIsCalledTwicePerTick)
{
    // The first listener numbers the ticks; the second, registered twice,
    // records the number of the tick each call belongs to.
    struct TickCounter : IMultimediaTimerListener {
        void OnTimer(MultimediaTimer*) override { ++tick; }
        std::atomic<int> tick{0};
    } counter;
    struct Recorder : IMultimediaTimerListener {
        explicit Recorder(TickCounter& c) : counter(c) {}
        void OnTimer(MultimediaTimer*) override
        {
            std::lock_guard<std::mutex> lock(mutex);
            seen.push_back(counter.tick.load());
            if (seen.size() >= 8) enough.Set();
        }
        TickCounter& counter;
        std::mutex mutex;
        std::vector<int> seen;
        Event enough;
    } recorder(counter);

    MultimediaTimer timer;
    timer.AddListener(&counter);
    timer.AddListener(&recorder);
    timer.AddListener(&recorder);
    ASSERT_TRUE(timer.Start(20));
    ASSERT_EQ(::WaitForSingleObject(recorder.enough.GetHandle(), 5000), WAIT_OBJECT_0);
    timer.Stop();
    std::lock_guard<std::mutex> lock(recorder.mutex);
    ASSERT_GE(recorder.seen.size(), 8u);
    for (size_t i = 0; i + 1 < 8; i += 2) {
        EXPECT_EQ(recorder.seen[i], recorder.seen[i + 1]) << "call " << i;
        EXPECT_EQ(recorder.seen[i], static_cast<int>(i / 2) + 1);
    }
}

TEST(MultimediaTimerTest, RestartAfterStop)
{
    MultimediaTimer timer;
    CountingListener listener;
    timer.AddListener(&listener);
    ASSERT_TRUE(timer.Start(20));
    timer.Stop();
    listener.reached.Reset();
    listener.calls = 0;
    ASSERT_TRUE(timer.Start(20));
    EXPECT_EQ(::WaitForSingleObject(listener.reached.GetHandle(), 5000), WAIT_OBJECT_0);
    timer.Stop();
}

TEST(MultimediaTimerTest, DestroyingARunningTimerStopsIt)
{
    // Wine serves at most 16 multimedia timers at a time: a destructor that
    // left its timer running would use them up (and leave ticks aimed at
    // freed memory, on Windows as well).
    CountingListener listener;
    for (int i = 0; i < 20; ++i) {
        auto timer = std::make_unique<MultimediaTimer>();
        timer->AddListener(&listener);
        ASSERT_TRUE(timer->Start(1)) << "timer " << i;
        listener.ticked.Reset();
        ASSERT_EQ(::WaitForSingleObject(listener.ticked.GetHandle(), 5000), WAIT_OBJECT_0);
    }
    const int calls = listener.calls;
    MultimediaTimer last;
    ASSERT_TRUE(last.Start(60000)) << "a system timer is still left to start";
    EXPECT_EQ(listener.calls, calls) << "no tick after its timer was destroyed";
}
