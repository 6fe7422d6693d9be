#include "MachinePassphrase.h"

#include <exception>
#include <system_error>
#include <thread>
#include <utility>

MachinePassphrase::MachinePassphrase(Reader reader) : reader_(std::move(reader)) {}

MachinePassphrase::~MachinePassphrase()
{
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (!go_) cancelled_ = true;
    }
    released_.notify_all();
    if (read_.valid()) read_.wait();
}

void MachinePassphrase::Start(bool queryNow)
{
    std::lock_guard<std::mutex> lock(lock_);
    if (read_.valid() || done_ || reading_) return;
    if (queryNow) go_ = true;
    try {
        read_ = std::async(std::launch::async, [this] { return reader_([this] { return WaitForRelease(); }); });
    } catch (const std::system_error&) {
        // No thread: Get reads the whole passphrase itself.
    }
}

std::string MachinePassphrase::ReadNow()
{
    try {
        return reader_(nullptr);
    } catch (const std::exception&) {
        return {};  // as any failed read: the empty passphrase
    }
}

std::string MachinePassphrase::ReadOnNewThread()
{
    // A thread of its own has no COM apartment yet: the caller's may be
    // single-threaded already, where the read's multithreaded set-up fails.
    std::string value;
    try {
        std::thread([this, &value] { value = ReadNow(); }).join();
    } catch (const std::system_error&) {
        value = ReadNow();
    }
    return value;
}

void MachinePassphrase::Release()
{
    {
        std::lock_guard<std::mutex> lock(lock_);
        go_ = true;
    }
    released_.notify_all();
}

bool MachinePassphrase::WaitForRelease()
{
    std::unique_lock<std::mutex> lock(lock_);
    released_.wait(lock, [this] { return go_ || cancelled_; });
    return !cancelled_;
}

std::string MachinePassphrase::Get()
{
    std::unique_lock<std::mutex> lock(lock_);
    go_ = true;
    released_.notify_all();
    if (!done_ && !reading_) {
        // This caller takes the result; any other waits for it below.
        reading_ = true;
        std::future<std::string> started = std::move(read_);
        lock.unlock();
        std::string value;
        bool read = false;
        if (started.valid()) {
            try {
                value = started.get();
                read = true;
            } catch (const std::exception&) {
                read = false;  // read again here
            }
        }
        if (!read) value = ReadOnNewThread();
        lock.lock();
        value_ = std::move(value);
        done_ = true;
        released_.notify_all();
    }
    released_.wait(lock, [this] { return done_; });
    return value_;
}
