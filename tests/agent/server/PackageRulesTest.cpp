#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "PackageRules.h"
#include "ResultCode.h"
#include "SessionManager.h"

using namespace PackageRules;

namespace {

Json::Value Parse(const std::string& text)
{
    Json::Value root;
    std::string error;
    EXPECT_TRUE(ParseJsonText(text, &root, &error)) << text;
    return root;
}

const char kInfo[] = R"("info": {"customerId": "C-1", "customerName": "고객", "co_nm": "ACME"})";

}  // namespace

TEST(PackageRulesTest, LicenseAnswers)
{
    struct Case {
        std::string body;
        int result;
    } cases[] = {
        {std::string(R"({"resultCode": 200, "resultList": {"license": [], )") + kInfo + "}}", -9000},
        {R"({"resultCode": 401, "resultList": {}})", -2},
        {R"({"resultCode": 500})", -3},
        {R"({"resultCode": 400})", -9001},
        {R"({"resultCode": 406, "resultList": {}})", -9002},
        {R"({"resultList": {}})", -9000},
        {"<html>502 Bad Gateway</html>", -9000},
        {R"({"resultCode": "200", "resultList": {}})", -9000},
        {R"({"resultCode": 200, "resultList": {"license": [{"type": "A", "url": "u"}]}})", -9000},
        {std::string(R"({"resultCode": 200, "resultList": {"license": [{"type": "A"}], )") + kInfo + "}}", -9000},
        {std::string(R"({"resultCode": 200, "resultList": {"license": [{"type": 7, "url": "u"}], )") + kInfo + "}}",
         -9000},
        {R"({"resultCode": 200, "resultList": []})", -9000},
    };
    for (const Case& c : cases) {
        LicenseData data;
        EXPECT_EQ(ParseLicense(c.body, &data), c.result) << c.body;
    }

    LicenseData data;
    const std::string body = std::string(R"({"resultCode": 200, "resultList": {"license": )") +
                             R"({"b": {"type": "KTL_9_04", "url": "http://h/x.exe"}, "a": {"type": "P1", "url": "u1"}}, )" +
                             kInfo + "}}";
    ASSERT_EQ(ParseLicense(body, &data), 0);
    // An object's members are taken in key order.
    ASSERT_EQ(data.products.size(), 2u);
    EXPECT_EQ(data.products[0].productCode, L"P1");
    EXPECT_EQ(data.products[1].productCode, L"KTL_9_04");
    EXPECT_EQ(data.products[1].url, L"http://h/x.exe");
    EXPECT_FALSE(data.products[1].installed);
    EXPECT_EQ(data.customerName, L"고객");
    EXPECT_EQ(data.coNm, L"ACME");

    // Customer fields that are missing or not text are empty text, not a fault.
    for (const char* info : {R"({"customerId": "C"})", R"({"customerId": "C", "customerName": 7, "co_nm": null})"}) {
        LicenseData partial;
        const std::string answer =
            std::string(R"({"resultCode": 200, "resultList": {"license": [{"type": "A", "url": "u"}], "info": )") +
            info + "}}";
        ASSERT_EQ(ParseLicense(answer, &partial), 0) << info;
        EXPECT_EQ(partial.products.size(), 1u);
        EXPECT_EQ(partial.customerId, L"C");
        EXPECT_EQ(partial.customerName, L"");
        EXPECT_EQ(partial.coNm, L"");
    }

    EXPECT_EQ(ParseLicenseStatus(R"({"resultCode": 200, "resultList": {}})"), 0);
    EXPECT_EQ(ParseLicenseStatus(R"({"resultCode": 409})"), -9005);
    EXPECT_EQ(ParseLicenseStatus(R"({"resultList": {}})"), -9000);
    EXPECT_EQ(ParseLicenseStatus("not json"), -9000);
}

TEST(PackageRulesTest, LicenseListIsTheStyledText)
{
    PRODUCT_INFO first{L"PAVO_VIEWER", L"u1", true};
    PRODUCT_INFO second{L"KTL_9_04", L"u2", false};
    EXPECT_EQ(MakeLicenseList({first, second}),
              "{\n"
              "   \"license\" : [\n"
              "      {\n"
              "         \"state\" : \"installed\",\n"
              "         \"type\" : \"PAVO_VIEWER\"\n"
              "      },\n"
              "      {\n"
              "         \"state\" : \"uninstalled\",\n"
              "         \"type\" : \"KTL_9_04\"\n"
              "      }\n"
              "   ]\n"
              "}\n");
    EXPECT_EQ(MakeLicenseList({}), "{\n   \"license\" : []\n}\n");
}

TEST(PackageRulesTest, InspectionRules)
{
    const Json::Value root = Parse(R"({
        "TWO": [{"type": "service", "value": "SvcA"}, {"type": "file", "value": "x"}, {"type": "service", "value": "SvcB"}],
        "OTHER": [{"type": "registry", "value": "HKLM"}],
        "PLAIN": "not rules"})");
    std::string error;
    EXPECT_TRUE(ValidateRules(root, &error)) << error;
    EXPECT_EQ(ServiceRulesFor(root, L"TWO"), (std::vector<std::wstring>{L"SvcA", L"SvcB"}));
    EXPECT_TRUE(ServiceRulesFor(root, L"OTHER").empty());
    EXPECT_TRUE(ServiceRulesFor(root, L"ABSENT").empty());

    for (const char* bad : {R"({"P": [{"type": "service"}]})", R"({"P": [{"value": "S"}]})",
                            R"({"P": [{"type": 1, "value": "S"}]})", R"({"P": [{"type": "service", "value": 5}]})",
                            R"({"P": ["service"]})"}) {
        error.clear();
        EXPECT_FALSE(ValidateRules(Parse(bad), &error)) << bad;
        EXPECT_NE(error.find("P: rule 0"), std::string::npos) << error;
    }

    EXPECT_TRUE(IsEmptyInspection(Json::Value()));
    EXPECT_TRUE(IsEmptyInspection(Parse("{}")));
    EXPECT_TRUE(IsEmptyInspection(Parse("[]")));
    EXPECT_FALSE(IsEmptyInspection(Parse("[1]")));
    EXPECT_FALSE(IsEmptyInspection(Parse("5")));
}

TEST(PackageRulesTest, InstallerInformation)
{
    const Json::Value root = Parse(R"({
        "P": [{"type": "installer_x86", "value": "old"}, {"type": "installer_x86", "value": "a.exe; b"},
              {"type": "installer_x64", "value": "c"}, {"type": "mutex", "value": "M"}, {"type": "other", "value": "z"}],
        "X86ONLY": [{"type": "installer_x86", "value": "setup32"}],
        "EMPTY": []})");
    const INSTALLER_INFO info = InstallerInfoFor(root, L"P");
    EXPECT_EQ(info.x86ProcessList, L"a.exe; b");
    EXPECT_EQ(info.x64ProcessList, L"c");
    EXPECT_EQ(info.mutexName, L"M");
    EXPECT_EQ(ChooseProcessList(info, true), L"c");
    EXPECT_EQ(ChooseProcessList(info, false), L"a.exe; b");
    EXPECT_EQ(ChooseProcessList(InstallerInfoFor(root, L"X86ONLY"), true), L"");
    const INSTALLER_INFO empty = InstallerInfoFor(root, L"EMPTY");
    EXPECT_TRUE(empty.x86ProcessList.empty() && empty.x64ProcessList.empty() && empty.mutexName.empty());

    EXPECT_EQ(SplitTrimmed(L" a.exe ;; b\t;  ", L';'), (std::vector<std::wstring>{L"a.exe", L"b"}));
    EXPECT_TRUE(SplitTrimmed(L"", L';').empty());
}

TEST(PackageRulesTest, InstallerFileNames)
{
    std::wstring name;
    ASSERT_TRUE(InstallerFileName(L"http://127.0.0.1:1/download/setup.exe", L"P", L"ACME", &name));
    EXPECT_EQ(name, L"setup.exe");
    ASSERT_TRUE(InstallerFileName(L"http://127.0.0.1:1/download/setup.exe", L"KTL_9_04", L"ACME", &name));
    EXPECT_EQ(name, L"ACMEsetup.exe");
    ASSERT_TRUE(InstallerFileName(L"http://h/a//b/ setup.exe /", L"ktl_9_04", L"ACME", &name));
    EXPECT_EQ(name, L"setup.exe");

    // Names that would leave the download folder, that Windows forbids, or that
    // it would take for a device or another file.
    const wchar_t* refused[] = {
        L"http://h",           L"http://h/",          L"http://h/d/..",        L"http://h/d/.",
        L"http://h/d/a:b.exe", L"http://h/d/a\\..\\b", L"http://h/d/x.exe?v=1", L"http://h/d/CON",
        L"http://h/d/nul.exe", L"http://h/d/COM1.txt", L"http://h/d/lpt9",      L"http://h/d/a|b",
        L"http://h/d/a<b>",    L"http://h/d/a\"b",     L"http://h/d/a*",        L"http://h/d/setup.exe.",
        L"http://h/d/a\x01z",  L"",                    L"///",
    };
    for (const wchar_t* url : refused) EXPECT_FALSE(InstallerFileName(url, L"P", L"ACME", &name)) << url;
    // The company name counts as part of the name.
    EXPECT_FALSE(InstallerFileName(L"http://h/d/setup.exe", L"KTL_9_04", L"..\\..\\Windows\\", &name));
    EXPECT_FALSE(InstallerFileName(L"http://h/d/.exe", L"KTL_9_04", L"CON", &name));
    EXPECT_TRUE(IsSafeFileName(L"CONSOLE.exe"));
    EXPECT_TRUE(IsSafeFileName(L"a~svc=B.exe"));
    EXPECT_FALSE(IsSafeFileName(std::wstring(256, L'a')));
}

TEST(PackageRulesTest, ResultCodesAndSessionAnswers)
{
    EXPECT_EQ(ToResultCode(200), 0);
    EXPECT_EQ(ToResultCode(400), -9001);
    EXPECT_EQ(ToResultCode(408), -9004);
    EXPECT_EQ(ToResultCode(409), -9005);
    EXPECT_EQ(ToResultCode(500), -3);
    EXPECT_EQ(ToResultCode(401), -2);

    const int64_t when = SessionManager::ParseLocalTime("2030-06-15 13:45:10");
    ASSERT_GT(when, 0);
    EXPECT_EQ(SessionManager::FormatLocalTime(when), "2030-06-15 13:45:10");
    for (const char* bad : {"2030-06-15T13:45:10", "2030-06-15", "2030-13-01 00:00:00", ""})
        EXPECT_EQ(SessionManager::ParseLocalTime(bad), -1) << bad;
    // Only the leading date and time count.
    EXPECT_EQ(SessionManager::ParseLocalTime("2030-06-15 13:45:10Z"), when);
    EXPECT_EQ(SessionManager::ParseLocalTime("2030-06-15 13:45:10.000"), when);

    bool hasNotice = true;
    NOTICE_INFO notice;
    EXPECT_EQ(SessionManager::ParseHealthCheckResponse(R"({"resultCode": 200, "resultList": {}})", &hasNotice, &notice), 0);
    EXPECT_FALSE(hasNotice);
    EXPECT_EQ(SessionManager::ParseHealthCheckResponse(
                  R"({"resultCode": 200, "resultList": {"notice": {"title": "t", "body": "b", "id": 9007199254740993, "date": "d"}}})",
                  &hasNotice, &notice),
              0);
    EXPECT_TRUE(hasNotice);
    EXPECT_EQ(notice.id, 9007199254740993LL);
    EXPECT_EQ(SessionManager::ParseHealthCheckResponse(
                  R"({"resultCode": 200, "resultList": {"notice": {"title": "t", "body": "b", "date": "d"}}})",
                  &hasNotice, &notice),
              -9000);
    EXPECT_EQ(SessionManager::ParseHealthCheckResponse(
                  R"({"resultCode": 200, "resultList": {"notice": {"title": "t", "body": 1, "id": 1, "date": "d"}}})",
                  &hasNotice, &notice),
              -9000);
    EXPECT_EQ(SessionManager::ParseHealthCheckResponse(R"({"resultCode": 406})", &hasNotice, &notice), -9000);
    EXPECT_EQ(SessionManager::ParseHealthCheckResponse(R"({"resultCode": 406, "resultList": {}})", &hasNotice, &notice),
              -9002);
}
