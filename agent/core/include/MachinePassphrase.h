#pragma once

#include <condition_variable>
#include <functional>
#include <future>
#include <mutex>
#include <string>

// The computer's configuration passphrase, read on a thread of its own.
//
// Start sets up COM on that thread and with it the process's COM security at
// once, so that no other COM use in the process (the taskbar button's
// object, say) can come first and make the read fail. The WMI query itself,
// the costly part, runs at once only when asked to; otherwise it waits for
// Release or for the first Get. A started read that was never released is
// cancelled when the object goes.
class MachinePassphrase {
public:
    // Reads the passphrase; `beforeQuery` runs between setting up COM's
    // security and the query, and returning false from it cancels the read
    // (the result is then empty). The read of ConfigManager::ReadMachinePassphrase.
    using Reader = std::function<std::string(const std::function<bool()>& beforeQuery)>;

    explicit MachinePassphrase(Reader reader);
    ~MachinePassphrase();
    MachinePassphrase(const MachinePassphrase&) = delete;
    MachinePassphrase& operator=(const MachinePassphrase&) = delete;

    // Starts the read unless one was started; the query waits for Release
    // unless `queryNow`.
    void Start(bool queryNow);
    // Lets a started read go on to its query.
    void Release();
    // The passphrase: releases and waits for the started read, or reads on
    // a new thread when none was started. The first result is kept.
    std::string Get();

private:
    // On the read's thread: waits for Release (or Get); false when cancelled.
    bool WaitForRelease();
    // A whole read with no waiting, here or on a thread of its own; "" when
    // the reader fails.
    std::string ReadNow();
    std::string ReadOnNewThread();

    const Reader reader_;
    std::mutex lock_;
    std::condition_variable released_;
    bool go_ = false;
    bool cancelled_ = false;
    bool reading_ = false;  // a Get is taking the result
    bool done_ = false;
    std::string value_;
    std::future<std::string> read_;
};
