#pragma once

#include <deque>

#include "Lumen/Criticalsection.h"
#include "Lumen/Event.h"
#include "Lumen/ScopedLock.h"

namespace Lumen {

// A locked first-in first-out queue. It has no event of its own: the owner
// sets its own event after each Push. Each queue has exactly one consumer, so
// a Size check followed by Pop is safe.
template <typename T>
class SynchronizedQueue {
public:
    SynchronizedQueue() = default;
    virtual ~SynchronizedQueue() = default;
    SynchronizedQueue(const SynchronizedQueue&) = delete;
    SynchronizedQueue& operator=(const SynchronizedQueue&) = delete;

    void Push(const T& element)
    {
        ScopedLock lock(&lock_);
        queue_.push_back(element);
    }

    // The caller has seen Size() > 0. Returns false, leaving `out` alone, if
    // the queue is empty after all.
    bool Pop(T& out)
    {
        ScopedLock lock(&lock_);
        if (queue_.empty()) return false;
        out = queue_.front();
        queue_.pop_front();
        return true;
    }

    // Takes out the oldest element that satisfies `match`; false, leaving
    // `out` alone, when none does.
    template <typename Predicate>
    bool TakeFirst(Predicate match, T& out)
    {
        ScopedLock lock(&lock_);
        for (auto it = queue_.begin(); it != queue_.end(); ++it) {
            if (!match(*it)) continue;
            out = *it;
            queue_.erase(it);
            return true;
        }
        return false;
    }

    size_t Size()
    {
        ScopedLock lock(&lock_);
        return queue_.size();
    }

    void Clear()
    {
        ScopedLock lock(&lock_);
        while (!queue_.empty()) queue_.pop_front();
    }

private:
    std::deque<T> queue_;
    Criticalsection lock_;
};

// The consumer's step before it waits: resets the owner's event only while
// the queue is empty. The second look closes the window in which a producer
// pushes and sets between Size() and Reset(), which would otherwise leave an
// element waiting for the next push.
template <typename T>
void ResetWhenEmpty(SynchronizedQueue<T>& queue, Event& event)
{
    if (queue.Size() != 0) return;
    event.Reset();
    if (queue.Size() != 0) event.Set();
}

}  // namespace Lumen
