#include "PostItem.h"

#include <limits>
#include <stdexcept>

namespace Lumen {

POST_ITEM::POST_ITEM(const void* bytes, size_t length)
{
    // The size travels as a 32-bit count; a form value that large is a caller bug.
    if (length > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        throw std::length_error("POST_ITEM: value too large");
    const char* first = static_cast<const char*>(bytes);
    data = std::make_shared<std::vector<char>>(first, length == 0 ? first : first + length);
    size = static_cast<int32_t>(length);
}

POST_ITEM::~POST_ITEM() = default;

}  // namespace Lumen
