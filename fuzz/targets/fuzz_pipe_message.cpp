// The agent-service pipe: the line-feed framing and the JSON message parser,
// as both ends run them on every read.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "Lumen/PipeMessageSplitter.h"
#include "Lumen/PipeProtocol.h"

using Lumen::PipeMessage;
using Lumen::PipeMessageSplitter;
using Lumen::PipeMessageStatus;

namespace {

constexpr size_t kMaxParsedPieces = 16;

std::vector<PipeMessageSplitter::Piece> SplitInReads(const uint8_t* data, size_t size, size_t readSize)
{
    PipeMessageSplitter splitter;
    std::vector<PipeMessageSplitter::Piece> all;
    for (size_t at = 0; at < size; at += readSize) {
        const size_t length = size - at < readSize ? size - at : readSize;
        for (PipeMessageSplitter::Piece& piece : splitter.Append(data + at, length)) all.push_back(std::move(piece));
        PAVO_FUZZ_CHECK(splitter.PendingBytes() <= PipeMessageSplitter::kMaxMessageBytes);
    }
    return all;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    // The first byte picks how the stream is cut into reads; a pipe merges
    // and splits writes as it likes.
    const size_t readSize = static_cast<size_t>(data[0]) * 7 + 1;
    ++data;
    --size;

    const std::vector<PipeMessageSplitter::Piece> pieces = SplitInReads(data, size, readSize);
    // How the bytes were cut into reads never changes the messages.
    const std::vector<PipeMessageSplitter::Piece> whole = SplitInReads(data, size, size == 0 ? 1 : size);
    PAVO_FUZZ_CHECK(pieces.size() == whole.size());
    for (size_t i = 0; i < pieces.size(); ++i) {
        PAVO_FUZZ_CHECK(pieces[i].tooLong == whole[i].tooLong);
        PAVO_FUZZ_CHECK(pieces[i].text == whole[i].text);
    }

    // The framing is checked for every piece; the JSON parser, which builds
    // its reader anew per message, reads the first few (a real read carries one
    // or two), which keeps the target fast enough to cover the framing well.
    size_t parsed = 0;
    for (const PipeMessageSplitter::Piece& piece : pieces) {
        if (piece.tooLong) {
            PAVO_FUZZ_CHECK(piece.text.empty());
            continue;
        }
        PAVO_FUZZ_CHECK(!piece.text.empty());
        PAVO_FUZZ_CHECK(piece.text.size() <= PipeMessageSplitter::kMaxMessageBytes);
        PAVO_FUZZ_CHECK(piece.text.find('\n') == std::string::npos);
        if (++parsed > kMaxParsedPieces) continue;
        const PipeMessage message = Lumen::PipeProtocol::ParsePipeMessage(piece.text.data(), piece.text.size());
        if (message.status != PipeMessageStatus::Ok) continue;
        // What was read can be written again and reads back the same.
        if (message.protocolId == Lumen::kProtocolAgentIdentify && message.sessionId >= 0 && message.processId >= 0) {
            const std::string again = Lumen::PipeProtocol::BuildAgentIdentify(static_cast<uint32_t>(message.sessionId),
                                                                              static_cast<uint32_t>(message.processId));
            const PipeMessage reread = Lumen::PipeProtocol::ParsePipeMessage(again.data(), again.size() - 1);
            PAVO_FUZZ_CHECK(reread.status == PipeMessageStatus::Ok);
            PAVO_FUZZ_CHECK(reread.sessionId == message.sessionId && reread.processId == message.processId);
        }
    }
    return 0;
}
