#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "OperatorServer.h"

using namespace PavoOperator;
namespace fs = std::filesystem;

namespace {

// A server on a free loopback port, serving from a temporary data folder.
class OperatorServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = fs::temp_directory_path() / ("pavo-operator-test-" + std::to_string(::getpid()));
        fs::create_directories(folder_ / "installers");
        std::ofstream(folder_ / "installers" / "viewer.exe", std::ios::binary) << std::string(200000, 'x');
        std::ofstream(folder_ / "data.json") << R"({
            "installerFolder": "installers",
            "customers": {"C1": {"customerName": "Demo", "co_nm": "DEMO",
                                 "license": [{"type": "PAVO_VIEWER", "url": "${SERVER}/download/viewer.exe"}]}},
            "users": [{"id": "demo", "password": "demo1234", "customerId": "C1"}]
        })";
        ServerOptions options;
        options.port = 0;
        options.dataFile = (folder_ / "data.json").string();
        std::string error;
        server_ = OperatorServer::Create(options, &error);
        ASSERT_TRUE(server_) << error;
        port_ = server_->Bind();
        ASSERT_GT(port_, 0);
        thread_ = std::thread([this] { server_->Run(); });
        client_ = std::make_unique<httplib::Client>("127.0.0.1", port_);
        client_->set_read_timeout(10, 0);
    }

    void TearDown() override
    {
        if (server_) server_->Stop();
        if (thread_.joinable()) thread_.join();
        fs::remove_all(folder_);
    }

    httplib::Result Post(const std::string& path, const httplib::MultipartFormDataItems& items)
    {
        return client_->Post(path.c_str(), items);
    }

    Json::Value Body(const httplib::Result& result)
    {
        Json::Value value;
        EXPECT_TRUE(result);
        if (result) {
            EXPECT_TRUE(ParseJsonText(result->body, &value)) << result->body;
        }
        return value;
    }

    void SetFault(const std::string& json)
    {
        const auto result = client_->Post("/admin/fault", json, "application/json");
        ASSERT_TRUE(result);
        ASSERT_EQ(result->status, 200) << json;
    }

    std::string Login()
    {
        const Json::Value answer = Body(Post("/agent/login", {{"id", "demo", "", ""}, {"password", "demo1234", "", ""}}));
        return answer["resultList"]["token"].asString();
    }

    fs::path folder_;
    std::unique_ptr<OperatorServer> server_;
    int port_ = 0;
    std::thread thread_;
    std::unique_ptr<httplib::Client> client_;
};

}  // namespace

TEST_F(OperatorServerTest, AgentCallsAnswerJsonWithContentLength)
{
    const auto wrong = Post("/agent/login", {{"id", "demo", "", ""}, {"password", "nope", "", ""}});
    ASSERT_TRUE(wrong);
    EXPECT_EQ(wrong->get_header_value("Content-Type"), "application/json; charset=UTF-8");
    EXPECT_EQ(wrong->get_header_value("Content-Length"), std::to_string(wrong->body.size()));
    EXPECT_EQ(Body(wrong)["resultCode"].asInt(), 407);

    const std::string token = Login();
    ASSERT_FALSE(token.empty());
    const Json::Value licence = Body(Post("/agent/license", {{"token", token, "", ""}}));
    EXPECT_EQ(licence["resultList"]["license"][0]["url"].asString(),
              "http://127.0.0.1:" + std::to_string(port_) + "/download/viewer.exe");

    const std::string report = R"({"license":[{"state":"installed","type":"PAVO_VIEWER"}]})";
    EXPECT_EQ(Body(Post("/agent/license-status", {{"token", token, "", ""}, {"LicenseList", report, "", ""}}))
                  ["resultCode"].asInt(),
              200);
    EXPECT_EQ(Body(client_->Get("/status"))["users"]["demo"]["PAVO_VIEWER"].asString(), "installed");

    const Json::Value last = Body(client_->Get("/admin/last-request"));
    EXPECT_EQ(last["path"].asString(), "/agent/license-status");
    EXPECT_EQ(last["form"]["LicenseList"].asString(), report);
}

TEST_F(OperatorServerTest, FaultsSpoilAnswersOnTheirPathOnly)
{
    SetFault(R"({"path": "/agent/login", "resultCode": 500})");
    EXPECT_EQ(Body(Post("/agent/login", {{"id", "demo", "", ""}, {"password", "demo1234", "", ""}}))["resultCode"]
                  .asInt(),
              500);

    SetFault(R"({"path": "/agent/health-check", "malformedJson": true})");
    auto result = Post("/agent/health-check", {{"token", "x", "", ""}});
    ASSERT_TRUE(result);
    Json::Value ignored;
    EXPECT_FALSE(ParseJsonText(result->body, &ignored));

    SetFault(R"({"path": "/agent/license", "omitContentLength": true, "contentType": "text/plain; charset= euc-kr"})");
    result = Post("/agent/license", {{"token", "x", "", ""}});
    ASSERT_TRUE(result);
    EXPECT_FALSE(result->has_header("Content-Length"));
    EXPECT_FALSE(result->has_header("Transfer-Encoding"));
    EXPECT_EQ(result->get_header_value("Content-Type"), "text/plain; charset= euc-kr");
    EXPECT_EQ(Body(result)["resultCode"].asInt(), 406);

    SetFault(R"({"path": "/agent/token", "chunked": true})");
    result = Post("/agent/token", {{"token", "x", "", ""}, {"password", "y", "", ""}});
    ASSERT_TRUE(result);
    EXPECT_EQ(result->get_header_value("Transfer-Encoding"), "chunked");
    EXPECT_EQ(Body(result)["resultCode"].asInt(), 406);

    SetFault(R"({"path": "/agent/health-check", "httpStatus": 500})");
    result = Post("/agent/health-check", {{"token", "x", "", ""}});
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 500);
    EXPECT_EQ(Body(result)["resultCode"].asInt(), 406);

    for (const char* malformed : {R"({"path": "/x", "delayMs": "long"})", R"({"path": "/x", "httpStatus": 42})",
                                  R"({"path": "/x", "httpStatus": "500"})"}) {
        const auto rejected = client_->Post("/admin/fault", malformed, "application/json");
        ASSERT_TRUE(rejected);
        EXPECT_EQ(rejected->status, 400) << malformed;
    }

    ASSERT_TRUE(client_->Post("/admin/reset", "", "application/json"));
    EXPECT_EQ(Body(Post("/agent/token", {{"token", "x", "", ""}, {"password", "y", "", ""}}))["resultCode"].asInt(),
              406);
}

TEST_F(OperatorServerTest, ExpireTokensFaultEndsSessions)
{
    const std::string token = Login();
    SetFault(R"({"expireTokens": true})");
    EXPECT_EQ(Body(Post("/agent/health-check", {{"token", token, "", ""}, {"agentStatus", "true", "", ""}}))
                  ["resultCode"].asInt(),
              406);
}

TEST_F(OperatorServerTest, DownloadsCarryTheFileAndItsLength)
{
    auto result = client_->Get("/download/viewer.exe");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    EXPECT_EQ(result->get_header_value("Content-Length"), "200000");
    EXPECT_EQ(result->body, std::string(200000, 'x'));

    SetFault(R"({"path": "/download", "chunked": true})");
    result = client_->Get("/download/viewer.exe");
    ASSERT_TRUE(result);
    EXPECT_FALSE(result->has_header("Content-Length"));
    EXPECT_EQ(result->body.size(), 200000u);

    EXPECT_EQ(client_->Get("/download/missing.exe")->status, 404);
    EXPECT_EQ(client_->Get("/download/..%2Fdata.json")->status, 404);
}

TEST_F(OperatorServerTest, ThrottledDownloadsArriveAtTheirRate)
{
    using Clock = std::chrono::steady_clock;
    const auto elapsedMs = [](Clock::time_point since) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count();
    };
    // 200,000 bytes at 400,000 a second: half a second, with or without a length.
    SetFault(R"({"path": "/download", "bytesPerSecond": 400000})");
    auto started = Clock::now();
    auto result = client_->Get("/download/viewer.exe");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->body, std::string(200000, 'x'));
    EXPECT_GE(elapsedMs(started), 450);
    EXPECT_LT(elapsedMs(started), 3000);

    SetFault(R"({"path": "/download", "bytesPerSecond": 400000, "omitContentLength": true})");
    started = Clock::now();
    result = client_->Get("/download/viewer.exe");
    ASSERT_TRUE(result);
    EXPECT_FALSE(result->has_header("Content-Length"));
    EXPECT_EQ(result->body.size(), 200000u);
    EXPECT_GE(elapsedMs(started), 450);

    // A fault for the file itself wins over the one for every download.
    SetFault(R"({"path": "/download/viewer.exe", "bytesPerSecond": 0})");
    started = Clock::now();
    ASSERT_TRUE(client_->Get("/download/viewer.exe"));
    EXPECT_LT(elapsedMs(started), 400);

    for (const char* malformed : {R"({"path": "/x", "bytesPerSecond": -1})", R"({"path": "/x", "bytesPerSecond": "fast"})"}) {
        const auto rejected = client_->Post("/admin/fault", malformed, "application/json");
        ASSERT_TRUE(rejected);
        EXPECT_EQ(rejected->status, 400) << malformed;
    }
}

// A script tells that the agent is back after a fault from the first clean
// answer whose sequence number is later than the fault's end.
TEST_F(OperatorServerTest, ActivityTellsCleanAnswersFromSpoiledOnes)
{
    const std::string token = Login();
    const auto heartbeat = [&] {
        return Post("/agent/health-check", {{"token", token, "", ""}, {"agentStatus", "true", "", ""}});
    };
    ASSERT_TRUE(heartbeat());
    Json::Value activity = Body(client_->Get("/admin/activity"));
    const uint64_t firstClean = activity["paths"]["/agent/health-check"]["lastCleanSequence"].asUInt64();
    EXPECT_EQ(activity["sequence"].asUInt64(), 2u);
    EXPECT_EQ(firstClean, 2u);
    EXPECT_EQ(activity["paths"]["/agent/login"]["clean"].asUInt64(), 1u);

    for (const char* fault : {R"({"path": "*", "malformedJson": true})", R"({"path": "*", "chunked": true})",
                              R"({"path": "*", "resultCode": 500})"}) {
        SetFault(fault);
        ASSERT_TRUE(heartbeat());
    }
    ASSERT_TRUE(client_->Post("/admin/reset", "", "application/json"));
    SetFault(R"({"expireTokens": true})");
    ASSERT_TRUE(heartbeat());  // unspoiled, but the token is no longer valid
    activity = Body(client_->Get("/admin/activity"));
    const Json::Value& path = activity["paths"]["/agent/health-check"];
    EXPECT_EQ(path["requests"].asUInt64(), 5u);
    EXPECT_EQ(path["spoiled"].asUInt64(), 3u);
    EXPECT_EQ(path["clean"].asUInt64(), 1u);
    EXPECT_EQ(path["lastResultCode"].asInt(), 406);
    EXPECT_EQ(path["lastCleanSequence"].asUInt64(), firstClean);

    const uint64_t faultEnded = activity["sequence"].asUInt64();
    const std::string again = Login();
    ASSERT_TRUE(Post("/agent/health-check", {{"token", again, "", ""}, {"agentStatus", "true", "", ""}}));
    activity = Body(client_->Get("/admin/activity"));
    EXPECT_GT(activity["paths"]["/agent/health-check"]["lastCleanSequence"].asUInt64(), faultEnded);
    EXPECT_FALSE(activity["paths"]["/agent/health-check"]["lastCleanTime"].asString().empty());
}
