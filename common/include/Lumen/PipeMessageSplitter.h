#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace Lumen {

// Cuts the byte stream of one pipe connection into messages. Every message
// ends in one line feed; a read may carry several messages, or part of one.
// Bytes after the last line feed are kept until the rest arrives. One
// instance per connection, used by one thread at a time.
class PipeMessageSplitter {
public:
    // The longest message kept, without its line feed. A longer one is
    // dropped whole (also the part that arrives after the drop), so that it is
    // never parsed in pieces or glued to its neighbours.
    static constexpr std::size_t kMaxMessageBytes = 4096;

    struct Piece {
        bool tooLong = false;  // a message over the limit was dropped here
        std::string text;      // the message without its line feed (empty when tooLong)
    };

    // Appends received bytes; returns, in order, every message that they
    // complete and every drop they cause. Empty lines are skipped.
    std::vector<Piece> Append(const void* data, std::size_t length);

    // Forgets a partial message (the connection is new or has ended).
    void Clear();

    std::size_t PendingBytes() const { return pending_.size(); }

private:
    std::string pending_;
    // Inside a message that was already reported as too long: its bytes up to
    // the next line feed are skipped.
    bool discarding_ = false;
};

}  // namespace Lumen
