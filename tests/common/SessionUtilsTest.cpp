#include <gtest/gtest.h>

#include "Lumen/SessionUtils.h"
#include "Lumen/StringUtils.h"
#include "TestSupport.h"

using namespace Lumen;
using namespace PavoTest;

namespace {

// Waits for the named event that a test child sets.
bool WaitForSignal(const std::wstring& name, DWORD timeoutMs)
{
    ScopedHandle event(::CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
    return event && ::WaitForSingleObject(event.Get(), timeoutMs) == WAIT_OBJECT_0;
}

// Keep the returned handle open until the child has seen the event: a named
// event with no open handle is gone, and the child would make a new one.
ScopedHandle SetEventNamed(const std::wstring& name)
{
    ScopedHandle event(::CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
    ::SetEvent(event.Get());
    return event;
}

// The session list the wtsapi32 stand-in reports for this process.
class SessionList {
public:
    explicit SessionList(const std::string& lines)
    {
        path_ = MakeTempDirectory(L"sessions") + L"sessions.txt";
        WriteFileBytes(path_, lines);
        ::SetEnvironmentVariableW(L"PAVO_TEST_SESSIONS_FILE", path_.c_str());
    }
    ~SessionList() { ::SetEnvironmentVariableW(L"PAVO_TEST_SESSIONS_FILE", nullptr); }

private:
    std::wstring path_;
};

}  // namespace

TEST(SessionUtilsTest, ActiveSessionIsTheFirstActiveOne)
{
    {
        SessionList none("0 disconnected\n2 disconnected\n65536 listen\n");
        EXPECT_EQ(SessionUtils::GetActiveSessionId(), 0u);
    }
    {
        SessionList two("0 disconnected\n3 active\n2 active\n");
        EXPECT_EQ(SessionUtils::GetActiveSessionId(), 3u);
    }
    {
        SessionList empty("");
        EXPECT_EQ(SessionUtils::GetActiveSessionId(), 0u);
    }
}

TEST(SessionUtilsTest, ProcessSessionMatchesTheSystem)
{
    DWORD expected = 12345;
    ASSERT_TRUE(::ProcessIdToSessionId(::GetCurrentProcessId(), &expected));
    EXPECT_EQ(SessionUtils::GetProcessSessionId(), expected);
}

TEST(SessionUtilsTest, CommandLineQuotesThePathOnce)
{
    EXPECT_EQ(SessionUtils::BuildCommandLine(L"C:\\Program Files\\Pavo\\PavoService.exe", L"stop"),
              L"\"C:\\Program Files\\Pavo\\PavoService.exe\" stop");
    EXPECT_EQ(SessionUtils::BuildCommandLine(L"\"C:\\Program Files\\Pavo\\PavoService.exe\"", L"stop"),
              L"\"C:\\Program Files\\Pavo\\PavoService.exe\" stop");
    EXPECT_EQ(SessionUtils::BuildCommandLine(L"C:\\a\"b\".exe", L""), L"\"C:\\ab.exe\" ");
}

TEST(SessionUtilsTest, RunProcessStartsTheChildWithQuotedPath)
{
    const std::wstring directory = MakeTempDirectory(L"with space");
    const std::wstring child = CopyProgram(L"PavoTestChild.exe", directory, L"Child Program.exe");
    const std::wstring output = directory + L"cmdline.txt";
    const std::wstring done = UniqueName(L"runprocess");
    const std::wstring args = L"--write-cmdline=\"" + output + L"\" --signal=" + done;
    ASSERT_TRUE(SessionUtils::RunProcess(L"\"" + child + L"\"", args));
    ASSERT_TRUE(WaitForSignal(done, 20000));
    EXPECT_EQ(ReadFileWide(output), L"\"" + child + L"\" " + args);
}

TEST(SessionUtilsTest, RunProcessReportsAMissingProgram)
{
    ::SetLastError(0xdeadbeef);
    EXPECT_FALSE(SessionUtils::RunProcess(L"C:\\no\\such\\program.exe", L""));
}

TEST(SessionUtilsTest, CreateProcessInSessionGivesTheChildExactlyItsCommandLine)
{
    SessionList one("1 active\n");
    const std::wstring directory = MakeTempDirectory(L"session child");
    const std::wstring child = CopyProgram(L"PavoTestChild.exe", directory, L"PavoTestChild.exe");
    const std::wstring output = directory + L"cmdline.txt";
    const std::wstring done = UniqueName(L"insession");
    const std::wstring commandLine = L"\"--write-cmdline=" + output + L"\" --signal=" + done;
    ASSERT_TRUE(SessionUtils::CreateProcessInSession(1, child, commandLine));
    ASSERT_TRUE(WaitForSignal(done, 20000));
    EXPECT_EQ(ReadFileWide(output), commandLine);
}

TEST(SessionUtilsTest, CreateProcessInSessionFailsForAMissingProgram)
{
    EXPECT_FALSE(SessionUtils::CreateProcessInSession(1, L"C:\\no\\such\\program.exe", L"LANCH_SERVICE"));
}

TEST(SessionUtilsTest, FindProcessByNameIsACaseSensitiveSubstringMatch)
{
    const std::wstring directory = MakeTempDirectory(L"find");
    const std::wstring unique = L"Fp" + std::to_wstring(::GetCurrentProcessId());
    const std::wstring child = CopyProgram(L"PavoTestChild.exe", directory, L"Old" + unique + L"Probe.exe");
    const std::wstring release = UniqueName(L"release");
    ScopedHandle process = StartProcess(L"\"" + child + L"\" --wait=" + release);
    ASSERT_TRUE(process);

    ScopedHandle found;
    ASSERT_TRUE(WaitUntil(
        [&] {
            found = SessionUtils::FindProcessByName(unique + L"Probe.exe");
            return found.IsValid();
        },
        10000));
    EXPECT_EQ(::GetProcessId(found.Get()), ::GetProcessId(process.Get()));
    EXPECT_FALSE(SessionUtils::FindProcessByName(L"old" + unique + L"probe.exe"));
    EXPECT_FALSE(SessionUtils::FindProcessByName(unique + L"Missing.exe"));

    ScopedHandle released = SetEventNamed(release);
    EXPECT_EQ(::WaitForSingleObject(process.Get(), 20000), WAIT_OBJECT_0);
}

TEST(SessionUtilsTest, RunAsAdministratorWaitsForTheProgram)
{
    const std::wstring directory = MakeTempDirectory(L"runas");
    const std::wstring child = CopyProgram(L"PavoTestChild.exe", directory, L"PavoTestChild.exe");
    const std::wstring output = directory + L"cmdline.txt";
    // With an infinite wait the file is there when the call returns.
    ASSERT_TRUE(SessionUtils::RunAsAdministrator(child, L"--sleep=300 --write-cmdline=" + output, INFINITE));
    EXPECT_TRUE(FileExists(output));
    EXPECT_FALSE(SessionUtils::RunAsAdministrator(directory + L"missing.exe", L"", 0));
}

// The service-control functions against a real service installed under the
// name they act on.
class ServiceControlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::wstring directory = MakeTempDirectory(L"test service");
        binary_ = CopyProgram(L"PavoTestService.exe", directory, L"PavoTestService.exe");
        ASSERT_TRUE(InstallService(SessionUtils::kServiceName, binary_));
    }
    void TearDown() override { RemoveService(SessionUtils::kServiceName); }

    static bool WaitForState(DWORD state)
    {
        return WaitUntil([&] { return QueryServiceState(SessionUtils::kServiceName) == state; }, 20000);
    }

    std::wstring binary_;
};

TEST_F(ServiceControlTest, StartQueryStopDelete)
{
    EXPECT_FALSE(SessionUtils::IsServiceRunning());
    EXPECT_FALSE(SessionUtils::StopInstalledService()) << "a stopped service gets no stop control";

    ASSERT_TRUE(SessionUtils::StartInstalledService());
    ASSERT_TRUE(WaitForState(SERVICE_RUNNING));
    EXPECT_TRUE(SessionUtils::IsServiceRunning());
    EXPECT_FALSE(SessionUtils::StartInstalledService()) << "already running";

    ASSERT_TRUE(SessionUtils::StopInstalledService());
    ASSERT_TRUE(WaitForState(SERVICE_STOPPED));
    EXPECT_FALSE(SessionUtils::IsServiceRunning());

    EXPECT_TRUE(SessionUtils::DeleteInstalledService());
    ASSERT_TRUE(WaitUntil([] { return QueryServiceState(SessionUtils::kServiceName) == 0; }, 10000));
    EXPECT_FALSE(SessionUtils::IsServiceRunning());
    EXPECT_FALSE(SessionUtils::StartInstalledService());
    EXPECT_FALSE(SessionUtils::StopInstalledService());
    EXPECT_FALSE(SessionUtils::DeleteInstalledService());
}
