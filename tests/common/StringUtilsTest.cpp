#include <gtest/gtest.h>

#include <windows.h>

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

TEST(StringUtilsTest, InvalidUtf8BecomesOneReplacementPerBrokenSequence)
{
    // Overlong '/', an encoded surrogate, a value past U+10FFFF, a cut
    // three-byte sequence, a stray continuation byte and 0xFF.
    EXPECT_EQ(Utf8ToWide("a\xC0\xAFz"), L"a\uFFFD\uFFFDz");
    EXPECT_EQ(Utf8ToWide("\xED\xA0\x80"), L"\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(Utf8ToWide("\xF4\x90\x80\x80"), L"\uFFFD\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(Utf8ToWide("\xE2\x82x"), L"\uFFFDx");
    EXPECT_EQ(Utf8ToWide("\x80\xFF"), L"\uFFFD\uFFFD");
    EXPECT_EQ(Utf8ToWide("\xF0\x9F\x98"), L"\uFFFD");
    // Embedded zeros are text like any other.
    EXPECT_EQ(Utf8ToWide(std::string("a\0b", 3)), std::wstring(L"a\0b", 3));
    // A lone surrogate in wide text, either half.
    EXPECT_EQ(WideToUtf8(std::wstring(1, static_cast<wchar_t>(0xD83D)) + L"x"), "\xEF\xBF\xBDx");
    EXPECT_EQ(WideToUtf8(L"x" + std::wstring(1, static_cast<wchar_t>(0xDE00))), "x\xEF\xBF\xBD");
}

TEST(StringUtilsTest, Utf8ConversionAgreesWithWindows)
{
    // The portable conversion must give the system's own result for valid text.
    const std::string sample =
        "ASCII, \xED\x95\x9C\xEA\xB8\x80, \xC3\xA9, \xF0\x9F\x98\x80, \xEF\xBF\xBF, \xF4\x8F\xBF\xBF";
    const int length = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, sample.data(),
                                             static_cast<int>(sample.size()), nullptr, 0);
    ASSERT_GT(length, 0);
    std::wstring system(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, sample.data(), static_cast<int>(sample.size()), &system[0],
                          length);
    EXPECT_EQ(Utf8ToWide(sample), system);
    EXPECT_EQ(WideToUtf8(system), sample);
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
