#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "Lumen/StringResManager.h"
#include "Lumen/StringUtils.h"
#include "TestSupport.h"

using namespace Lumen;
using namespace PavoTest;

namespace {

std::wstring WriteLanguageFile(const std::string& json)
{
    const std::wstring path = MakeTempDirectory(L"lang") + L"table.json";
    WriteFileBytes(path, json);
    return path;
}

// The text of a JSON or C++ string literal body ("\n" and "\"" escapes only).
std::wstring Unescape(const std::string& raw)
{
    std::string text;
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\\' && i + 1 < raw.size()) {
            ++i;
            text += raw[i] == 'n' ? '\n' : raw[i];
        } else {
            text += raw[i];
        }
    }
    return Utf8ToWide(text);
}

}  // namespace

TEST(StringResManagerTest, OnlyKoreanSelectsKorean)
{
    EXPECT_EQ(StringResManager::LanguageCodeFor(L"KOR"), L"KOR");
    EXPECT_EQ(StringResManager::LanguageCodeFor(L"kor"), L"KOR");
    EXPECT_EQ(StringResManager::LanguageCodeFor(L"ENU"), L"ENG");
    EXPECT_EQ(StringResManager::LanguageCodeFor(L"JPN"), L"ENG");
    EXPECT_EQ(StringResManager::LanguageCodeFor(L""), L"ENG");
    EXPECT_EQ(StringResManager::LanguageFilePath(L"C:\\Pavo\\", L"KOR"), L"C:\\Pavo\\language\\kor.json");
    EXPECT_EQ(StringResManager::LanguageFilePath(L"C:\\Pavo", L"ENG"), L"C:\\Pavo\\language\\eng.json");
}

TEST(StringResManagerTest, LookupAndDuplicates)
{
    StringResManager table;
    ASSERT_TRUE(table.LoadFile(WriteLanguageFile(
        u8R"({"other": 1, "strings": [
              {"key": "서비스가 설치되었습니다.", "value": "The service has been installed.", "note": "x"},
              {"key": "서비스가 설치되었습니다.", "value": "second"},
              {"key": "키 ✓", "value": "값 \ud83d\ude00"}]})")));
    EXPECT_EQ(table.GetCount(), 2u);
    EXPECT_EQ(table.GetString(L"서비스가 설치되었습니다."), L"The service has been installed.");
    EXPECT_EQ(table.GetString(L"키 ✓"), L"값 \U0001F600");
    // A missing key comes back as itself; no trimming or case folding.
    EXPECT_EQ(table.GetString(L"없는 키"), L"없는 키");
    EXPECT_EQ(table.GetString(L"서비스가 설치되었습니다. "), L"서비스가 설치되었습니다. ");
}

TEST(StringResManagerTest, BadFilesFailToLoad)
{
    StringResManager table;
    EXPECT_FALSE(table.LoadFile(L"C:\\no\\such\\file.json"));
    EXPECT_FALSE(table.LoadFile(WriteLanguageFile("{\"texts\": []}")));
    EXPECT_FALSE(table.LoadFile(WriteLanguageFile("{\"strings\": {\"key\": \"a\"}}")));
    EXPECT_FALSE(table.LoadFile(WriteLanguageFile("not json at all")));
    EXPECT_FALSE(table.LoadFile(WriteLanguageFile("[1, 2]")));
    EXPECT_FALSE(table.LoadFile(WriteLanguageFile("")));
    EXPECT_EQ(table.GetCount(), 0u);

    // A bad element ends the load; what came before it stays.
    EXPECT_FALSE(table.LoadFile(WriteLanguageFile(
        R"({"strings": [{"key": "a", "value": "A"}, {"key": "b", "value": 5}, {"key": "c", "value": "C"}]})")));
    EXPECT_EQ(table.GetString(L"a"), L"A");
    EXPECT_EQ(table.GetString(L"c"), L"c");
    EXPECT_FALSE(table.LoadFile(WriteLanguageFile(R"({"strings": [{"value": "no key"}]})")));
}

// The shipped language files, against each other and against the code.
class LanguageFilesTest : public ::testing::Test {
protected:
    static std::wstring SourceDirectory()
    {
        wchar_t value[1024] = {};
        if (::GetEnvironmentVariableW(L"PAVO_SOURCE_DIR", value, 1024) == 0) return {};
        // A Unix path of the build machine: Wine shows it on drive Z:.
        std::wstring path = std::wstring(L"Z:") + value;
        for (wchar_t& c : path)
            if (c == L'/') c = L'\\';
        return path + L"\\";
    }

    static std::set<std::wstring> Keys(StringResManager& table, const std::wstring& file)
    {
        std::set<std::wstring> keys;
        const std::string bytes = ReadFileBytes(file);
        // Parse once more, independently, to list the keys.
        const std::regex key(R"re("key"\s*:\s*"((?:[^"\\]|\\.)*)")re");
        for (auto it = std::sregex_iterator(bytes.begin(), bytes.end(), key); it != std::sregex_iterator(); ++it) {
            keys.insert(Unescape((*it)[1].str()));
        }
        EXPECT_TRUE(table.LoadFile(file)) << WideToUtf8(file);
        EXPECT_EQ(table.GetCount(), keys.size()) << "duplicate keys in " << WideToUtf8(file);
        return keys;
    }

    // Every literal the code hands to a language lookup.
    static std::set<std::wstring> KeysUsedByCode(const std::wstring& root)
    {
        std::set<std::wstring> used;
        const std::regex call(R"re(\b(?:GetString|Text|Fail|Succeed)\(\s*L"((?:[^"\\]|\\.)*)")re");
        std::vector<std::wstring> folders = {root + L"common", root + L"service", root + L"agent"};
        while (!folders.empty()) {
            const std::wstring folder = folders.back();
            folders.pop_back();
            WIN32_FIND_DATAW found = {};
            HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
            if (search == INVALID_HANDLE_VALUE) continue;
            do {
                const std::wstring name = found.cFileName;
                if (name == L"." || name == L"..") continue;
                const std::wstring path = folder + L"\\" + name;
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    folders.push_back(path);
                    continue;
                }
                if (name.size() < 2 || (name.substr(name.size() - 4) != L".cpp" && name.substr(name.size() - 2) != L".h"))
                    continue;
                const std::string text = ReadFileBytes(path);
                for (auto it = std::sregex_iterator(text.begin(), text.end(), call); it != std::sregex_iterator();
                     ++it) {
                    used.insert(Unescape((*it)[1].str()));
                }
            } while (::FindNextFileW(search, &found));
            ::FindClose(search);
        }
        return used;
    }
};

TEST_F(LanguageFilesTest, BothFilesCarryTheSameKeysAndEveryKeyTheCodeUses)
{
    const std::wstring root = SourceDirectory();
    ASSERT_FALSE(root.empty()) << "PAVO_SOURCE_DIR is not set";
    StringResManager korean;
    StringResManager english;
    const auto koreanKeys = Keys(korean, root + L"deploy\\language\\kor.json");
    const auto englishKeys = Keys(english, root + L"deploy\\language\\eng.json");
    ASSERT_FALSE(koreanKeys.empty());
    for (const auto& key : koreanKeys)
        EXPECT_TRUE(englishKeys.count(key)) << "only in kor.json: " << WideToUtf8(key);
    for (const auto& key : englishKeys)
        EXPECT_TRUE(koreanKeys.count(key)) << "only in eng.json: " << WideToUtf8(key);

    const auto used = KeysUsedByCode(root);
    EXPECT_GE(used.size(), 10u) << "the scan found too few lookups";
    for (const auto& key : used) {
        EXPECT_TRUE(koreanKeys.count(key)) << "missing from kor.json: " << WideToUtf8(key);
        EXPECT_TRUE(englishKeys.count(key)) << "missing from eng.json: " << WideToUtf8(key);
    }
    // Korean values are the keys themselves, except the settings and product
    // names, whose keys are codes in capitals.
    for (const auto& key : koreanKeys) {
        if (key.find_first_not_of(L"ABCDEFGHIJKLMNOPQRSTUVWXYZ_") != std::wstring::npos && key.find(L"URL") == std::wstring::npos) {
            EXPECT_EQ(korean.GetString(key), key) << WideToUtf8(key);
        }
    }
}
