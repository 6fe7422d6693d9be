#include <gtest/gtest.h>

#include <string>

#include "HttpParsing.h"
#include "ResponseBuffer.h"

using namespace Lumen;

TEST(HttpParsingTest, CharsetPatternWithBlankWinsOverThePlainOne)
{
    EXPECT_EQ(ParseCharset(L"HTTP/1.1 200 OK\r\nContent-Type: application/json; charset=UTF-8\r\n\r\n"), L"UTF-8");
    EXPECT_EQ(ParseCharset(L"Content-Type: text/html; charset= euc-kr\r\n"), L"euc-kr");
    // The blank form is searched first even when the plain form comes earlier.
    EXPECT_EQ(ParseCharset(L"X-A: charset=latin1\r\nContent-Type: text/plain; charset= utf_8\r\n"), L"utf_8");
    EXPECT_EQ(ParseCharset(L"Content-Type: text/plain; CHARSET=Shift_JIS\r\n"), L"Shift_JIS");
    EXPECT_EQ(ParseCharset(L"Content-Type: application/octet-stream\r\n"), L"");
}

TEST(HttpParsingTest, ContentLengthComesFromItsOwnHeaderLine)
{
    uint64_t length = 99;
    EXPECT_TRUE(ParseContentLength(L"HTTP/1.1 200 OK\r\nContent-Length: 1234\r\n\r\n", &length));
    EXPECT_EQ(length, 1234u);
    EXPECT_TRUE(ParseContentLength(L"HTTP/1.1 200 OK\r\ncontent-length: 7\r\n", &length));
    EXPECT_EQ(length, 7u);
    EXPECT_TRUE(ParseContentLength(L"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n", &length));
    EXPECT_EQ(length, 0u);
    EXPECT_TRUE(ParseContentLength(L"HTTP/1.1 200 OK\r\nX-Content-Length: 5\r\nContent-Length: 12\r\n", &length));
    EXPECT_EQ(length, 12u);
    EXPECT_TRUE(ParseContentLength(L"HTTP/1.1 200 OK\r\nContent-Length: 18446744073709551615\r\n", &length));
    EXPECT_EQ(length, 18446744073709551615u);
    // A length beyond 64 bits is refused, not wrapped around.
    EXPECT_FALSE(ParseContentLength(L"HTTP/1.1 200 OK\r\nContent-Length: 18446744073709551616\r\n", &length));
}

TEST(HttpParsingTest, HeaderValuesOfAnyLengthAreSafe)
{
    // Each of these overflowed the stack when the rules were read with regular
    // expressions, which recurse once per character.
    const std::wstring digits(100000, L'7');
    uint64_t length = 99;
    bool present = true;
    EXPECT_FALSE(ParseContentLength(L"HTTP/1.1 200 OK\r\nContent-Length: " + digits + L"\r\n", &length, &present));
    EXPECT_TRUE(ParseContentLength(L"HTTP/1.1 200 OK\r\nX-Pad: " + digits + L"\r\nContent-Length: 00012\r\n", &length,
                                   &present));
    EXPECT_TRUE(present);
    EXPECT_EQ(length, 12u);
    const std::wstring token(100000, L'a');
    EXPECT_EQ(ParseCharset(L"Content-Type: text/plain; charset=" + token + L"\r\n"), token);
    EXPECT_EQ(ParseCharset(L"X-Pad: " + token + L"\r\nContent-Type: text/plain; charset= utf-8\r\n"), L"utf-8");
    // "charset=" with nothing after it is skipped for a later one.
    EXPECT_EQ(ParseCharset(L"A: charset=\r\nB: charset= \r\nC: charSet=x_1\r\n"), L"x_1");
}

TEST(HttpParsingTest, RejectedPatternFindsNothing)
{
    EXPECT_TRUE(FindAllMatches(L"charset=utf-8", L"charset=([").empty());
    EXPECT_EQ(FindAllMatches(L"a1 b22 c333", L"[0-9]+"), (std::vector<std::wstring>{L"1", L"22", L"333"}));
}

TEST(HttpParsingTest, BodyIsDecodedByCharsetUpToTheFirstZeroByte)
{
    const std::string utf8 = "\xED\x95\x9C\xEA\xB8\x80 ok";  // "한글 ok"
    EXPECT_EQ(DecodeBody(utf8.data(), utf8.size(), L"UTF-8"), L"한글 ok");
    EXPECT_EQ(DecodeBody(utf8.data(), utf8.size(), L"utf-8; x"), L"한글 ok");
    EXPECT_TRUE(IsUtf8Charset(L"Utf-8"));
    EXPECT_FALSE(IsUtf8Charset(L"utf8"));
    EXPECT_FALSE(IsUtf8Charset(L""));
    // Other charsets go through the system's default code page.
    EXPECT_NE(DecodeBody(utf8.data(), utf8.size(), L"euc-kr"), L"한글 ok");
    const std::string withZero("abc\0def", 7);
    EXPECT_EQ(DecodeBody(withZero.data(), withZero.size(), L"utf-8"), L"abc");
    EXPECT_EQ(DecodeBody(nullptr, 0, L"utf-8"), L"");
}

TEST(ResponseBufferTest, NeverTakesMoreThanAnnounced)
{
    ResponseBuffer buffer;
    ASSERT_TRUE(buffer.Allocate(5));
    ASSERT_EQ(buffer.Bytes()->size(), 6u);
    EXPECT_TRUE(buffer.Append("abc", 3));
    EXPECT_FALSE(buffer.IsComplete());
    EXPECT_FALSE(buffer.Append("def", 3));
    EXPECT_EQ(buffer.Received(), 3u);
    EXPECT_TRUE(buffer.Append("de", 2));
    EXPECT_TRUE(buffer.IsComplete());
    EXPECT_FALSE(buffer.Append("x", 1));
    EXPECT_EQ(std::string(buffer.Bytes()->data()), "abcde");
    EXPECT_EQ(buffer.Bytes()->back(), '\0');

    ResponseBuffer huge;
    EXPECT_FALSE(huge.Allocate(UINT64_MAX));
    EXPECT_FALSE(huge.Allocate(uint64_t{1} << 62));
    EXPECT_FALSE(huge.Append("x", 1));
}
