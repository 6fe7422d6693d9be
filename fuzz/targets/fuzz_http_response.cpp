// A server's response as the HTTP client reads it: the raw header text
// (charset, Content-Length) and the body-length rules of the in-memory body.
// Input: header lines, an empty line, then the body; the first byte cuts the
// body into network pieces.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "HttpParsing.h"
#include "Lumen/StringUtils.h"
#include "ResponseBuffer.h"

namespace {

// The client's own cap on a body held in memory (HttpClient::kMaxBodyInMemory).
constexpr uint64_t kMaxBodyInMemory = 8 * 1024 * 1024;
// Headers up to this length are also read with the regular expressions that
// define the rules; longer ones would overflow the stack in the engine.
constexpr size_t kReferenceLength = 1024;

std::wstring ReferenceCharset(const std::wstring& headers)
{
    std::vector<std::wstring> matches = Lumen::FindAllMatches(headers, L"charset= [A-Za-z0-9\\-_]+");
    if (matches.empty()) matches = Lumen::FindAllMatches(headers, L"charset=[A-Za-z0-9\\-_]+");
    if (matches.empty()) return {};
    std::wstring value = matches.front().substr(8);
    if (!value.empty() && value[0] == L' ') value.erase(0, 1);
    return value;
}

// The first "Content-Length: <digits>" match at the start of a line, or "".
std::wstring ReferenceLengthDigits(const std::wstring& headers)
{
    size_t searchFrom = 0;
    for (const std::wstring& match : Lumen::FindAllMatches(headers, L"Content-Length: [0-9]+")) {
        const size_t at = headers.find(match, searchFrom);
        searchFrom = at + match.size();
        if (at == 0 || headers[at - 1] == L'\n') return match.substr(16);
    }
    return {};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    const size_t pieceSize = static_cast<size_t>(data[0]) * 13 + 1;
    const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
    const size_t split = input.find("\r\n\r\n");
    const std::string rawHeaders = input.substr(0, split == std::string::npos ? input.size() : split + 2);
    const std::string body = split == std::string::npos ? std::string() : input.substr(split + 4);

    // WinHTTP hands the headers over as wide text.
    const std::wstring headers = Lumen::Utf8ToWide(rawHeaders);
    const std::wstring charset = Lumen::ParseCharset(headers);
    PAVO_FUZZ_CHECK(charset.find(L'=') == std::wstring::npos);
    uint64_t contentLength = 1;
    bool present = true;
    if (!Lumen::ParseContentLength(headers, &contentLength, &present)) return 0;
    if (!present) PAVO_FUZZ_CHECK(contentLength == 0);
    if (headers.size() <= kReferenceLength) {
        PAVO_FUZZ_CHECK(charset == ReferenceCharset(headers));
        const std::wstring digits = ReferenceLengthDigits(headers);
        PAVO_FUZZ_CHECK(present == !digits.empty());
        if (present && digits.size() < 20) PAVO_FUZZ_CHECK(contentLength == std::stoull(Lumen::WideToUtf8(digits)));
    }

    if (!present) {
        // Chunked or ended by the connection: the body is what arrived.
        const std::wstring text = Lumen::DecodeBody(body.data(), body.size(), charset);
        PAVO_FUZZ_CHECK(text.find(L'\0') == std::wstring::npos);
        return 0;
    }
    if (contentLength == 0 || contentLength > kMaxBodyInMemory) return 0;
    Lumen::ResponseBuffer buffer;
    if (!buffer.Allocate(contentLength)) return 0;
    for (size_t at = 0; at < body.size() && !buffer.IsComplete(); at += pieceSize) {
        const size_t read = std::min(pieceSize, body.size() - at);
        // Bytes past the announced length are not part of the body.
        const size_t take = static_cast<size_t>(std::min<uint64_t>(read, buffer.Announced() - buffer.Received()));
        PAVO_FUZZ_CHECK(buffer.Append(body.data() + at, take));
        // One byte more than announced is always refused.
        PAVO_FUZZ_CHECK(!buffer.Append(body.data() + at, buffer.Announced() - buffer.Received() + 1));
    }
    PAVO_FUZZ_CHECK(buffer.Received() <= buffer.Announced());
    PAVO_FUZZ_CHECK(buffer.Bytes()->size() == buffer.Announced() + 1);
    PAVO_FUZZ_CHECK(buffer.Bytes()->back() == '\0');
    PAVO_FUZZ_CHECK(buffer.IsComplete() == (body.size() >= contentLength));
    if (!buffer.IsComplete()) return 0;
    PAVO_FUZZ_CHECK(std::memcmp(buffer.Bytes()->data(), body.data(), buffer.Received()) == 0);
    const std::wstring text = Lumen::DecodeBody(buffer.Bytes()->data(), buffer.Received(), charset);
    PAVO_FUZZ_CHECK(text.find(L'\0') == std::wstring::npos);
    return 0;
}
