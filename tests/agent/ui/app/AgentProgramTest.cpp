// PavoAgent.exe as it ships, started and ended the way the service does it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LaunchMode.h"
#include "Lumen/StringUtils.h"
#include "Lumen/UniqueHandle.h"
#include "TestSupport.h"

using namespace PavoTest;
using Lumen::ScopedHandle;

namespace {

bool CopyFolder(const std::wstring& from, const std::wstring& to)
{
    ::CreateDirectoryW(to.c_str(), nullptr);
    WIN32_FIND_DATAW data = {};
    HANDLE find = ::FindFirstFileW((from + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    do {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            ::CopyFileW((from + data.cFileName).c_str(), (to + data.cFileName).c_str(), FALSE);
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    return true;
}

bool DirectoryExists(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

struct FindAgentWindow {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindVisibleWindowOf(HWND hwnd, LPARAM param)
{
    auto* find = reinterpret_cast<FindAgentWindow*>(param);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(hwnd, &owner);
    if (owner == find->processId && ::IsWindowVisible(hwnd)) {
        find->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// The agent copied with the shipped folders beside it.
class AgentProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        directory_ = MakeTempDirectory(L"agent program");
        ASSERT_FALSE(CopyProgram(L"PavoAgent.exe", directory_, L"PavoAgent.exe").empty());
        const std::wstring dist = BinDirectory() + L"..\\dist\\";
        ASSERT_TRUE(CopyFolder(dist + L"skin\\", directory_ + L"skin\\"));
        ASSERT_TRUE(CopyFolder(dist + L"font\\", directory_ + L"font\\"));
        ASSERT_TRUE(CopyFolder(dist + L"language\\", directory_ + L"language\\"));
        DWORD session = 0;
        ::ProcessIdToSessionId(::GetCurrentProcessId(), &session);
        mutexName_ = SingleInstanceMutexName(session);
        logPath_ = directory_ + L"Log\\PavoAgent.exe_session_" + std::to_wstring(session) + L"__" + TodayForLogName() +
                   L".log";
    }

    ScopedHandle Start() { return StartProcess(L"\"" + directory_ + L"PavoAgent.exe\" LANCH_SERVICE"); }

    bool LogHas(const wchar_t* text) const
    {
        return ReadFileBytes(logPath_).find(Lumen::WideToUtf8(text)) != std::string::npos;
    }
    HWND VisibleWindowOf(HANDLE process) const
    {
        FindAgentWindow find = {::GetProcessId(process), nullptr};
        ::EnumWindows(FindVisibleWindowOf, reinterpret_cast<LPARAM>(&find));
        return find.found;
    }

    std::wstring directory_;
    std::wstring mutexName_;
    std::wstring logPath_;
};

}  // namespace

TEST_F(AgentProgramTest, EndedByTheLaunchCheckItSavesNothingAndShowsNothing)
{
    // Another agent holds the session.
    ScopedHandle mutex(::CreateMutexW(nullptr, TRUE, mutexName_.c_str()));
    ASSERT_TRUE(mutex);
    ScopedHandle agent = Start();
    ASSERT_TRUE(agent);
    ASSERT_EQ(::WaitForSingleObject(agent.Get(), 60000), WAIT_OBJECT_0);
    EXPECT_TRUE(LogHas(L"유효성 점검에 실패했습니다."));
    EXPECT_TRUE(LogHas(L"에이전트를 종료합니다."));
    EXPECT_FALSE(FileExists(directory_ + L"config\\config.cfg")) << "the configuration was never loaded";
    EXPECT_FALSE(DirectoryExists(directory_ + L"skin\\PavoAgent.exe")) << "nothing was unpacked";
}

TEST_F(AgentProgramTest, WithoutFontsStartUpEndsWithTheResourceError)
{
    WIN32_FIND_DATAW data = {};
    HANDLE find = ::FindFirstFileW((directory_ + L"font\\*").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    do {
        ::DeleteFileW((directory_ + L"font\\" + data.cFileName).c_str());
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    ScopedHandle agent = Start();
    ASSERT_TRUE(agent);
    ASSERT_EQ(::WaitForSingleObject(agent.Get(), 60000), WAIT_OBJECT_0);
    EXPECT_TRUE(LogHas(L"리소스 초기화에 실패했습니다."));
    EXPECT_FALSE(FileExists(directory_ + L"config\\config.cfg"));
    EXPECT_FALSE(DirectoryExists(directory_ + L"skin\\PavoAgent.exe")) << "the unpacked skin is deleted at exit";
}

TEST_F(AgentProgramTest, LosingTheServicePipeEndsTheAgentWithItsConfigurationSaved)
{
    // The service's end of the pipe: the agent connects once, at start.
    ScopedHandle pipe(::CreateNamedPipeW(L"\\\\.\\pipe\\PavoService_pipe", PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                         PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr));
    ASSERT_TRUE(pipe);
    ScopedHandle connected(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    OVERLAPPED overlapped = {};
    overlapped.hEvent = connected.Get();
    if (!::ConnectNamedPipe(pipe.Get(), &overlapped)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_PIPE_CONNECTED) ::SetEvent(connected.Get());
        else ASSERT_EQ(error, static_cast<DWORD>(ERROR_IO_PENDING));
    }

    ScopedHandle agent = Start();
    ASSERT_TRUE(agent);
    ASSERT_EQ(::WaitForSingleObject(connected.Get(), 60000), WAIT_OBJECT_0) << "the agent never connected";
    ASSERT_TRUE(WaitUntil([&] { return VisibleWindowOf(agent.Get()) != nullptr; }, 60000)) << "no window";
    // The skin's files are written once the first page is up.
    EXPECT_TRUE(WaitUntil([&] { return DirectoryExists(directory_ + L"skin\\PavoAgent.exe"); }, 10000))
        << "the skin is unpacked while it runs";
    EXPECT_FALSE(::WaitForSingleObject(agent.Get(), 0) == WAIT_OBJECT_0);

    ::DisconnectNamedPipe(pipe.Get());
    pipe.Reset();
    ASSERT_EQ(::WaitForSingleObject(agent.Get(), 60000), WAIT_OBJECT_0) << "the stop-tray command must end it";
    DWORD code = 1;
    ::GetExitCodeProcess(agent.Get(), &code);
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(FileExists(directory_ + L"config\\config.cfg")) << "the configuration is saved at exit";
    EXPECT_FALSE(DirectoryExists(directory_ + L"skin\\PavoAgent.exe")) << "the unpacked skin is deleted at exit";
    EXPECT_TRUE(LogHas(L"에이전트를 종료합니다."));
}
