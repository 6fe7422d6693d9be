#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace Lumen {

// The in-memory response body: one zeroed allocation of exactly the announced
// length plus one byte, so the text always ends in a zero byte. Appending never
// writes past the announced length.
class ResponseBuffer {
public:
    // False when the memory cannot be had (error 14 for the caller).
    bool Allocate(uint64_t announcedLength);

    // Appends `length` bytes; false, with nothing written, when they would pass
    // the announced length.
    bool Append(const char* data, size_t length);

    size_t Received() const { return received_; }
    uint64_t Announced() const { return announced_; }
    bool IsComplete() const { return bytes_ && received_ == announced_; }
    // The whole allocation: Announced() bytes and the closing zero byte.
    const std::shared_ptr<std::vector<char>>& Bytes() const { return bytes_; }

private:
    std::shared_ptr<std::vector<char>> bytes_;
    uint64_t announced_ = 0;
    size_t received_ = 0;
};

}  // namespace Lumen
