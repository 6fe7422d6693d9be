#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace Lumen {

// The base of one form part: a private copy of the caller's bytes.
struct POST_ITEM {
    static constexpr int32_t kTypeBytes = 1;

    // Copies `length` bytes from `bytes` (which may be null when length is 0).
    POST_ITEM(const void* bytes, size_t length);
    virtual ~POST_ITEM();

    POST_ITEM(const POST_ITEM&) = default;
    POST_ITEM& operator=(const POST_ITEM&) = default;

    int32_t type = kTypeBytes;
    std::shared_ptr<std::vector<char>> data;
    int32_t size = 0;
};

}  // namespace Lumen
