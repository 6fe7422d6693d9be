#include <gtest/gtest.h>
#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "ConfigManager.h"
#include "Lumen/LogManager.h"
#include "Lumen/StringUtils.h"
#include "ServerTestSupport.h"
#include "SessionManager.h"
#include "TestSupport.h"

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

    // What follows the leading date and time (fractions, a zone letter) is
    // ignored: such an expiry is not taken for one already past.
    const int64_t plain = SessionManager::ParseLocalTime("2031-01-01 00:00:00");
    ASSERT_GT(plain, 0);
    for (const char* expiry : {"2031-01-01 00:00:00.000", "2031-01-01 00:00:00Z", "2031-01-01 00:00:00 KST"}) {
        ASSERT_EQ(session_.ParsingResponseLoginAndRecertification(TokenAnswer("fourth", expiry), false), 0);
        EXPECT_EQ(session_.GetTokenExpiry(), plain) << expiry;
    }

    // Forgetting the session forgets its expiry as well.
    session_.Reset();
    EXPECT_EQ(session_.GetTokenExpiry(), 0);
    EXPECT_FALSE(session_.IsLoggedIn());
}

TEST(SessionManagerTimeTest, DaylightSavingIsTheRuntimesToDecide)
{
    // The C runtime reads TZ at its first use of the zone (Windows and Wine
    // alike), so the check runs in a fresh copy of this program that has
    // TZ from the start: Pacific time, with daylight saving from March to
    // November.
    wchar_t child[8] = {};
    if (::GetEnvironmentVariableW(L"PAVO_TZ_CHILD", child, 8) == 0) {
        wchar_t self[MAX_PATH * 2] = {};
        ASSERT_GT(::GetModuleFileNameW(nullptr, self, MAX_PATH * 2), 0u);
        ::SetEnvironmentVariableW(L"TZ", L"PST8PDT");
        ::SetEnvironmentVariableW(L"PAVO_TZ_CHILD", L"1");
        DWORD code = 1;
        const bool ended = PavoTest::RunAndWait(
            L"\"" + std::wstring(self) + L"\" --gtest_filter=SessionManagerTimeTest.*", 60000, &code);
        ::SetEnvironmentVariableW(L"TZ", nullptr);
        ::SetEnvironmentVariableW(L"PAVO_TZ_CHILD", nullptr);
        ASSERT_TRUE(ended);
        EXPECT_EQ(code, 0u) << "see the run under TZ=PST8PDT above";
        return;
    }
    std::tm summer = {};
    summer.tm_year = 2031 - 1900;
    summer.tm_mon = 6;  // July
    summer.tm_mday = 1;
    summer.tm_hour = 12;
    std::tm winter = summer;
    winter.tm_mon = 0;  // January
    // 12:00 PDT is 19:00 UTC; 12:00 PST is 20:00 UTC.
    const int64_t summerUtc = static_cast<int64_t>(_mkgmtime(&summer)) + 7 * 3600;
    const int64_t winterUtc = static_cast<int64_t>(_mkgmtime(&winter)) + 8 * 3600;
    EXPECT_EQ(SessionManager::ParseLocalTime("2031-07-01 12:00:00"), summerUtc)
        << "an hour late: the token would expire before its renewal";
    EXPECT_EQ(SessionManager::ParseLocalTime("2031-01-01 12:00:00"), winterUtc);
}

TEST_F(SessionManagerTest, AnswersWithoutContentLengthLogIn)
{
    // Servers behind a reverse proxy answer chunked or end with the connection.
    for (const char* fault : {R"({"path": "/agent/login", "chunked": true})",
                              R"({"path": "/agent/login", "omitContentLength": true})"}) {
        ASSERT_TRUE(ServerTest::Admin(L"/admin/fault", fault));
        EXPECT_EQ(session_.Login(L"tester", L"secret-pw"), 0) << fault;
        EXPECT_EQ(session_.GetToken().size(), 32u) << fault;
        session_.GetTimer().Stop();
        session_.Reset();
        ASSERT_TRUE(session_.Initialize(&handler_));
    }
}

TEST_F(SessionManagerTest, HeartbeatAnswersWithoutANotice)
{
    bool hasNotice = true;
    NOTICE_INFO notice;
    for (const char* answer : {R"({"resultCode": 200, "resultList": null})", R"({"resultCode": 200, "resultList": {}})",
                               R"({"resultCode": 200, "resultList": {"notice": null}})"}) {
        hasNotice = true;
        EXPECT_EQ(SessionManager::ParseHealthCheckResponse(answer, &hasNotice, &notice), 0) << answer;
        EXPECT_FALSE(hasNotice) << answer;
    }
    EXPECT_EQ(SessionManager::ParseHealthCheckResponse(R"({"resultCode": 200})", &hasNotice, &notice), -9000);
    EXPECT_EQ(SessionManager::ParseHealthCheckResponse(R"({"resultCode": 200, "resultList": 5})", &hasNotice, &notice),
              -9000);
}

TEST_F(SessionManagerTest, TokensInUnreadableAnswersNeverReachTheLog)
{
    Lumen::LogManager::GetInstance()->Initialize(Lumen::LogProcessKind::Agent);
    std::wstring log = Lumen::Utf8ToWide(Lumen::LogManager::GetInstance()->GetImpl()->GetLogFilePath());
    log = log.substr(0, log.rfind(L".log")) + L"_" + PavoTest::TodayForLogName() + L".log";
    const size_t before = PavoTest::ReadFileBytes(log).size();
    // A token without its expiry: refused, and the body is logged.
    ASSERT_TRUE(ServerTest::Admin(L"/admin/fault", R"({"path": "/agent/login", "omitMember": "tokenExpTime"})"));
    EXPECT_EQ(session_.Login(L"tester", L"secret-pw"), -9000);
    const std::string written = PavoTest::ReadFileBytes(log).substr(before);
    Lumen::LogManager::GetInstance()->Release();
    EXPECT_NE(written.find(R"({"resultCode":200,"resultList":{"token":"***"}})"), std::string::npos) << written;
    // No 32-character token is left anywhere in what was written.
    for (size_t at = written.find("\"token\":\""); at != std::string::npos; at = written.find("\"token\":\"", at + 1))
        EXPECT_EQ(written.compare(at + 9, 4, "***\""), 0) << written;
}

TEST_F(SessionManagerTest, ALoginWithoutItsTimerFails)
{
    // The multimedia timer has a fixed number of slots (16 in Wine): taken
    // all, the session's timer cannot start.
    std::vector<UINT> taken;
    for (int i = 0; i < 64; ++i) {
        const UINT id = ::timeSetEvent(60000, 0, [](UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) {}, 0, TIME_PERIODIC);
        if (id == 0) break;
        taken.push_back(id);
    }
    const bool exhausted = !taken.empty() && taken.size() < 64;
    int result = 0;
    if (exhausted) result = session_.Login(L"tester", L"secret-pw");
    for (UINT id : taken) ::timeKillEvent(id);
    if (!exhausted) GTEST_SKIP() << "this system's multimedia timer has no small limit to exhaust";
    EXPECT_EQ(result, -2);
    EXPECT_FALSE(session_.IsLoggedIn());
    EXPECT_FALSE(session_.GetTimer().IsRunning());
    EXPECT_EQ(session_.GetToken(), "");
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
