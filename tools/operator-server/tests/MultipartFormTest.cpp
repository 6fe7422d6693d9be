#include <gtest/gtest.h>

#include "MultipartForm.h"

using namespace PavoOperator;

namespace {
const char kType[] = "multipart/form-data; boundary=lumen_http_multipart_boundary";
const std::string kBody =
    "--lumen_http_multipart_boundary\r\n"
    "Content-Disposition: form-data; name=\"token\"\r\nContent-Type: text/plain\r\n\r\n"
    "a\r\nb\r\n"
    "--lumen_http_multipart_boundary\r\n"
    "Content-Disposition: form-data; name=\"agentStatus\"\r\nContent-Type: text/plain\r\n\r\n"
    "true\r\n"
    "--lumen_http_multipart_boundary--";
}  // namespace

TEST(MultipartFormTest, CloseDelimiterWithOrWithoutCrlf)
{
    std::map<std::string, std::string> fields;
    ASSERT_TRUE(ParseMultipartForm(kType, kBody, &fields));
    EXPECT_EQ(fields["token"], "a\r\nb");
    EXPECT_EQ(fields["agentStatus"], "true");
    EXPECT_TRUE(ParseMultipartForm(kType, kBody + "\r\n", &fields));
    EXPECT_EQ(fields.size(), 2u);
}

TEST(MultipartFormTest, MalformedBodiesAreRefused)
{
    std::map<std::string, std::string> fields;
    EXPECT_FALSE(ParseMultipartForm("text/plain", kBody, &fields));
    EXPECT_FALSE(ParseMultipartForm(kType, kBody.substr(0, kBody.size() - 2), &fields));
    EXPECT_FALSE(ParseMultipartForm(kType, kBody.substr(0, 60), &fields));
    EXPECT_FALSE(ParseMultipartForm(kType, kBody + "junk", &fields));
    EXPECT_FALSE(ParseMultipartForm(kType, "", &fields));
    EXPECT_TRUE(fields.empty());
}
