#pragma once

// Told by the SessionManager when the server session is lost (a failed
// heartbeat or token renewal). Called on the session timer's thread: queue
// work, never block there.
class ISessionChangeHandler {
public:
    virtual void OnTokenExpired() = 0;

protected:
    ~ISessionChangeHandler() = default;
};
