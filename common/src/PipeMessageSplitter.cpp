#include "Lumen/PipeMessageSplitter.h"

#include <cstring>

namespace Lumen {

std::vector<PipeMessageSplitter::Piece> PipeMessageSplitter::Append(const void* data, std::size_t length)
{
    std::vector<Piece> pieces;
    if (data == nullptr) return pieces;
    const char* bytes = static_cast<const char*>(data);
    std::size_t start = 0;
    while (start < length) {
        const void* found = std::memchr(bytes + start, '\n', length - start);
        if (found == nullptr) break;
        const std::size_t end = static_cast<std::size_t>(static_cast<const char*>(found) - bytes);
        const std::size_t segment = end - start;
        if (discarding_) {
            discarding_ = false;  // the rest of a message already reported
        } else if (pending_.size() + segment > kMaxMessageBytes) {
            pending_.clear();
            pieces.push_back(Piece{true, std::string()});
        } else {
            pending_.append(bytes + start, segment);
            if (!pending_.empty()) pieces.push_back(Piece{false, std::move(pending_)});
            pending_.clear();
        }
        start = end + 1;
    }
    if (start < length && !discarding_) {
        pending_.append(bytes + start, length - start);
        if (pending_.size() > kMaxMessageBytes) {
            pending_.clear();
            discarding_ = true;
            pieces.push_back(Piece{true, std::string()});
        }
    }
    return pieces;
}

void PipeMessageSplitter::Clear()
{
    pending_.clear();
    discarding_ = false;
}

}  // namespace Lumen
