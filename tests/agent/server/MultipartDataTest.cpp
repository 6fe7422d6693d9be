#include <gtest/gtest.h>

#include "HttpClient.h"
#include "MultipartData.h"

using namespace Lumen;

namespace {

// The heartbeat body written out by hand, byte by byte.
const char kHeartbeatBody[] =
    "--lumen_http_multipart_boundary\r\n"
    "Content-Disposition: form-data; name=\"token\"\r\n"
    "Content-Type: text/plain\r\n"
    "\r\n"
    "tok-123\r\n"
    "--lumen_http_multipart_boundary\r\n"
    "Content-Disposition: form-data; name=\"agentStatus\"\r\n"
    "Content-Type: text/plain\r\n"
    "\r\n"
    "true\r\n"
    "--lumen_http_multipart_boundary--";

}  // namespace

TEST(MultipartDataTest, HeartbeatBodyAndAnnouncedLengthMatchByteForByte)
{
    MULTIPART_DATA data;
    data.AddItem(MULTIPART_ITEM(std::string("tok-123"), L"token"));
    data.AddItem(MULTIPART_ITEM(std::string("true"), L"agentStatus"));
    const std::string expected(kHeartbeatBody);
    EXPECT_EQ(data.BuildBody(), expected);
    EXPECT_EQ(data.BodyLength(), expected.size());
    EXPECT_EQ(HttpClient::MakeMultipartHeader(data),
              L"Content-Type: multipart/form-data; boundary=lumen_http_multipart_boundary\r\nContent-Length: " +
                  std::to_wstring(expected.size()));
}

TEST(MultipartDataTest, ValuesAreCopiedAsBytesAndNamesAsUtf8)
{
    char value[] = {'a', '\0', 'b'};
    MULTIPART_ITEM item(value, sizeof(value), L"이름");
    value[0] = 'z';
    EXPECT_EQ(item.type, POST_ITEM::kTypeBytes);
    EXPECT_EQ(item.size, 3);
    EXPECT_EQ(std::string(item.data->data(), item.data->size()), std::string("a\0b", 3));
    EXPECT_EQ(item.header,
              "Content-Disposition: form-data; name=\"\xEC\x9D\xB4\xEB\xA6\x84\"\r\nContent-Type: text/plain\r\n");

    MULTIPART_DATA data;
    EXPECT_EQ(data.boundary.size(), 29u);
    EXPECT_EQ(data.BodyLength(), 0u);
    EXPECT_EQ(data.BuildBody(), "");
    data.AddItem(MULTIPART_ITEM(nullptr, 0, L"empty"));
    EXPECT_EQ(data.BodyLength(), data.BuildBody().size());
}
