#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Lumen/PipeMessageSplitter.h"

using Lumen::PipeMessageSplitter;

namespace {

// Messages as texts; a drop shows as "<too long>".
std::vector<std::string> Feed(PipeMessageSplitter& splitter, const std::string& bytes)
{
    std::vector<std::string> out;
    for (const auto& piece : splitter.Append(bytes.data(), bytes.size()))
        out.push_back(piece.tooLong ? "<too long>" : piece.text);
    return out;
}

using Texts = std::vector<std::string>;

}  // namespace

TEST(PipeMessageSplitterTest, EveryMessageOfAReadInOrderAndTheTailKeptForTheNext)
{
    PipeMessageSplitter splitter;
    // An identification and a stop request in one read.
    EXPECT_EQ(Feed(splitter, "{\"process_id\":7,\"protocol_id\":1002,\"session_id\":1}\n{\"protocol_id\":1000}\n"),
              (Texts{"{\"process_id\":7,\"protocol_id\":1002,\"session_id\":1}", "{\"protocol_id\":1000}"}));
    EXPECT_EQ(splitter.PendingBytes(), 0u);

    // A message split over reads, down to single bytes, and one right behind it.
    EXPECT_EQ(Feed(splitter, "{\"protocol"), Texts{});
    EXPECT_EQ(Feed(splitter, "_id\""), Texts{});
    EXPECT_EQ(Feed(splitter, ":"), Texts{});
    EXPECT_EQ(Feed(splitter, "1001}\n{\"proto"), Texts{"{\"protocol_id\":1001}"});
    EXPECT_EQ(Feed(splitter, "col_id\":1000}\n"), Texts{"{\"protocol_id\":1000}"});

    // Empty lines carry nothing; a zero-length read changes nothing.
    EXPECT_EQ(Feed(splitter, "\n\nx\n\n"), Texts{"x"});
    EXPECT_EQ(Feed(splitter, ""), Texts{});

    // A new connection starts with nothing of the old one.
    Feed(splitter, "half of a mess");
    splitter.Clear();
    EXPECT_EQ(Feed(splitter, "age\n"), Texts{"age"});
}

TEST(PipeMessageSplitterTest, AMessageOverTheLimitIsDroppedWholeOnce)
{
    PipeMessageSplitter splitter;
    const std::string limit(PipeMessageSplitter::kMaxMessageBytes, 'a');
    EXPECT_EQ(Feed(splitter, limit + "\n"), Texts{limit}) << "exactly the limit is a message";

    // Over the limit in pieces: reported once when the tail grows too long,
    // the rest up to its line feed skipped, the next message intact.
    EXPECT_EQ(Feed(splitter, limit), Texts{});
    EXPECT_EQ(Feed(splitter, "b"), Texts{"<too long>"});
    EXPECT_EQ(splitter.PendingBytes(), 0u) << "nothing of it is kept";
    EXPECT_EQ(Feed(splitter, std::string(5000, 'c')), Texts{});
    EXPECT_EQ(Feed(splitter, "cc\n{\"protocol_id\":1001}\n"), Texts{"{\"protocol_id\":1001}"});

    // Over the limit only once its line feed is there.
    Feed(splitter, std::string(4000, 'd'));
    EXPECT_EQ(Feed(splitter, std::string(200, 'd') + "\nok\n"), (Texts{"<too long>", "ok"}));
}
