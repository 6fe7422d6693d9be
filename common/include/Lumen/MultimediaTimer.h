#pragma once

#include <windows.h>

#include <atomic>
#include <vector>

#include "Lumen/Criticalsection.h"
#include "Lumen/Event.h"
#include "Lumen/IMultimediaTimerListener.h"

namespace Lumen {

// A periodic timer on the Windows multimedia timer that calls its listeners,
// in registration order, on every tick. The destructor stops a running timer.
class MultimediaTimer {
public:
    MultimediaTimer() = default;
    virtual ~MultimediaTimer();
    MultimediaTimer(const MultimediaTimer&) = delete;
    MultimediaTimer& operator=(const MultimediaTimer&) = delete;

    // No duplicate check and no removal: a listener stays for the timer's life.
    void AddListener(IMultimediaTimerListener* listener);

    // Starts a periodic timer unless one runs already; returns whether the
    // timer runs afterwards. A running timer keeps its period.
    bool Start(UINT periodMs);

    // Stops the timer if it runs. When it returns no tick of it runs or will
    // run, so the timer may be destroyed at once. Not from a listener (the
    // timer thread), and not while holding a lock that a listener takes.
    void Stop();

    bool IsRunning() const { return running_.IsSet(); }

private:
    static void CALLBACK TimerProc(UINT id, UINT msg, DWORD_PTR user, DWORD_PTR reserved1,
                                   DWORD_PTR reserved2);
    void Fire(UINT id);

    Event running_;
    // Ticks carry their timer's id: one of an earlier Start is ignored.
    std::atomic<UINT> timerId_{0};
    Criticalsection listenerLock_;
    std::vector<IMultimediaTimerListener*> listeners_;
};

}  // namespace Lumen
