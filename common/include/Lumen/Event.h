#pragma once

#include <windows.h>

namespace Lumen {

// An unnamed manual-reset event, created non-signalled.
class Event {
public:
    Event();
    virtual ~Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Reset();
    bool IsSet() const;
    // For waits on several objects; owned by the Event.
    HANDLE GetHandle() const { return handle_; }

private:
    HANDLE handle_ = nullptr;
    bool created_ = false;
};

}  // namespace Lumen
