#include <gtest/gtest.h>

#include <atomic>
#include <ctime>
#include <string>

#include "ConfigManager.h"
#include "ServerTestSupport.h"
#include "SessionManager.h"

namespace {

class CountingSessionHandler : public ISessionChangeHandler {
public:
    void OnTokenExpired() override { ++expired; }
    std::atomic<int> expired{0};
};

class NoticeCounter : public IConfigChangeHandler {
public:
    void OnConfigChanged(int kind) override
    {
        if (kind == 1) ++notices;
    }
    std::atomic<int> notices{0};
};

int64_t Now()
{
    return static_cast<int64_t>(std::time(nullptr));
}

std::string LastPath()
{
    return ServerTest::GetJson(L"/admin/last-request")["path"].asString();
}

class SessionManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_GT(ServerTest::OperatorPort(), 0) << "run through scripts/with-operator-server.sh (ctest does)";
        ServerTest::LoadTestStrings();
        ASSERT_TRUE(session_.Initialize(&handler_));
    }

    void TearDown() override
    {
        session_.GetTimer().Stop();
        session_.Reset();
        ServerTest::Admin(L"/admin/reset", "{}");
        // The data file's notice, which other tests read.
        ServerTest::Admin(L"/admin/notice",
                          R"({"id": 42, "title": "공지 제목", "body": "한글 본문", "date": "2026-12-01 09:00:00"})");
    }

    CountingSessionHandler handler_;
    SessionManager session_;
};

// A login or renewal answer as the server words it.
std::wstring TokenAnswer(const char* token, const char* expiry)
{
    return L"{\"resultCode\": 200, \"resultList\": {\"token\": \"" + std::wstring(token, token + strlen(token)) +
           L"\", \"tokenExpTime\": \"" + std::wstring(expiry, expiry + strlen(expiry)) + L"\"}}";
}

}  // namespace

TEST_F(SessionManagerTest, LoginResults)
{
    EXPECT_FALSE(session_.IsLoggedIn());
    EXPECT_EQ(session_.HealthCheck(), -2) << "no heartbeat while logged out";
    EXPECT_EQ(session_.Recertification(), -2);

    EXPECT_EQ(session_.Login(L"tester", L"wrong"), -9003);
    EXPECT_FALSE(session_.IsLoggedIn());
    EXPECT_FALSE(session_.GetTimer().IsRunning());

    ASSERT_EQ(session_.Login(L"tester", L"secret-pw"), 0);
    EXPECT_TRUE(session_.IsLoggedIn());
    EXPECT_EQ(session_.GetToken().size(), 32u);
    EXPECT_EQ(session_.GetPassword(), "secret-pw");
    EXPECT_TRUE(session_.GetTimer().IsRunning());
    // The server issues tokens for an hour.
    EXPECT_GT(session_.GetTokenExpiry(), Now() + 3000);
    const Json::Value seen = ServerTest::GetJson(L"/admin/last-request");
    EXPECT_EQ(seen["headers"]["User-Agent"].asString(), "PavoAgent/1.0");
    EXPECT_EQ(seen["form"]["id"].asString(), "tester");

    for (int i = 0; i < 5; ++i) EXPECT_EQ(session_.Login(L"locker", L"guess"), -9003);
    EXPECT_EQ(session_.Login(L"locker", L"right-pw"), -9004) << "locked after five wrong entries";

    ServerTest::Admin(L"/admin/fault", R"({"path": "/agent/login", "malformedJson": true})");
    EXPECT_EQ(session_.Login(L"tester", L"secret-pw"), -9000);
}

TEST_F(SessionManagerTest, IncompleteOrOddAnswers)
{
    // resultCode 200 without "tokenExpTime": refused, still logged out.
    EXPECT_EQ(session_.ParsingResponseLoginAndRecertification(
                  L"{\"resultCode\": 200, \"resultList\": {\"token\": \"abc\"}}", false),
              -9000);
    EXPECT_FALSE(session_.IsLoggedIn());
    EXPECT_EQ(session_.ParsingResponseLoginAndRecertification(L"{\"resultCode\": 200, \"resultList\": []}", false),
              -9000);
    EXPECT_EQ(session_.ParsingResponseLoginAndRecertification(
                  L"{\"resultCode\": 200, \"resultList\": {\"token\": 5, \"tokenExpTime\": \"x\"}}", false),
              -9000);
    EXPECT_EQ(session_.ParsingResponseLoginAndRecertification(L"{\"resultCode\": 408, \"resultList\": {}}", false),
              -9004);
    EXPECT_FALSE(session_.IsLoggedIn());
    EXPECT_EQ(session_.GetToken(), "");

    // A renewal whose expiry does not move is logged, yet its token is taken.
    ASSERT_EQ(session_.ParsingResponseLoginAndRecertification(TokenAnswer("first", "2031-01-01 00:00:00"), false), 0);
    const int64_t expiry = session_.GetTokenExpiry();
    ASSERT_EQ(session_.ParsingResponseLoginAndRecertification(TokenAnswer("second", "2031-01-01 00:00:00"), true), 0);
    EXPECT_EQ(session_.GetToken(), "second");
    EXPECT_EQ(session_.GetTokenExpiry(), expiry);
    EXPECT_TRUE(session_.IsLoggedIn());

    // An expiry in another form counts as already past.
    ASSERT_EQ(session_.ParsingResponseLoginAndRecertification(TokenAnswer("third", "01/01/2031 00:00"), false), 0);
    EXPECT_LT(session_.GetTokenExpiry(), 0);
}

TEST_F(SessionManagerTest, UpdateStepHeartbeatAndLoss)
{
    ASSERT_EQ(session_.Login(L"tester", L"secret-pw"), 0);
    // The timer's own ticks would race the injected clock.
    session_.GetTimer().Stop();
    const int64_t start = Now();

    session_.UpdateTimer(start);
    EXPECT_EQ(LastPath(), "/agent/health-check") << "the first tick sends the heartbeat";

    // Within the minute nothing is sent: a heartbeat now would fail.
    ASSERT_TRUE(ServerTest::Admin(L"/admin/fault", R"({"path": "/agent/health-check", "resultCode": 406})"));
    session_.UpdateTimer(start + 10);
    session_.UpdateTimer(start + 59);
    EXPECT_EQ(handler_.expired, 0);
    EXPECT_TRUE(session_.IsLoggedIn());

    session_.UpdateTimer(start + 60);
    EXPECT_EQ(handler_.expired, 1) << "a failed heartbeat ends the session";
    EXPECT_FALSE(session_.IsLoggedIn());
    EXPECT_EQ(session_.HealthCheck(), -2);
}

TEST_F(SessionManagerTest, UpdateStepRenewsShortlyBeforeExpiry)
{
    ASSERT_TRUE(ServerTest::Admin(L"/admin/fault", R"({"tokenLifetimeSeconds": 30})"));
    ASSERT_EQ(session_.Login(L"tester", L"secret-pw"), 0);
    session_.GetTimer().Stop();
    const std::string firstToken = session_.GetToken();
    const int64_t firstExpiry = session_.GetTokenExpiry();
    EXPECT_LE(firstExpiry, Now() + 31);

    session_.UpdateTimer(Now());
    EXPECT_NE(session_.GetToken(), firstToken);
    EXPECT_GT(session_.GetTokenExpiry(), firstExpiry);
    EXPECT_TRUE(session_.IsLoggedIn());
    EXPECT_EQ(handler_.expired, 0);

    // A renewal the server refuses ends the session at once.
    ASSERT_TRUE(ServerTest::Admin(L"/admin/fault", R"({"path": "/agent/token", "resultCode": 407})"));
    session_.UpdateTimer(Now() + 1);
    EXPECT_EQ(handler_.expired, 1);
    EXPECT_FALSE(session_.IsLoggedIn());
}

TEST_F(SessionManagerTest, NoticeWithTheStoredIdChangesNothing)
{
    // Handlers stay registered for the store's life, so this one lives as long.
    static NoticeCounter counter;
    ConfigManager::GetInstance()->RegisterChangeHandler(&counter);
    const int before = counter.notices;
    const int64_t id = Now() * 1000 + 7;
    const std::string notice = R"({"id": )" + std::to_string(id) +
                               R"(, "title": "점검 안내", "body": "본문", "date": "2031-01-01 09:00:00"})";
    ASSERT_TRUE(ServerTest::Admin(L"/admin/notice", notice));
    ASSERT_EQ(session_.Login(L"tester", L"secret-pw"), 0);
    session_.GetTimer().Stop();

    EXPECT_EQ(session_.HealthCheck(), 0);
    EXPECT_EQ(session_.HealthCheck(), 0);
    EXPECT_EQ(counter.notices - before, 1);
    const NOTICE_INFO stored = ConfigManager::GetInstance()->GetNotice();
    EXPECT_EQ(stored.id, id);
    EXPECT_EQ(stored.title, L"점검 안내");
    EXPECT_EQ(stored.date, L"2031-01-01 09:00:00");

    // A notice missing a member is a malformed answer and ends nothing else.
    ASSERT_TRUE(ServerTest::Admin(L"/admin/notice", R"({"id": 1, "title": "t"})"));
    EXPECT_EQ(session_.HealthCheck(), -9000);
    EXPECT_EQ(ConfigManager::GetInstance()->GetNotice().id, id);
}
