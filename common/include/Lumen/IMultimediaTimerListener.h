#pragma once

namespace Lumen {

class MultimediaTimer;

// Called on the multimedia timer's own thread while the timer's listener lock
// is held: do little, and never call into the timer from here.
class IMultimediaTimerListener {
public:
    virtual void OnTimer(MultimediaTimer* timer) = 0;

protected:
    ~IMultimediaTimerListener() = default;
};

}  // namespace Lumen
