#pragma once

// Told when some settings change; called on the thread that changed them,
// after the store's lock is released.
class IConfigChangeHandler {
public:
    enum Kind { kCustomerChanged = 0, kNoticeChanged = 1 };
    virtual void OnConfigChanged(int kind) = 0;

protected:
    ~IConfigChangeHandler() = default;
};
