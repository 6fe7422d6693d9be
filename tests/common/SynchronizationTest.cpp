#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>
#include <vector>

#include "Lumen/Criticalsection.h"
#include "Lumen/Event.h"
#include "Lumen/ScopedLock.h"
#include "Lumen/SynchronizedQueue.h"

using namespace Lumen;

TEST(EventTest, ManualResetSemantics)
{
    Event event;
    ASSERT_NE(event.GetHandle(), nullptr);
    EXPECT_FALSE(event.IsSet());
    event.Set();
    EXPECT_TRUE(event.IsSet());
    EXPECT_TRUE(event.IsSet());  // checking does not consume it
    EXPECT_EQ(::WaitForSingleObject(event.GetHandle(), 0), WAIT_OBJECT_0);
    event.Reset();
    EXPECT_FALSE(event.IsSet());
}

TEST(CriticalsectionTest, OwnerMayLockAgainAndExceptionsRelease)
{
    Criticalsection lock;
    {
        ScopedLock outer(&lock);
        ScopedLock inner(&lock);  // recursive by the owner: no deadlock
    }
    try {
        ScopedLock locked(&lock);
        throw std::runtime_error("leaves the locked region");
    } catch (const std::runtime_error&) {
    }
    // Another thread can take the lock now.
    Event taken;
    std::thread other([&] {
        ScopedLock locked(&lock);
        taken.Set();
    });
    EXPECT_EQ(::WaitForSingleObject(taken.GetHandle(), 5000), WAIT_OBJECT_0);
    other.join();
}

TEST(CriticalsectionTest, ExcludesOtherThreadsWhileHeld)
{
    Criticalsection lock;
    Event taken;
    lock.Lock();
    std::thread other([&] {
        ScopedLock locked(&lock);
        taken.Set();
    });
    EXPECT_EQ(::WaitForSingleObject(taken.GetHandle(), 200), static_cast<DWORD>(WAIT_TIMEOUT));
    lock.Unlock();
    EXPECT_EQ(::WaitForSingleObject(taken.GetHandle(), 5000), WAIT_OBJECT_0);
    other.join();
}

TEST(SynchronizedQueueTest, FirstInFirstOutAndClear)
{
    SynchronizedQueue<int> queue;
    queue.Clear();  // empty: nothing happens
    EXPECT_EQ(queue.Size(), 0u);
    int out = -1;
    EXPECT_FALSE(queue.Pop(out));
    EXPECT_EQ(out, -1);
    for (int i = 1; i <= 3; ++i) queue.Push(i);
    EXPECT_EQ(queue.Size(), 3u);
    ASSERT_TRUE(queue.Pop(out));
    EXPECT_EQ(out, 1);
    ASSERT_TRUE(queue.Pop(out));
    EXPECT_EQ(out, 2);
    queue.Clear();
    EXPECT_EQ(queue.Size(), 0u);
}

TEST(SynchronizedQueueTest, ProducersAndOneConsumerLoseNothing)
{
    // The consumer pattern every owner follows: check the size, reset the
    // owner's event when empty, wait, pop.
    SynchronizedQueue<std::pair<int, int>> queue;
    Event items;
    constexpr int kProducers = 4;
    constexpr int kEach = 2000;
    std::vector<std::thread> producers;
    for (int p = 0; p < kProducers; ++p) {
        producers.emplace_back([&, p] {
            for (int i = 0; i < kEach; ++i) {
                queue.Push({p, i});
                items.Set();
            }
        });
    }
    std::vector<int> next(kProducers, 0);
    int received = 0;
    while (received < kProducers * kEach) {
        if (queue.Size() == 0) items.Reset();
        if (queue.Size() == 0 && ::WaitForSingleObject(items.GetHandle(), 5000) != WAIT_OBJECT_0) break;
        std::pair<int, int> item;
        if (!queue.Pop(item)) continue;
        ASSERT_EQ(item.second, next[item.first]) << "producer " << item.first << " out of order";
        ++next[item.first];
        ++received;
    }
    for (auto& t : producers) t.join();
    EXPECT_EQ(received, kProducers * kEach);
}
