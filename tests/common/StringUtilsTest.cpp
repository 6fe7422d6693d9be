#include <gtest/gtest.h>

#include "Lumen/PathUtils.h"
#include "Lumen/StringUtils.h"

using namespace Lumen;

TEST(StringUtilsTest, WideFormatHasWindowsMeaning)
{
    // "%s" takes a wide string and a negative "%d" keeps its sign.
    EXPECT_EQ(FormatWide(L"[%s, %d] text. error : %d", L"ServiceController::OnCreate", 120, -5),
              L"[ServiceController::OnCreate, 120] text. error : -5");
    EXPECT_EQ(FormatWide(L"세션 ID: %d로 에이전트를 실행합니다.", 2), L"세션 ID: 2로 에이전트를 실행합니다.");
    EXPECT_EQ(FormatWide(L"no arguments"), L"no arguments");
    EXPECT_EQ(FormatWide(L""), L"");
}

TEST(StringUtilsTest, LongTextIsNeverCut)
{
    const std::wstring longText(100000, L'가');
    EXPECT_EQ(FormatWide(L"<%s>", longText.c_str()), L"<" + longText + L">");
}

TEST(StringUtilsTest, Utf8RoundTripKeepsHangulAndAstralCharacters)
{
    const std::wstring text = L"에이전트 \U0001F600 test";
    const std::string utf8 = WideToUtf8(text);
    EXPECT_EQ(utf8, "\xEC\x97\x90\xEC\x9D\xB4\xEC\xA0\x84\xED\x8A\xB8 \xF0\x9F\x98\x80 test");
    EXPECT_EQ(Utf8ToWide(utf8), text);
    EXPECT_EQ(WideToUtf8(L""), "");
    EXPECT_EQ(Utf8ToWide(""), L"");
}

TEST(PathUtilsTest, JoinAddsOneBackslashOnlyWhenMissing)
{
    EXPECT_EQ(JoinPath(L"C:\\Apps\\Pavo", L"Log"), L"C:\\Apps\\Pavo\\Log");
    EXPECT_EQ(JoinPath(L"C:\\Apps\\Pavo\\", L"Log"), L"C:\\Apps\\Pavo\\Log");
    EXPECT_EQ(DirectoryOf(L"C:\\Apps\\Pavo\\PavoAgent.exe"), L"C:\\Apps\\Pavo\\");
    EXPECT_EQ(FileNameOf(L"C:\\Apps\\Pavo\\PavoAgent.exe"), L"PavoAgent.exe");
    EXPECT_EQ(DirectoryOf(L"PavoAgent.exe"), L"");
}

TEST(PathUtilsTest, ModuleDirectoryEndsInBackslash)
{
    const std::wstring directory = GetModuleDirectory();
    ASSERT_FALSE(directory.empty());
    EXPECT_EQ(directory.back(), L'\\');
    EXPECT_EQ(GetModulePath().substr(0, directory.size()), directory);
}
