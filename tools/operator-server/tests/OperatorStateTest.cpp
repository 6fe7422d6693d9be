#include <gtest/gtest.h>

#include "OperatorServer.h"
#include "OperatorState.h"

using namespace PavoOperator;

namespace {

Json::Value TestData()
{
    Json::Value data;
    const bool parsed = ParseJsonText(R"({
        "tokenLifetimeSeconds": 600,
        "notice": {"id": 7, "title": "공지", "body": "점검 안내", "date": "2026-12-01"},
        "customers": {"C1": {"customerName": "Demo Customer", "co_nm": "DEMO",
                             "license": [{"type": "PAVO_VIEWER", "url": "${SERVER}/download/viewer.exe", "sha256": "file"},
                                         {"type": "PAVO_GUARD", "url": "${SERVER}/download/guard.exe", "sha256": "AB"}]}},
        "users": [{"id": "demo", "password": "demo1234", "customerId": "C1"},
                  {"id": "orphan", "password": "pw", "customerId": "NONE"}]
    })", &data);
    EXPECT_TRUE(parsed);
    return data;
}

class OperatorStateTest : public ::testing::Test {
protected:
    std::time_t now_ = 1800000000;
    OperatorState state_{TestData(), "http://127.0.0.1:9", [this] { return now_; }};

    std::string LoginToken()
    {
        const Json::Value answer = state_.Login("demo", "demo1234");
        EXPECT_EQ(answer["resultCode"].asInt(), 200);
        return answer["resultList"]["token"].asString();
    }
};

}  // namespace

TEST_F(OperatorStateTest, FiveWrongEntriesInARowLockTheAccount)
{
    EXPECT_EQ(state_.Login("nobody", "x")["resultCode"].asInt(), kWrongPassword);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(state_.Login("demo", "wrong")["resultCode"].asInt(), kWrongPassword);
    // A right entry breaks the row.
    LoginToken();
    for (int i = 0; i < 5; ++i) EXPECT_EQ(state_.Login("demo", "wrong")["resultCode"].asInt(), kWrongPassword);
    EXPECT_EQ(state_.Login("demo", "demo1234")["resultCode"].asInt(), kLocked);
    EXPECT_EQ(state_.Login("demo", "wrong")["resultCode"].asInt(), kLocked);
    state_.ResetLockouts();
    LoginToken();
    EXPECT_EQ(state_.Login("demo", "")["resultCode"].asInt(), kBadRequest);
}

TEST_F(OperatorStateTest, TokensExpireAndRenewalsMoveTheExpiryForward)
{
    const Json::Value login = state_.Login("demo", "demo1234");
    EXPECT_EQ(login["resultList"]["tokenExpTime"].asString(), OperatorState::FormatLocalTime(now_ + 600));
    const std::string token = login["resultList"]["token"].asString();
    EXPECT_EQ(token.size(), 32u);

    EXPECT_EQ(state_.RenewToken(token, "wrong")["resultCode"].asInt(), kWrongPassword);
    EXPECT_EQ(state_.RenewToken("unknown", "demo1234")["resultCode"].asInt(), kBadToken);

    // A lifetime of 0 still gives a later expiry than the old one.
    state_.SetTokenLifetime(0);
    const Json::Value renewed = state_.RenewToken(token, "demo1234");
    ASSERT_EQ(renewed["resultCode"].asInt(), 200);
    EXPECT_EQ(renewed["resultList"]["tokenExpTime"].asString(), OperatorState::FormatLocalTime(now_ + 601));
    const std::string current = renewed["resultList"]["token"].asString();
    EXPECT_EQ(state_.HealthCheck(current)["resultCode"].asInt(), 200);
    now_ += 601;
    EXPECT_EQ(state_.HealthCheck(current)["resultCode"].asInt(), kBadToken);
    // Expired tokens may still be renewed.
    EXPECT_EQ(state_.RenewToken(current, "demo1234")["resultCode"].asInt(), 200);
}

TEST_F(OperatorStateTest, ARenewedTokenServesOutItsGracePeriodAndIsThenForgotten)
{
    const std::string token = LoginToken();
    const std::string renewed = state_.RenewToken(token, "demo1234")["resultList"]["token"].asString();
    ASSERT_FALSE(renewed.empty());
    // A request already on its way with the old token still gets its answer.
    now_ += kRenewalGraceSeconds - 1;
    EXPECT_EQ(state_.HealthCheck(token)["resultCode"].asInt(), 200);
    EXPECT_EQ(state_.License(token)["resultCode"].asInt(), 200);
    EXPECT_EQ(state_.SessionCount(), 2u);
    now_ += 1;
    EXPECT_EQ(state_.HealthCheck(token)["resultCode"].asInt(), kBadToken);
    EXPECT_EQ(state_.RenewToken(token, "demo1234")["resultCode"].asInt(), kBadToken);
    EXPECT_EQ(state_.SessionCount(), 1u) << "the replaced token is pruned";
    EXPECT_EQ(state_.HealthCheck(renewed)["resultCode"].asInt(), 200);

    // A token expired for longer than it may be renewed is forgotten as well.
    now_ += 600 + kExpiredRenewalSeconds;
    LoginToken();
    EXPECT_EQ(state_.SessionCount(), 1u);
    EXPECT_EQ(state_.RenewToken(renewed, "demo1234")["resultCode"].asInt(), kBadToken);
}

TEST_F(OperatorStateTest, ExpireTokensEndsEverySession)
{
    const std::string token = LoginToken();
    state_.ExpireTokens();
    EXPECT_EQ(state_.HealthCheck(token)["resultCode"].asInt(), kBadToken);
    EXPECT_EQ(state_.License(token)["resultCode"].asInt(), kBadToken);
}

TEST_F(OperatorStateTest, HeartbeatCarriesTheCurrentNotice)
{
    const std::string token = LoginToken();
    Json::Value answer = state_.HealthCheck(token);
    EXPECT_EQ(answer["resultList"]["notice"]["id"].asInt64(), 7);
    EXPECT_EQ(answer["resultList"]["notice"]["title"].asString(), "공지");
    state_.SetNotice(Json::Value());
    answer = state_.HealthCheck(token);
    EXPECT_TRUE(answer["resultList"].isObject());
    EXPECT_FALSE(answer["resultList"].isMember("notice"));
}

TEST_F(OperatorStateTest, LicenceListBelongsToTheUsersCustomer)
{
    const Json::Value answer = state_.License(LoginToken());
    ASSERT_EQ(answer["resultCode"].asInt(), 200);
    const Json::Value& list = answer["resultList"];
    ASSERT_EQ(list["license"].size(), 2u);
    EXPECT_EQ(list["license"][0]["type"].asString(), "PAVO_VIEWER");
    EXPECT_EQ(list["license"][0]["url"].asString(), "http://127.0.0.1:9/download/viewer.exe");
    EXPECT_EQ(list["info"]["customerId"].asString(), "C1");
    EXPECT_EQ(list["info"]["customerName"].asString(), "Demo Customer");
    EXPECT_EQ(list["info"]["co_nm"].asString(), "DEMO");

    const std::string orphan = state_.Login("orphan", "pw")["resultList"]["token"].asString();
    EXPECT_EQ(state_.License(orphan)["resultCode"].asInt(), kServerError);
}

TEST_F(OperatorStateTest, LicenceDigestsComeFromTheFileOrTheData)
{
    // Without a way to hash files "file" sends nothing; a literal goes as it is.
    Json::Value license = state_.License(LoginToken())["resultList"]["license"];
    EXPECT_FALSE(license[0].isMember("sha256"));
    EXPECT_EQ(license[1]["sha256"].asString(), "AB");

    std::string asked;
    state_.SetFileDigest([&asked](const std::string& name) {
        asked = name;
        return std::string(64, 'c');
    });
    license = state_.License(LoginToken())["resultList"]["license"];
    EXPECT_EQ(asked, "viewer.exe");
    EXPECT_EQ(license[0]["sha256"].asString(), std::string(64, 'c'));
    state_.SetFileDigest([](const std::string&) { return std::string(); });
    EXPECT_FALSE(state_.License(LoginToken())["resultList"]["license"][0].isMember("sha256")) << "no such file";
}

TEST_F(OperatorStateTest, ReportedStatesReplaceEarlierReports)
{
    const std::string token = LoginToken();
    const std::string report =
        "{\n   \"license\" : [\n      {\n         \"state\" : \"installed\",\n         \"type\" : \"PAVO_VIEWER\"\n"
        "      },\n      {\n         \"state\" : \"uninstalled\",\n         \"type\" : \"PAVO_GUARD\"\n      }\n   ]\n}\n";
    EXPECT_EQ(state_.LicenseStatus(token, report)["resultCode"].asInt(), 200);
    Json::Value status = state_.Status();
    EXPECT_EQ(status["users"]["demo"]["PAVO_VIEWER"].asString(), "installed");
    EXPECT_EQ(status["users"]["demo"]["PAVO_GUARD"].asString(), "uninstalled");

    EXPECT_EQ(state_.LicenseStatus(token, R"({"license":[{"type":"PAVO_GUARD","state":"installed"}]})")["resultCode"]
                  .asInt(),
              200);
    status = state_.Status();
    EXPECT_FALSE(status["users"]["demo"].isMember("PAVO_VIEWER"));
    EXPECT_EQ(status["users"]["demo"]["PAVO_GUARD"].asString(), "installed");

    for (const char* bad : {"not json", "{}", R"({"license":[{"type":"X","state":"maybe"}]})",
                            R"({"license":[{"type":1,"state":"installed"}]})"})
        EXPECT_EQ(state_.LicenseStatus(token, bad)["resultCode"].asInt(), kBadRequest) << bad;
    EXPECT_EQ(state_.Status()["users"]["demo"]["PAVO_GUARD"].asString(), "installed");
}
