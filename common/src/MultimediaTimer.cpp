#include "Lumen/MultimediaTimer.h"

#include <mmsystem.h>

#include <algorithm>

#include "Lumen/DebugOutput.h"
#include "Lumen/ScopedLock.h"

namespace Lumen {

MultimediaTimer::~MultimediaTimer()
{
    Stop();
}

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
    // Held until the id is stored: an early first tick waits for it instead
    // of being taken for a tick of an earlier timer.
    ScopedLock lock(&listenerLock_);
    running_.Set();
    // TIME_KILL_SYNCHRONOUS: once timeKillEvent returns, no tick of this timer
    // runs any more, so Stop can be a lifetime guarantee.
    const UINT id = ::timeSetEvent(periodMs, resolution, &MultimediaTimer::TimerProc,
                                   reinterpret_cast<DWORD_PTR>(this),
                                   TIME_PERIODIC | TIME_CALLBACK_FUNCTION | TIME_KILL_SYNCHRONOUS);
    if (id == 0) {
        running_.Reset();
        OutputDebugMessage(L"Failed to timeSetEvent(), period : %d", static_cast<int>(periodMs));
        return false;
    }
    timerId_ = id;
    return true;
}

void MultimediaTimer::Stop()
{
    if (!running_.IsSet()) return;
    running_.Reset();
    const UINT id = timerId_.exchange(0);
    // Waits for a tick in progress (TIME_KILL_SYNCHRONOUS).
    if (id != 0) ::timeKillEvent(id);
    // A pass that began before the reset finishes before Stop returns; any
    // later one sees the flag cleared under the lock.
    ScopedLock barrier(&listenerLock_);
}

void CALLBACK MultimediaTimer::TimerProc(UINT id, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR)
{
    auto* timer = reinterpret_cast<MultimediaTimer*>(user);
    if (timer == nullptr) return;
    timer->Fire(id);
}

void MultimediaTimer::Fire(UINT id)
{
    if (!running_.IsSet()) return;
    // No exception may leave the system's callback.
    try {
        ScopedLock lock(&listenerLock_);
        if (!running_.IsSet() || timerId_ != id) return;
        for (IMultimediaTimerListener* listener : listeners_) listener->OnTimer(this);
    } catch (...) {
        OutputDebugMessage(L"MultimediaTimer : a listener raised an exception");
    }
}

}  // namespace Lumen
