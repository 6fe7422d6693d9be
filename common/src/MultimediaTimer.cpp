#include "Lumen/MultimediaTimer.h"

#include <mmsystem.h>

#include <algorithm>

#include "Lumen/DebugOutput.h"
#include "Lumen/ScopedLock.h"

namespace Lumen {

MultimediaTimer::~MultimediaTimer() = default;

void MultimediaTimer::AddListener(IMultimediaTimerListener* listener)
{
    ScopedLock lock(&listenerLock_);
    listeners_.push_back(listener);
}

bool MultimediaTimer::Start(UINT periodMs)
{
    if (running_.IsSet()) return true;
    TIMECAPS caps = {};
    UINT resolution = 0;
    if (::timeGetDevCaps(&caps, sizeof(caps)) == MMSYSERR_NOERROR)
        resolution = std::min(caps.wPeriodMin, caps.wPeriodMax);
    // Set before the timer exists, so that the first tick is never dropped;
    // cleared again if the timer cannot be made.
    running_.Set();
    const UINT id = ::timeSetEvent(periodMs, resolution, &MultimediaTimer::TimerProc,
                                   reinterpret_cast<DWORD_PTR>(this), TIME_PERIODIC);
    if (id == 0) {
        running_.Reset();
        OutputDebugMessage(L"Failed to timeSetEvent(), period : %d", static_cast<int>(periodMs));
        return false;
    }
    timerId_ = id;
    return running_.IsSet();
}

void MultimediaTimer::Stop()
{
    if (!running_.IsSet()) return;
    running_.Reset();
    ::timeKillEvent(timerId_);
    timerId_ = 0;
    // A pass that began before the reset finishes before Stop returns; any
    // later one sees the flag cleared under the lock. So no listener runs
    // after Stop, even where the system delivers a tick late.
    ScopedLock barrier(&listenerLock_);
}

void CALLBACK MultimediaTimer::TimerProc(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR)
{
    auto* timer = reinterpret_cast<MultimediaTimer*>(user);
    if (timer == nullptr) return;
    timer->Fire();
}

void MultimediaTimer::Fire()
{
    if (!running_.IsSet()) return;
    // No exception may leave the system's callback.
    try {
        ScopedLock lock(&listenerLock_);
        if (!running_.IsSet()) return;
        for (IMultimediaTimerListener* listener : listeners_) listener->OnTimer(this);
    } catch (...) {
        OutputDebugMessage(L"MultimediaTimer : a listener raised an exception");
    }
}

}  // namespace Lumen
