#include "ResponseBuffer.h"

#include <cstring>
#include <new>
#include <stdexcept>

namespace Lumen {

bool ResponseBuffer::Allocate(uint64_t announcedLength)
{
    bytes_.reset();
    received_ = 0;
    announced_ = 0;
    if (announcedLength >= SIZE_MAX) return false;
    try {
        bytes_ = std::make_shared<std::vector<char>>(static_cast<size_t>(announcedLength) + 1, '\0');
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    announced_ = announcedLength;
    return true;
}

bool ResponseBuffer::Append(const char* data, size_t length)
{
    if (!bytes_ || length > announced_ - received_) return false;
    if (length == 0) return true;
    std::memcpy(bytes_->data() + received_, data, length);
    received_ += length;
    return true;
}

}  // namespace Lumen
