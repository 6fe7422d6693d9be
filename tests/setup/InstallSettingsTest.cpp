#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "InstallSettings.h"
#include "Lumen/StringTable.h"
#include "Lumen/StringUtils.h"
#include "TestSupport.h"

using namespace PavoSetup;

namespace {

const SettingProperty& Property(const char* name)
{
    for (const SettingProperty& property : SettingProperties())
        if (std::string(property.property) == name) return property;
    throw std::runtime_error(name);
}

std::map<std::wstring, std::wstring> Parse(const std::string& bytes)
{
    std::map<std::wstring, std::wstring> table;
    std::string error;
    EXPECT_TRUE(Lumen::ParseStringTable(bytes, &table, &error)) << error;
    return table;
}

}  // namespace

TEST(InstallSettingsTest, ServerAddressesAcceptedAndRefused)
{
    std::string reason;
    for (const char* good : {"http://example.org", "https://pavo.example.org:8443", "HTTPS://Host-1.example/pavo/api",
                             "http://127.0.0.1:18480", "https://[::1]:443/x", "http://srv_01/a%20b/", "http://h:65535"})
        EXPECT_TRUE(IsValidServerAddress(good, &reason)) << good << ": " << reason;

    for (const char* bad : {"", "example.org", "ftp://example.org", "http://", "http:///path", "http://user@host",
                            "http://user:pw@host/", "http://host/a?b=1", "http://host/#top", "http://ho st",
                            "http://host/a b", "http://host\t", "http://host/\x7f", "http://host:0", "http://host:65536",
                            "http://host:", "http://host:80x", "http://host:123456", "http://[::1", "http://[]",
                            "http://[zz]/", "http://ho$t/", "http://host\\share", "http://host/\"x\"",
                            " http://host", "http://host\r\n"})
        EXPECT_FALSE(IsValidServerAddress(bad, &reason)) << bad;
}

TEST(InstallSettingsTest, SettingsAreCheckedAndNormalised)
{
    TableSetting setting;
    std::string reason;
    ASSERT_TRUE(CheckSetting(Property("SERVER_URL"), "https://pavo.example.org/api//", &setting, &reason));
    EXPECT_EQ(setting.key, "Pavo_HOST_URL");
    EXPECT_EQ(setting.value, "https://pavo.example.org/api");
    ASSERT_TRUE(CheckSetting(Property("SERVER_URL"), "https://pavo.example.org", &setting, &reason));
    EXPECT_EQ(setting.value, "https://pavo.example.org");
    // Only the server address loses its slash; the assistance page is opened as given.
    ASSERT_TRUE(CheckSetting(Property("REMOTE_ASSIST_URL"), "https://help.example.org/", &setting, &reason));
    EXPECT_EQ(setting.key, "REMOTE_ASSIST_URL");
    EXPECT_EQ(setting.value, "https://help.example.org/");
    EXPECT_FALSE(CheckSetting(Property("REMOTE_ASSIST_URL"), "help.example.org", &setting, &reason));

    const std::string a(64, 'a');
    const std::string upper = "0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF";
    std::string colons;
    for (size_t i = 0; i < upper.size(); i += 2) colons += (i ? ":" : "") + upper.substr(i, 2);
    ASSERT_TRUE(CheckSetting(Property("SERVER_CERT_SHA256"), a + " , " + colons, &setting, &reason)) << reason;
    EXPECT_EQ(setting.key, "SERVER_CERT_SHA256");
    EXPECT_EQ(setting.value, a + "," + upper);
    for (const std::string& bad : {std::string(63, 'a'), std::string(65, 'a'), std::string(63, 'a') + "g", a + ",",
                                   "," + a, a + ",," + a, std::string(), a + ";" + a})
        EXPECT_FALSE(CheckSetting(Property("SERVER_CERT_SHA256"), bad, &setting, &reason)) << bad;
}

TEST(InstallSettingsTest, DeferredDataRoundTrips)
{
    const std::vector<TableSetting> settings = {{"SERVER_URL", "Pavo_HOST_URL", "https://h:1/p"},
                                                {"SERVER_CERT_SHA256", "SERVER_CERT_SHA256", std::string(64, 'f')}};
    std::string dir;
    std::vector<TableSetting> back;
    ASSERT_TRUE(UnpackSettings(PackSettings("C:\\Program Files\\Pavo Agent\\", settings), &dir, &back));
    EXPECT_EQ(dir, "C:\\Program Files\\Pavo Agent\\");
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[1].property, "SERVER_CERT_SHA256");
    EXPECT_EQ(back[0].key, "Pavo_HOST_URL");
    EXPECT_EQ(back[0].value, "https://h:1/p");
    EXPECT_FALSE(UnpackSettings("", &dir, &back));
    EXPECT_FALSE(UnpackSettings("C:\\x\\\tSERVER_URL\tPavo_HOST_URL", &dir, &back));
}

// The shipped tables: a changed entry alters only its value's bytes, a new one
// copies the file's layout, and the agent's reader sees every other entry as before.
TEST(InstallSettingsTest, LanguageTableEditKeepsEverythingElse)
{
    for (const wchar_t* name : {L"language\\kor.json", L"language\\eng.json"}) {
        const std::string original = PavoTest::ReadFileBytes(PavoTest::BinDirectory() + name);
        ASSERT_FALSE(original.empty());
        const auto before = Parse(original);

        std::string changed;
        std::string error;
        ASSERT_TRUE(Lumen::SetStringTableValue(original, "Pavo_HOST_URL", "https://p.example:8443", &changed, &error));
        const std::string oldValue = "\"http://127.0.0.1:18480\"";
        const size_t at = original.find(oldValue);
        ASSERT_NE(at, std::string::npos);
        EXPECT_EQ(changed, original.substr(0, at) + "\"https://p.example:8443\"" + original.substr(at + oldValue.size()));

        std::string added;
        ASSERT_TRUE(Lumen::SetStringTableValue(changed, "SERVER_CERT_SHA256", "ab", &added, &error));
        auto after = Parse(added);
        EXPECT_EQ(after.size(), before.size() + 1);
        EXPECT_EQ(after[L"SERVER_CERT_SHA256"], L"ab");
        EXPECT_EQ(after[L"Pavo_HOST_URL"], L"https://p.example:8443");
        after.erase(L"SERVER_CERT_SHA256");
        after[L"Pavo_HOST_URL"] = before.at(L"Pavo_HOST_URL");
        EXPECT_EQ(after, before);
        EXPECT_NE(added.find("},\n    {\n      \"key\": \"SERVER_CERT_SHA256\",\n      \"value\": \"ab\"\n    }\n  ]"),
                  std::string::npos);
        // Setting it again changes the entry in place instead of adding another.
        std::string again;
        ASSERT_TRUE(Lumen::SetStringTableValue(added, "SERVER_CERT_SHA256", "cd", &again, &error));
        EXPECT_EQ(again.size(), added.size());
        EXPECT_EQ(Parse(again).size(), before.size() + 1);
    }
}

TEST(InstallSettingsTest, LanguageTableEditEdgeCases)
{
    std::string out;
    std::string error;
    // The first of two equal keys is the one the reader keeps.
    const std::string twice = "{\"strings\":[{\"key\":\"K\",\"value\":\"1\"},{\"key\":\"K\",\"value\":\"2\"}]}";
    ASSERT_TRUE(Lumen::SetStringTableValue(twice, "K", "x", &out, &error));
    EXPECT_EQ(out, "{\"strings\":[{\"key\":\"K\",\"value\":\"x\"},{\"key\":\"K\",\"value\":\"2\"}]}");
    // Windows line ends and other members survive; values are escaped.
    const std::string crlf = "{\r\n \"language\": \"ENG\",\r\n \"strings\": [\r\n  {\"value\": \"v\", \"key\": \"A\", "
                             "\"note\": 1}\r\n ]\r\n}\r\n";
    ASSERT_TRUE(Lumen::SetStringTableValue(crlf, "B", "q\"\\", &out, &error));
    EXPECT_EQ(out, "{\r\n \"language\": \"ENG\",\r\n \"strings\": [\r\n  {\"value\": \"v\", \"key\": \"A\", \"note\": 1},"
                   "\r\n  {\"value\": \"q\\\"\\\\\", \"key\": \"B\", \"note\": 1}\r\n ]\r\n}\r\n");
    EXPECT_EQ(Parse(out)[L"B"], L"q\"\\");
    ASSERT_TRUE(Lumen::SetStringTableValue("{\"strings\": []}", "A", "1", &out, &error));
    EXPECT_EQ(Parse(out)[L"A"], L"1");
    // What the agent would not read whole is never rewritten.
    for (const char* bad : {"", "not json", "{\"strings\": {}}", "{\"strings\": [{\"key\": \"A\"}]}",
                            "{\"strings\": [{\"key\": \"A\", \"value\": 1}]}"}) {
        EXPECT_FALSE(Lumen::SetStringTableValue(bad, "A", "1", &out, &error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}
