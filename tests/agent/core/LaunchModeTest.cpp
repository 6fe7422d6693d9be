#include <gtest/gtest.h>

#include "LaunchMode.h"
#include "Lumen/SessionUtils.h"
#include "Lumen/StringUtils.h"
#include "TestSupport.h"

using namespace PavoTest;
using Lumen::ScopedHandle;

TEST(LaunchModeTest, FirstWordFoundDecides)
{
    EXPECT_EQ(ClassifyCommandLine(L"PavoAgent.exe LANCH_SERVICE"), LaunchMode::FromService);
    EXPECT_EQ(ClassifyCommandLine(L"LANCH_SERVICE"), LaunchMode::FromService);
    EXPECT_EQ(ClassifyCommandLine(L"\"C:\\P\\PavoAgent.exe\" RUN_ADMIN"), LaunchMode::ElevatedRelaunch);
    EXPECT_EQ(ClassifyCommandLine(L"x RUN_ADMIN LANCH_SERVICE"), LaunchMode::FromService);
    EXPECT_EQ(ClassifyCommandLine(L"x --fooLANCH_SERVICEbar"), LaunchMode::FromService);
    EXPECT_EQ(ClassifyCommandLine(L"x lanch_service"), LaunchMode::ByHand);
    EXPECT_EQ(ClassifyCommandLine(L"x run_admin"), LaunchMode::ByHand);
    EXPECT_EQ(ClassifyCommandLine(L"\"C:\\P\\PavoAgent.exe\""), LaunchMode::ByHand);
    EXPECT_EQ(ClassifyCommandLine(L""), LaunchMode::ByHand);
}

TEST(LaunchModeTest, MutexNameCarriesTheSession)
{
    EXPECT_EQ(SingleInstanceMutexName(1), L"Pavo_IA_session_1");
    EXPECT_EQ(SingleInstanceMutexName(0), L"Pavo_IA_session_0");
}

// The real program, copied into a folder of its own so that its log is ours.
class AgentLaunchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        directory_ = MakeTempDirectory(L"agent");
        agent_ = CopyProgram(L"PavoAgent.exe", directory_, L"PavoAgent.exe");
        ASSERT_FALSE(agent_.empty());
        // An agent that goes on needs its fonts, skin and texts beside it.
        for (const wchar_t* folder : {L"font", L"skin", L"language"}) CopyFolder(folder);
        DWORD session = 0;
        ::ProcessIdToSessionId(::GetCurrentProcessId(), &session);
        mutexName_ = SingleInstanceMutexName(session);
        logPath_ = directory_ + L"Log\\PavoAgent.exe_session_" + std::to_wstring(session) + L"__" +
                   TodayForLogName() + L".log";
    }

    void TearDown() override
    {
        for (auto& process : running_) {
            ::TerminateProcess(process.Get(), 0);
            ::WaitForSingleObject(process.Get(), 10000);
        }
        RemoveService(Lumen::SessionUtils::kServiceName);
    }

    void CopyFolder(const std::wstring& name)
    {
        const std::wstring from = BinDirectory() + L"..\\dist\\" + name + L"\\";
        const std::wstring to = directory_ + name + L"\\";
        ::CreateDirectoryW(to.c_str(), nullptr);
        WIN32_FIND_DATAW data = {};
        HANDLE find = ::FindFirstFileW((from + L"*").c_str(), &data);
        ASSERT_NE(find, INVALID_HANDLE_VALUE) << "nothing in " << Lumen::WideToUtf8(from);
        do {
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
                ::CopyFileW((from + data.cFileName).c_str(), (to + data.cFileName).c_str(), FALSE);
        } while (::FindNextFileW(find, &data));
        ::FindClose(find);
    }

    ScopedHandle Start(const std::wstring& args) { return StartProcess(L"\"" + agent_ + L"\" " + args); }

    // True once the session's agent mutex exists: an agent has passed its check.
    bool AgentHoldsSession(DWORD timeoutMs)
    {
        return WaitUntil(
            [&] {
                ScopedHandle mutex(::OpenMutexW(SYNCHRONIZE, FALSE, mutexName_.c_str()));
                return mutex.IsValid();
            },
            timeoutMs);
    }

    size_t LogCount(const char* utf8)
    {
        const std::string text = ReadFileBytes(logPath_);
        size_t count = 0;
        for (size_t at = text.find(utf8); at != std::string::npos; at = text.find(utf8, at + 1)) ++count;
        return count;
    }

    bool ExitsWithin(ScopedHandle& process, DWORD ms)
    {
        return ::WaitForSingleObject(process.Get(), ms) == WAIT_OBJECT_0;
    }

    void InstallPavoService()
    {
        const std::wstring service = CopyProgram(L"PavoTestService.exe", directory_, L"PavoTestService.exe");
        ASSERT_TRUE(InstallService(Lumen::SessionUtils::kServiceName, service));
    }

    std::wstring directory_;
    std::wstring agent_;
    std::wstring mutexName_;
    std::wstring logPath_;
    std::vector<ScopedHandle> running_;
};

namespace {
// "유효성 점검에 실패했습니다." and "에이전트가 시작되었습니다." in UTF-8.
const char* const kCheckFailed =
    "\xEC\x9C\xA0\xED\x9A\xA8\xEC\x84\xB1 \xEC\xA0\x90\xEA\xB2\x80\xEC\x97\x90 "
    "\xEC\x8B\xA4\xED\x8C\xA8\xED\x96\x88\xEC\x8A\xB5\xEB\x8B\x88\xEB\x8B\xA4.";
const char* const kStarted =
    "\xEC\x97\x90\xEC\x9D\xB4\xEC\xA0\x84\xED\x8A\xB8\xEA\xB0\x80 "
    "\xEC\x8B\x9C\xEC\x9E\x91\xEB\x90\x98\xEC\x97\x88\xEC\x8A\xB5\xEB\x8B\x88\xEB\x8B\xA4.";
}  // namespace

TEST_F(AgentLaunchTest, OneAgentPerSession)
{
    running_.push_back(Start(L"LANCH_SERVICE"));
    ASSERT_TRUE(running_.back());
    ASSERT_TRUE(AgentHoldsSession(20000));
    EXPECT_FALSE(ExitsWithin(running_.back(), 0)) << "the first agent goes on";

    ScopedHandle second = Start(L"LANCH_SERVICE");
    ASSERT_TRUE(ExitsWithin(second, 20000)) << "a second agent in the session must end";
    EXPECT_EQ(LogCount(kCheckFailed), 1u);
    EXPECT_FALSE(ExitsWithin(running_.back(), 0));
}

TEST_F(AgentLaunchTest, HandStartedAgentRelaunchesElevatedAndEnds)
{
    // No word: relaunch with "RUN_ADMIN" and end. The relaunch finds no
    // service, fails to start it, and ends too: two starts, two failed checks.
    ScopedHandle byHand = Start(L"");
    ASSERT_TRUE(ExitsWithin(byHand, 20000));
    ASSERT_TRUE(WaitUntil([&] { return LogCount(kCheckFailed) == 2; }, 20000)) << LogCount(kCheckFailed);
    EXPECT_EQ(LogCount(kStarted), 2u);
    ScopedHandle mutex(::OpenMutexW(SYNCHRONIZE, FALSE, mutexName_.c_str()));
    EXPECT_FALSE(mutex) << "no agent may have passed its check";
}

TEST_F(AgentLaunchTest, WordsAreCaseSensitive)
{
    ScopedHandle lower = Start(L"lanch_service");
    ASSERT_TRUE(ExitsWithin(lower, 20000));
    // Treated as started by hand: it relaunched itself.
    ASSERT_TRUE(WaitUntil([&] { return LogCount(kCheckFailed) == 2; }, 20000));
}

TEST_F(AgentLaunchTest, RunAdminStartsAStoppedService)
{
    InstallPavoService();
    ScopedHandle agent = Start(L"RUN_ADMIN");
    ASSERT_TRUE(ExitsWithin(agent, 20000));
    EXPECT_EQ(LogCount(kCheckFailed), 1u);
    EXPECT_TRUE(WaitUntil([] { return QueryServiceState(Lumen::SessionUtils::kServiceName) == SERVICE_RUNNING; },
                          20000));
}

TEST_F(AgentLaunchTest, RunAdminContinuesWhenTheServiceRuns)
{
    InstallPavoService();
    ASSERT_TRUE(Lumen::SessionUtils::StartInstalledService());
    ASSERT_TRUE(
        WaitUntil([] { return Lumen::SessionUtils::IsServiceRunning(); }, 20000));
    running_.push_back(Start(L"RUN_ADMIN"));
    ASSERT_TRUE(AgentHoldsSession(20000));
    EXPECT_EQ(LogCount(kCheckFailed), 0u);
}
