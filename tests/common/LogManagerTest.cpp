#include <gtest/gtest.h>

#include <regex>

#include "Lumen/LogManagerImpl.h"
#include "Lumen/PathUtils.h"
#include "Lumen/StringUtils.h"
#include "TestSupport.h"

using namespace Lumen;
using namespace PavoTest;

namespace {

DWORD OwnSession()
{
    DWORD session = 0;
    ::ProcessIdToSessionId(::GetCurrentProcessId(), &session);
    return session;
}

// Runs the probe copied as `programName` into `directory`.
void RunProbe(const std::wstring& directory, const std::wstring& programName, const std::wstring& kind,
              const std::wstring& text)
{
    const std::wstring args = kind + L" " + text;
    const std::wstring program = CopyProgram(L"PavoLogProbe.exe", directory, programName);
    ASSERT_FALSE(program.empty());
    DWORD code = 99;
    ASSERT_TRUE(RunAndWait(L"\"" + program + L"\" " + args, 30000, &code));
    EXPECT_EQ(code, 0u);
}

size_t CountOf(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

}  // namespace

TEST(LogManagerTest, FileNamesFollowProcessKindAndSession)
{
    EXPECT_EQ(LogManagerImpl::AgentLogPath(L"C:\\Apps\\Pavo\\PavoAgent.exe", 1),
              L"C:\\Apps\\Pavo\\Log\\PavoAgent.exe_session_1_.log");
    EXPECT_EQ(LogManagerImpl::AgentLogPath(L"C:\\Apps\\Pavo\\PavoAgent.exe", 2),
              L"C:\\Apps\\Pavo\\Log\\PavoAgent.exe_session_2_.log");
    EXPECT_EQ(LogManagerImpl::ServiceLogPath(L"C:\\Apps\\Pavo\\PavoService.exe"),
              L"C:\\Apps\\Pavo\\Log\\PavoService.exe.log");
    EXPECT_EQ(LogManagerImpl::ServiceLoggerName(L"C:\\Apps\\Pavo\\PavoService.exe"), L"PavoService");
    EXPECT_EQ(LogManagerImpl::ServiceLoggerName(L"C:\\Apps\\Pavo.v2\\PavoService"), L"PavoService");
}

TEST(LogManagerTest, AgentRecordsInDatedFileUnderHangulFolder)
{
    // A folder outside the ANSI code page: the file must still open.
    const std::wstring directory = MakeTempDirectory(L"로그 폴더");
    RunProbe(directory, L"PavoAgent.exe", L"agent", L"\"한글 메시지 %d\"");

    const std::wstring today = TodayForLogName();
    const std::wstring logPath = directory + L"Log\\PavoAgent.exe_session_" + std::to_wstring(OwnSession()) +
                                 L"__" + today + L".log";
    const std::string text = ReadFileBytes(logPath);
    ASSERT_FALSE(text.empty()) << "missing " << WideToUtf8(logPath);

    // "[date time.ms] [pid:N] [level] message\r\n", UTF-8, no source location.
    const std::regex record(
        R"(\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\] \[pid:\d+\] \[info\] )"
        "\xEC\x97\x90\xEC\x9D\xB4\xEC\xA0\x84\xED\x8A\xB8\xEA\xB0\x80 "
        "\xEC\x8B\x9C\xEC\x9E\x91\xEB\x90\x98\xEC\x97\x88\xEC\x8A\xB5\xEB\x8B\x88\xEB\x8B\xA4\\.\r\n");
    EXPECT_TRUE(std::regex_search(text, record)) << text;
    EXPECT_NE(text.find("] [error] [ServiceController::OnCreate, 42] "), std::string::npos) << text;
    EXPECT_NE(text.find(". error : -5\r\n"), std::string::npos) << text;
    // The argument text is not a format: "%d" in it stays as it is.
    EXPECT_NE(text.find("\xED\x95\x9C\xEA\xB8\x80 \xEB\xA9\x94\xEC\x8B\x9C\xEC\xA7\x80 %d\r\n"), std::string::npos);
    EXPECT_EQ(text.find("[trace]"), std::string::npos) << "trace records must never be written";
    EXPECT_EQ(text.find("after release"), std::string::npos);
}

TEST(LogManagerTest, TwoAgentProcessesShareTheSessionFileAndAppend)
{
    const std::wstring directory = MakeTempDirectory(L"two agents");
    RunProbe(directory, L"PavoAgent.exe", L"agent", L"first");
    RunProbe(directory, L"PavoAgent.exe", L"agent", L"second");
    const std::string text = ReadFileBytes(directory + L"Log\\PavoAgent.exe_session_" +
                                           std::to_wstring(OwnSession()) + L"__" + TodayForLogName() + L".log");
    ASSERT_EQ(CountOf(text, "] [info] first\r\n"), 1u) << text;
    ASSERT_EQ(CountOf(text, "] [info] second\r\n"), 1u) << text;
    // Each process logs under its own name, "pid:<id>".
    std::smatch first, second;
    ASSERT_TRUE(std::regex_search(text, first, std::regex(R"(\[(pid:\d+)\] \[info\] first)")));
    ASSERT_TRUE(std::regex_search(text, second, std::regex(R"(\[(pid:\d+)\] \[info\] second)")));
    EXPECT_NE(first[1].str(), second[1].str());
    EXPECT_LT(text.find("first"), text.find("second"));
}

TEST(LogManagerTest, ServiceFileCarriesNoSession)
{
    const std::wstring directory = MakeTempDirectory(L"service log");
    RunProbe(directory, L"PavoService.exe", L"service", L"svc");
    const std::string text = ReadFileBytes(directory + L"Log\\PavoService.exe_" + TodayForLogName() + L".log");
    EXPECT_NE(text.find("] [PavoService] [info] svc\r\n"), std::string::npos) << text;
}

TEST(LogManagerTest, UnwritableLogFolderDoesNotStopTheProgram)
{
    // "Log" exists as a file, so the folder cannot be made.
    const std::wstring directory = MakeTempDirectory(L"no log");
    ASSERT_TRUE(WriteFileBytes(directory + L"Log", "not a folder"));
    RunProbe(directory, L"PavoAgent.exe", L"agent", L"still");
    EXPECT_EQ(ReadFileBytes(directory + L"Log"), "not a folder");
}
