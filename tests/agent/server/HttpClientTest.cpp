#include <gtest/gtest.h>
#include <json/json.h>

#include <cstdio>
#include <memory>
#include <string>

#include "HttpClient.h"
#include "HttpParsing.h"
#include "Lumen/StringUtils.h"
#include "RawHttpServer.h"
#include "ServerTestSupport.h"
#include "TestSupport.h"

using namespace Lumen;

namespace {

// The reference servers started by scripts/with-operator-server.sh.
int PortFromEnvironment(const wchar_t* name)
{
    wchar_t value[16] = {};
    if (::GetEnvironmentVariableW(name, value, 16) == 0) return 0;
    return _wtoi(value);
}

// tests/agent/server/data/installers/sample.bin
const std::string kSampleInstaller("PAVO SAMPLE INSTALLER\r\n\x00\x01\x02\xff binary tail\n", 40);

class HttpClientTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        port_ = PortFromEnvironment(L"PAVO_OPERATOR_PORT");
        tlsPort_ = PortFromEnvironment(L"PAVO_OPERATOR_TLS_PORT");
        ASSERT_GT(port_, 0) << "run through scripts/with-operator-server.sh (ctest does)";
        ASSERT_GT(tlsPort_, 0);
    }

    void TearDown() override { Admin(L"/admin/reset", "{}"); }

    std::wstring Url(const std::wstring& path) const { return L"http://127.0.0.1:" + std::to_wstring(port_) + path; }

    // The same server the environment names: its admin requests go through
    // the shared helper.
    static bool Admin(const std::wstring& path, const std::string& json) { return ServerTest::Admin(path, json); }

    void SetFault(const std::string& json) { ASSERT_TRUE(Admin(L"/admin/fault", json)) << json; }

    // The last agent request the server saw.
    Json::Value LastRequest()
    {
        HttpClient client;
        client.SetUrl(Url(L"/admin/last-request"));
        EXPECT_TRUE(client.Request(L"GET")) << client.GetLastErrorCode();
        return ParseJson(client.GetResponseBody());
    }

    static Json::Value ParseJson(const std::wstring& text)
    {
        const std::string utf8 = WideToUtf8(text);
        Json::Value value;
        Json::CharReaderBuilder builder;
        std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
        std::string errors;
        reader->parse(utf8.data(), utf8.data() + utf8.size(), &value, &errors);
        return value;
    }

    static std::shared_ptr<MULTIPART_DATA> Form(
        std::initializer_list<std::pair<const wchar_t*, std::string>> fields)
    {
        auto data = std::make_shared<MULTIPART_DATA>();
        for (const auto& [name, value] : fields) data->AddItem(MULTIPART_ITEM(value, name));
        return data;
    }

    // Sends a multipart POST the way the agent's callers do.
    bool Post(HttpClient& client, const std::wstring& url, const std::shared_ptr<MULTIPART_DATA>& form,
              const wchar_t* method = L"POST")
    {
        client.SetUserAgent(L"PavoAgent/1.0");
        client.SetUrl(url);
        client.SetMultipartData(form);
        client.SetExtraHeaders(HttpClient::MakeMultipartHeader(*form));
        return client.Request(method);
    }

    std::string Login()
    {
        HttpClient client;
        EXPECT_TRUE(Post(client, Url(L"/agent/login"), Form({{L"id", "tester"}, {L"password", "secret-pw"}})));
        return ParseJson(client.GetResponseBody())["resultList"]["token"].asString();
    }

    // A heartbeat answer: carries the test data's Hangul notice.
    std::unique_ptr<HttpClient> Heartbeat(const std::string& token)
    {
        auto client = std::make_unique<HttpClient>();
        EXPECT_TRUE(Post(*client, Url(L"/agent/health-check"), Form({{L"token", token}, {L"agentStatus", "true"}})))
            << client->GetLastErrorCode();
        return client;
    }

    int port_ = 0;
    int tlsPort_ = 0;
};

}  // namespace

TEST_F(HttpClientTest, RefusesBadRequestsBeforeAnythingIsSent)
{
    HttpClient probe;
    probe.SetUrl(Url(L"/remote-assist"));
    ASSERT_TRUE(probe.Request(L"GET"));

    HttpClient client;
    EXPECT_FALSE(client.Request(L"GET"));
    EXPECT_EQ(client.GetLastErrorCode(), 3u);

    client.SetUrl(Url(L"/remote-assist"));
    EXPECT_FALSE(client.Request(L"PUT"));
    EXPECT_EQ(client.GetLastErrorCode(), 87u);

    EXPECT_FALSE(Post(client, Url(L"/agent/login"), std::make_shared<MULTIPART_DATA>()));
    EXPECT_EQ(client.GetLastErrorCode(), 13u);
    EXPECT_EQ(LastRequest()["path"].asString(), "/remote-assist");

    // Nothing of an earlier answer survives a failed request.
    ASSERT_TRUE(probe.Request(L"get"));
    EXPECT_FALSE(probe.GetResponseBody().empty());
    probe.SetUrl(L"");
    EXPECT_FALSE(probe.Request(L"GET"));
    EXPECT_TRUE(probe.GetResponseBody().empty());
    EXPECT_TRUE(probe.GetResponseHeaders().empty());
    EXPECT_TRUE(probe.GetStatusCode().empty());
    EXPECT_FALSE(probe.GetResponseBytes());
}

TEST_F(HttpClientTest, PostsFormsAndReadsJsonAnswers)
{
    HttpClient client;
    // The method is taken in any case and sent in capitals.
    ASSERT_TRUE(Post(client, Url(L"/agent/login"), Form({{L"id", "tester"}, {L"password", "secret-pw"}}), L"post"))
        << client.GetLastErrorCode();
    EXPECT_EQ(client.GetStatusCode(), L"200");
    EXPECT_EQ(client.GetResponseCharset(), L"UTF-8");
    const Json::Value answer = ParseJson(client.GetResponseBody());
    EXPECT_EQ(answer["resultCode"].asInt(), 200);
    EXPECT_EQ(answer["resultList"]["token"].asString().size(), 32u);
    ASSERT_TRUE(client.GetResponseBytes());
    EXPECT_EQ(client.GetResponseBytes()->size(), client.GetContentLength() + 1);
    EXPECT_EQ(client.GetResponseBytes()->back(), '\0');

    const Json::Value seen = LastRequest();
    EXPECT_EQ(seen["method"].asString(), "POST");
    EXPECT_EQ(seen["headers"]["User-Agent"].asString(), "PavoAgent/1.0");
    EXPECT_EQ(seen["form"]["id"].asString(), "tester");
    EXPECT_EQ(seen["form"]["password"].asString(), "secret-pw");

    // The HTTP status is reported, never judged.
    HttpClient missing;
    missing.SetUrl(Url(L"/no-such-path"));
    EXPECT_TRUE(missing.Request(L"GET"));
    EXPECT_EQ(missing.GetStatusCode(), L"404");
}

TEST_F(HttpClientTest, CharsetDecidesHowTheBodyIsDecoded)
{
    const std::string token = Login();
    ASSERT_FALSE(token.empty());

    SetFault(R"({"path": "/agent/health-check", "contentType": "application/json; charset= UTF-8"})");
    auto client = Heartbeat(token);
    EXPECT_EQ(client->GetResponseCharset(), L"UTF-8");
    EXPECT_EQ(ParseJson(client->GetResponseBody())["resultList"]["notice"]["title"].asString(),
              "\xEA\xB3\xB5\xEC\xA7\x80 \xEC\xA0\x9C\xEB\xAA\xA9");  // "공지 제목"

    SetFault(R"({"path": "/agent/health-check", "contentType": "application/json;charset=utf-8"})");
    client = Heartbeat(token);
    EXPECT_EQ(client->GetResponseCharset(), L"utf-8");
    EXPECT_NE(client->GetResponseBody().find(L"공지 제목"), std::wstring::npos);

    // Any other charset is read through the system's default code page.
    SetFault(R"({"path": "/agent/health-check", "contentType": "application/json; charset=euc-kr"})");
    client = Heartbeat(token);
    EXPECT_EQ(client->GetResponseCharset(), L"euc-kr");
    ASSERT_TRUE(client->GetResponseBytes());
    EXPECT_EQ(client->GetResponseBody(),
              DecodeBody(client->GetResponseBytes()->data(), client->GetResponseBytes()->size() - 1, L""));
    EXPECT_EQ(client->GetResponseBody().find(L"공지 제목"), std::wstring::npos);
}

TEST_F(HttpClientTest, BodyWithoutContentLengthIsReadToItsEnd)
{
    for (const char* fault : {R"({"path": "/agent/login", "omitContentLength": true})",
                              R"({"path": "/agent/login", "chunked": true})"}) {
        SetFault(fault);
        HttpClient client;
        EXPECT_TRUE(Post(client, Url(L"/agent/login"), Form({{L"id", "tester"}, {L"password", "secret-pw"}})))
            << fault << " error " << client.GetLastErrorCode();
        EXPECT_EQ(client.GetStatusCode(), L"200") << fault;
        EXPECT_EQ(client.GetContentLength(), 0u) << fault;
        const Json::Value answer = ParseJson(client.GetResponseBody());
        EXPECT_EQ(answer["resultCode"].asInt(), 200) << fault;
        EXPECT_EQ(answer["resultList"]["token"].asString().size(), 32u) << fault;
        ASSERT_TRUE(client.GetResponseBytes()) << fault;
        EXPECT_EQ(client.GetResponseBytes()->back(), '\0') << fault;
    }
}

// Windows reports ERROR_WINHTTP_TIMEOUT; Wine 8 reports the socket's WSAETIMEDOUT.
bool IsTimeoutCode(DWORD code)
{
    return code == ERROR_WINHTTP_TIMEOUT || code == WSAETIMEDOUT;
}

TEST_F(HttpClientTest, ServerSlowerThanOneSecondTimesOut)
{
    // Well under the default WinHTTP limits, so only the one-second rule ends it.
    SetFault(R"({"path": "/agent/login", "delayMs": 2500})");
    HttpClient client;
    EXPECT_FALSE(Post(client, Url(L"/agent/login"), Form({{L"id", "tester"}, {L"password", "secret-pw"}})));
    EXPECT_PRED1(IsTimeoutCode, client.GetLastErrorCode());

    SetFault(R"({"path": "/download", "delayMs": 2500})");
    const std::wstring folder = PavoTest::MakeTempDirectory(L"slow");
    HttpClient download;
    download.SetUrl(Url(L"/download/sample.bin"));
    download.SetDownloadPath(folder + L"sample.bin");
    EXPECT_FALSE(download.Request(L"GET"));
    EXPECT_PRED1(IsTimeoutCode, download.GetLastErrorCode());
}

TEST_F(HttpClientTest, DownloadsReplaceTheFileAndNeedTheAnnouncedLength)
{
    const std::wstring folder = PavoTest::MakeTempDirectory(L"다운로드 folder");
    const std::wstring path = folder + L"sample.bin";
    // Longer than the download: none of it may survive behind the new bytes.
    ASSERT_TRUE(PavoTest::WriteFileBytes(path, "EXISTING CONTENT OF AN EARLIER, LARGER INSTALLER FILE\n"));

    HttpClient client;
    client.SetUrl(Url(L"/download/sample.bin"));
    client.SetDownloadPath(path);
    ASSERT_TRUE(client.Request(L"GET")) << client.GetLastErrorCode();
    EXPECT_EQ(client.GetContentLength(), kSampleInstaller.size());
    EXPECT_TRUE(client.GetResponseBody().empty());
    EXPECT_EQ(PavoTest::ReadFileBytes(path), kSampleInstaller);

    // Without a Content-Length a download holding bytes cannot be judged
    // complete; its bytes are still counted as they arrive, without a total.
    SetFault(R"({"path": "/download", "omitContentLength": true})");
    const std::wstring second = folder + L"second.bin";
    client.SetDownloadPath(second);
    uint64_t counted = 0;
    bool anyTotal = false;
    client.SetProgressCallback([&](uint64_t received, uint64_t, bool hasTotal) {
        counted = received;
        anyTotal = anyTotal || hasTotal;
    });
    EXPECT_FALSE(client.Request(L"GET"));
    EXPECT_EQ(client.GetLastErrorCode(), static_cast<DWORD>(ERROR_WINHTTP_INVALID_SERVER_RESPONSE));
    EXPECT_EQ(counted, kSampleInstaller.size());
    EXPECT_FALSE(anyTotal);
    EXPECT_EQ(PavoTest::ReadFileBytes(second), "") << "nothing of a body that is refused is written";
    client.SetProgressCallback(nullptr);

    // A file that cannot be opened fails the download instead of losing the bytes.
    Admin(L"/admin/reset", "{}");
    client.SetDownloadPath(folder + L"no-such-folder\\sample.bin");
    EXPECT_FALSE(client.Request(L"GET"));
    EXPECT_EQ(client.GetLastErrorCode(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(HttpClientTest, ExtraHeadersGoWithOneRequestOnly)
{
    HttpClient client;
    client.SetUrl(Url(L"/remote-assist"));
    client.SetExtraHeaders(L"X-Pavo-Probe: first\r\n");
    ASSERT_TRUE(client.Request(L"GET"));
    EXPECT_EQ(LastRequest()["headers"]["X-Pavo-Probe"].asString(), "first");
    EXPECT_EQ(LastRequest()["headers"]["User-Agent"].asString(), "HttpClient");

    ASSERT_TRUE(client.Request(L"GET"));
    EXPECT_FALSE(LastRequest()["headers"].isMember("X-Pavo-Probe"));
}

TEST_F(HttpClientTest, SelfSignedCertificateIsAccepted)
{
    HttpClient client;
    ASSERT_TRUE(Post(client, L"https://127.0.0.1:" + std::to_wstring(tlsPort_) + L"/agent/login",
                     Form({{L"id", "tester"}, {L"password", "secret-pw"}})))
        << client.GetLastErrorCode();
    EXPECT_EQ(client.GetStatusCode(), L"200");
    EXPECT_EQ(ParseJson(client.GetResponseBody())["resultCode"].asInt(), 200);
}

TEST_F(HttpClientTest, PinnedCertificates)
{
    const std::string right = ServerTest::TlsSha256();
    ASSERT_EQ(right.size(), 64u) << "PAVO_OPERATOR_TLS_SHA256 comes from scripts/with-operator-server.sh";
    const std::wstring tls = L"https://127.0.0.1:" + std::to_wstring(tlsPort_);
    const std::string wrong(64, 'e');

    HttpClient pinned;
    pinned.SetPinnedCertificates({wrong, right});
    ASSERT_TRUE(Post(pinned, tls + L"/agent/login", Form({{L"id", "tester"}, {L"password", "secret-pw"}})))
        << pinned.GetLastErrorCode();
    EXPECT_EQ(pinned.GetStatusCode(), L"200");
    EXPECT_EQ(pinned.GetPresentedCertificate(), right);
    EXPECT_FALSE(pinned.CertificateRejected());

    // A marker request, so that what the server saw last is known.
    HttpClient marker;
    marker.SetUrl(tls + L"/remote-assist");
    ASSERT_TRUE(marker.Request(L"GET"));

    HttpClient refused;
    refused.SetPinnedCertificates({wrong});
    EXPECT_FALSE(Post(refused, tls + L"/agent/login", Form({{L"id", "tester"}, {L"password", "secret-pw"}})));
    EXPECT_EQ(refused.GetLastErrorCode(), static_cast<DWORD>(ERROR_WINHTTP_SECURE_INVALID_CERT));
    EXPECT_TRUE(refused.CertificateRejected());
    EXPECT_EQ(refused.GetPresentedCertificate(), right);
    EXPECT_TRUE(refused.GetStatusCode().empty() && refused.GetResponseBody().empty()) << "nothing of the answer read";
    // The password never reached the server: its last complete request is the marker.
    HttpClient last;
    last.SetUrl(tls + L"/admin/last-request");
    ASSERT_TRUE(last.Request(L"GET"));
    EXPECT_EQ(ParseJson(last.GetResponseBody())["path"].asString(), "/remote-assist");

    const std::wstring path = PavoTest::MakeTempDirectory(L"pinned") + L"sample.bin";
    refused.SetUrl(tls + L"/download/sample.bin");
    refused.SetDownloadPath(path);
    EXPECT_FALSE(refused.Request(L"GET"));
    EXPECT_FALSE(PavoTest::FileExists(path)) << "no byte of the download written";

    // Plain HTTP presents no certificate: pins do not apply to it.
    refused.SetUrl(Url(L"/download/sample.bin"));
    EXPECT_TRUE(refused.Request(L"GET")) << refused.GetLastErrorCode();
    EXPECT_EQ(PavoTest::ReadFileBytes(path), kSampleInstaller);
}

TEST_F(HttpClientTest, UnreachableServerFails)
{
    // Nothing listens once the raw server's one connection is over.
    int port = 0;
    {
        RawHttpServer closed("");
        port = closed.Port();
    }
    HttpClient client;
    client.SetUrl(L"http://127.0.0.1:" + std::to_wstring(port) + L"/");
    EXPECT_FALSE(client.Request(L"GET"));
    EXPECT_NE(client.GetLastErrorCode(), 0u);
}

// The wire format, captured below any HTTP library.
TEST(HttpClientWireTest, MultipartRequestMatchesItsAnnouncedLength)
{
    RawHttpServer server("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 2\r\n"
                         "Connection: close\r\n\r\n{}");
    ASSERT_GT(server.Port(), 0);
    auto form = std::make_shared<MULTIPART_DATA>();
    form->AddItem(MULTIPART_ITEM(std::string("tok-123"), L"token"));
    form->AddItem(MULTIPART_ITEM(std::string("true"), L"agentStatus"));
    HttpClient client;
    client.SetUrl(L"http://127.0.0.1:" + std::to_wstring(server.Port()) + L"/agent/health-check");
    client.SetMultipartData(form);
    client.SetExtraHeaders(HttpClient::MakeMultipartHeader(*form));
    ASSERT_TRUE(client.Request(L"POST")) << client.GetLastErrorCode();
    EXPECT_EQ(client.GetResponseBody(), L"{}");

    const std::string request = server.Request();
    const size_t headEnd = request.find("\r\n\r\n");
    ASSERT_NE(headEnd, std::string::npos);
    const std::string head = request.substr(0, headEnd + 2);
    const std::string body = request.substr(headEnd + 4);
    const std::string expected =
        "--lumen_http_multipart_boundary\r\n"
        "Content-Disposition: form-data; name=\"token\"\r\n"
        "Content-Type: text/plain\r\n\r\n"
        "tok-123\r\n"
        "--lumen_http_multipart_boundary\r\n"
        "Content-Disposition: form-data; name=\"agentStatus\"\r\n"
        "Content-Type: text/plain\r\n\r\n"
        "true\r\n"
        "--lumen_http_multipart_boundary--";
    EXPECT_EQ(body, expected);
    EXPECT_EQ(head.find("POST /agent/health-check HTTP/1.1\r\n"), 0u) << head;
    EXPECT_NE(head.find("\r\nContent-Length: " + std::to_string(expected.size()) + "\r\n"), std::string::npos) << head;
    EXPECT_NE(head.find("\r\nContent-Type: multipart/form-data; boundary=lumen_http_multipart_boundary\r\n"),
              std::string::npos)
        << head;
    // One Content-Length only: the client adds none of its own.
    EXPECT_EQ(head.find("Content-Length:"), head.rfind("Content-Length:")) << head;
}

TEST(HttpClientWireTest, BodyIsCutAtItsAnnouncedLengthAndMustReachIt)
{
    {
        RawHttpServer server("HTTP/1.1 200 OK\r\nContent-Length: 4\r\nConnection: close\r\n\r\n"
                             "abcdefghijklmnopqrstuvwxyz");
        HttpClient client;
        client.SetUrl(L"http://127.0.0.1:" + std::to_wstring(server.Port()) + L"/");
        ASSERT_TRUE(client.Request(L"GET")) << client.GetLastErrorCode();
        EXPECT_EQ(client.GetResponseBody(), L"abcd");
        ASSERT_TRUE(client.GetResponseBytes());
        EXPECT_EQ(client.GetResponseBytes()->size(), 5u);
    }
    {
        RawHttpServer server("HTTP/1.1 200 OK\r\nContent-Length: 10\r\nConnection: close\r\n\r\nabc");
        HttpClient client;
        client.SetUrl(L"http://127.0.0.1:" + std::to_wstring(server.Port()) + L"/");
        EXPECT_FALSE(client.Request(L"GET"));
        EXPECT_NE(client.GetLastErrorCode(), 0u);
        EXPECT_TRUE(client.GetResponseBody().empty());
    }
    {
        // A length no memory can hold is refused, not trusted.
        RawHttpServer server("HTTP/1.1 200 OK\r\nContent-Length: 18446744073709551615\r\nConnection: close\r\n\r\nabc");
        HttpClient client;
        client.SetUrl(L"http://127.0.0.1:" + std::to_wstring(server.Port()) + L"/");
        EXPECT_FALSE(client.Request(L"GET"));
        EXPECT_NE(client.GetLastErrorCode(), 0u);
    }
}

// Answers read into memory are capped; the announced length is not trusted.
TEST(HttpClientWireTest, AnswersLargerThanTheCapAreRefused)
{
    const uint64_t over = HttpClient::kMaxBodyInMemory + 1;
    {
        // Announced beyond the cap: refused before anything is allocated.
        RawHttpServer server("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(over) +
                             "\r\nConnection: close\r\n\r\nabc");
        HttpClient client;
        client.SetUrl(L"http://127.0.0.1:" + std::to_wstring(server.Port()) + L"/");
        EXPECT_FALSE(client.Request(L"GET"));
        EXPECT_EQ(client.GetLastErrorCode(), static_cast<DWORD>(ERROR_FILE_TOO_LARGE));
        EXPECT_FALSE(client.GetResponseBytes());
    }
    {
        // Without a Content-Length the data itself is counted.
        const std::string chunk(static_cast<size_t>(over), 'x');
        char size[32];
        std::snprintf(size, sizeof(size), "%llx", static_cast<unsigned long long>(chunk.size()));
        RawHttpServer server("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n" +
                             std::string(size) + "\r\n" + chunk + "\r\n0\r\n\r\n");
        HttpClient client;
        client.SetUrl(L"http://127.0.0.1:" + std::to_wstring(server.Port()) + L"/");
        EXPECT_FALSE(client.Request(L"GET"));
        EXPECT_EQ(client.GetLastErrorCode(), static_cast<DWORD>(ERROR_FILE_TOO_LARGE));
        EXPECT_TRUE(client.GetResponseBody().empty());
    }
    {
        // Up to the cap, the same answer is read whole.
        const std::string body(static_cast<size_t>(HttpClient::kMaxBodyInMemory), 'y');
        RawHttpServer server("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + body);
        HttpClient client;
        client.SetUrl(L"http://127.0.0.1:" + std::to_wstring(server.Port()) + L"/");
        ASSERT_TRUE(client.Request(L"GET")) << client.GetLastErrorCode();
        ASSERT_TRUE(client.GetResponseBytes());
        EXPECT_EQ(client.GetResponseBytes()->size(), body.size() + 1);
    }
}
