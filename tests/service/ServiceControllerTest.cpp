#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <vector>

#include "Lumen/Event.h"
#include "Lumen/IPipeDelegate.h"
#include "Lumen/NamedPipeClient.h"
#include "Lumen/SessionUtils.h"
#include "Lumen/StringUtils.h"
#include "TestSupport.h"

using namespace PavoTest;
using Lumen::ScopedHandle;
using Lumen::WideToUtf8;

namespace {

const std::wstring kServiceName = L"PavoService";
// A tick of the controller's timer is 30 s: waits for a tick allow for one
// more and the agent's start.
constexpr DWORD kTickWaitMs = 45000;

std::string Utf8(const wchar_t* text)
{
    return WideToUtf8(text);
}

// Writes a value under HKCU; Wine reads its per-program DLL overrides there.
bool SetUserRegistryString(const std::wstring& key, const std::wstring& name, const std::wstring& value)
{
    HKEY handle = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const LONG result = ::RegSetValueExW(handle, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                         static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(handle);
    return result == ERROR_SUCCESS;
}

DWORD RunAndGetExitCode(const std::wstring& program, const std::wstring& args)
{
    DWORD code = 12345;
    RunAndWait(L"\"" + program + L"\" " + args, 60000, &code);
    return code;
}

size_t Count(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

size_t CountLines(const std::string& text, const std::string& prefix)
{
    size_t count = 0;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line))
        if (line.compare(0, prefix.size(), prefix) == 0) ++count;
    return count;
}

bool AnyAgentRunning()
{
    return Lumen::SessionUtils::FindProcessByName(L"PavoAgent.exe").IsValid();
}

class PipeSink : public Lumen::IPipeDelegate {
public:
    void OnCreate(bool, HANDLE) override {}
    void OnConnect(bool, HANDLE) override {}
    void OnSend(HANDLE, DWORD) override {}
    void OnRecv(HANDLE, const BYTE*, DWORD) override {}
    void OnDisconnect(HANDLE) override {}
};

}  // namespace

// The real service program installed in a folder of its own, with the
// stand-in agent as its PavoAgent.exe. The session list comes from the
// wtsapi32 stand-in in System32 (the service loads it from nowhere else),
// chosen for the service process by a per-program DLL override (Wine reports
// no sessions at all).
class ServiceControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        directory_ = MakeTempDirectory(L"controller");
        service_ = CopyProgram(L"PavoService.exe", directory_, L"PavoService.exe");
        ASSERT_FALSE(CopyProgram(L"PavoTestAgent.exe", directory_, L"PavoAgent.exe").empty());
        ASSERT_TRUE(InstallSessionListStandIn());
        ::CreateDirectoryW((directory_ + L"language").c_str(), nullptr);
        for (const wchar_t* file : {L"language\\eng.json", L"language\\kor.json"})
            ASSERT_TRUE(::CopyFileW((BinDirectory() + file).c_str(), (directory_ + file).c_str(), FALSE));
        ASSERT_TRUE(SetUserRegistryString(L"Software\\Wine\\AppDefaults\\PavoService.exe\\DllOverrides", L"wtsapi32",
                                          L"native"));
    }

    void TearDown() override
    {
        RemoveService(kServiceName);
        for (;;) {
            ScopedHandle agent = Lumen::SessionUtils::FindProcessByName(L"PavoAgent.exe");
            if (!agent) break;
            ::TerminateProcess(agent.Get(), 0);
            ::WaitForSingleObject(agent.Get(), 5000);
        }
    }

    void SetSessions(const std::string& lines)
    {
        ASSERT_TRUE(WriteFileBytes(SystemDirectory() + L"wtsapi32-sessions.txt", lines));
    }
    void SetAgentBehaviour(const std::string& words) { ASSERT_TRUE(WriteFileBytes(directory_ + L"test-agent.cfg", words)); }

    void InstallAndStart()
    {
        ASSERT_EQ(RunAndGetExitCode(service_, L"install"), 0u);
        ASSERT_TRUE(WaitUntil([] { return QueryServiceState(kServiceName) == SERVICE_RUNNING; }, 30000));
        ASSERT_TRUE(WaitForLog(Utf8(L"서버 파이프가 생성되었습니다. pipeTarget : "), 20000));
    }

    // Stops through the program's own verb; true when the service stopped.
    bool StopService()
    {
        if (RunAndGetExitCode(service_, L"stop") != 0) return false;
        return WaitUntil([] { return QueryServiceState(kServiceName) == SERVICE_STOPPED; }, 30000);
    }

    std::string Events() { return ReadFileBytes(directory_ + L"test-agent-events.txt"); }
    std::string Log() { return ReadFileBytes(directory_ + L"Log\\PavoService.exe_" + TodayForLogName() + L".log"); }

    bool WaitForEvents(const std::string& prefix, size_t count, DWORD timeoutMs)
    {
        return WaitUntil([&] { return CountLines(Events(), prefix) >= count; }, timeoutMs);
    }
    bool WaitForLog(const std::string& text, DWORD timeoutMs)
    {
        return WaitUntil([&] { return Log().find(text) != std::string::npos; }, timeoutMs);
    }

    std::wstring directory_;
    std::wstring service_;
};

TEST_F(ServiceControllerTest, StartsTheAgentInTheActiveSessionAndEndsItAtStop)
{
    SetSessions("0 disconnected\n1 active\n");
    InstallAndStart();
    ASSERT_TRUE(WaitForEvents("connected", 1, 20000)) << Events();
    const std::string events = Events();
    // The agent's whole command line is the one word.
    EXPECT_NE(events.find(" 1 LANCH_SERVICE\n"), std::string::npos) << events;
    EXPECT_NE(Log().find(Utf8(L"세션 ID: 1로 에이전트를 실행합니다.")), std::string::npos);
    // The identification is logged with the session and process it names.
    const size_t start = events.find("start ");
    ASSERT_NE(start, std::string::npos) << events;
    const std::string pid = events.substr(start + 6, events.find(' ', start + 6) - (start + 6));
    EXPECT_TRUE(WaitForLog(Utf8(L"에이전트가 식별되었습니다. pipeTarget : "), 20000)) << Log();
    const std::string log = Log();
    const size_t named = log.find(", sessionId : 1, processId : " + pid);
    ASSERT_NE(named, std::string::npos) << log;
    const size_t after = named + 29 + pid.size();
    EXPECT_TRUE(after < log.size() && (log[after] == '\r' || log[after] == '\n')) << log;

    ASSERT_TRUE(StopService());
    EXPECT_EQ(CountLines(Events(), "exit-message") + CountLines(Events(), "pipe-lost"), 1u) << Events();
    EXPECT_TRUE(WaitUntil([] { return !AnyAgentRunning(); }, 10000));
    const std::string finalLog = Log();
    EXPECT_NE(finalLog.find(Utf8(L"ServiceController thread를 종료합니다.")), std::string::npos) << finalLog;
    EXPECT_NE(finalLog.find(Utf8(L"서비스를 종료합니다.")), std::string::npos) << finalLog;
    EXPECT_EQ(finalLog.find(Utf8(L"강제 종료")), std::string::npos) << "the agent ended by itself";
}

TEST_F(ServiceControllerTest, NoAgentWithoutAUserUntilASessionBecomesActive)
{
    SetSessions("0 disconnected\n2 disconnected\n");
    InstallAndStart();
    EXPECT_FALSE(WaitForEvents("start", 1, 3000)) << "no user is logged on";
    SetSessions("0 disconnected\n2 active\n");
    ASSERT_TRUE(WaitForEvents("start", 1, kTickWaitMs)) << "the next tick starts one";
    EXPECT_NE(Events().find(" LANCH_SERVICE\n"), std::string::npos);
}

TEST_F(ServiceControllerTest, AnAgentThatDiesIsStartedAgain)
{
    SetSessions("1 active\n");
    InstallAndStart();
    ASSERT_TRUE(WaitForEvents("connected", 1, 20000));
    ScopedHandle agent = Lumen::SessionUtils::FindProcessByName(L"PavoAgent.exe");
    ASSERT_TRUE(agent);
    ASSERT_TRUE(::TerminateProcess(agent.Get(), 9));
    ASSERT_TRUE(WaitForEvents("start", 2, kTickWaitMs)) << Events();
    EXPECT_TRUE(WaitForEvents("connected", 2, 20000));
}

TEST_F(ServiceControllerTest, AnAgentThatNeverIdentifiesGetsASecondOne)
{
    SetSessions("1 active\n");
    SetAgentBehaviour("no-identify\n");
    InstallAndStart();
    ASSERT_TRUE(WaitForEvents("connected", 1, 20000));
    EXPECT_TRUE(WaitForEvents("start", 2, kTickWaitMs)) << Events();
}

TEST_F(ServiceControllerTest, StopEndsTwoAgentsIncludingOneThatHangs)
{
    SetSessions("1 active\n");
    InstallAndStart();
    ASSERT_TRUE(WaitForEvents("connected", 1, 20000));
    // A second agent of the same session, started by hand, that ignores the
    // exit message.
    ScopedHandle hanging = StartProcess(L"\"" + directory_ + L"PavoAgent.exe\" hang");
    ASSERT_TRUE(hanging);
    ASSERT_TRUE(WaitForEvents("connected", 2, 20000));

    // The stop control itself, watching what the service reports meanwhile.
    Lumen::ScopedServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    Lumen::ScopedServiceHandle service(
        ::OpenServiceW(manager.Get(), kServiceName.c_str(), SERVICE_STOP | SERVICE_QUERY_STATUS));
    ASSERT_TRUE(service);
    const ULONGLONG before = ::GetTickCount64();
    SERVICE_STATUS status = {};
    ASSERT_TRUE(::ControlService(service.Get(), SERVICE_CONTROL_STOP, &status));
    DWORD waitHint = status.dwWaitHint;
    std::vector<DWORD> checkpoints;
    if (status.dwCurrentState == SERVICE_STOP_PENDING) checkpoints.push_back(status.dwCheckPoint);
    ASSERT_TRUE(WaitUntil(
        [&] {
            if (!::QueryServiceStatus(service.Get(), &status)) return false;
            if (status.dwCurrentState == SERVICE_STOP_PENDING) {
                waitHint = std::max(waitHint, status.dwWaitHint);
                if (checkpoints.empty() || checkpoints.back() != status.dwCheckPoint)
                    checkpoints.push_back(status.dwCheckPoint);
            }
            return status.dwCurrentState == SERVICE_STOPPED;
        },
        30000));
    const ULONGLONG took = ::GetTickCount64() - before;
    EXPECT_LT(took, 15000u) << "the hanging agent must not hold the stop";
    // A stop of several seconds shows progress, so that no caller gives up on it.
    EXPECT_GT(waitHint, 0u);
    ASSERT_GE(checkpoints.size(), 2u);
    for (size_t i = 1; i < checkpoints.size(); ++i) EXPECT_GT(checkpoints[i], checkpoints[i - 1]);
    EXPECT_EQ(::WaitForSingleObject(hanging.Get(), 10000), WAIT_OBJECT_0) << "the service ends what remains";
    EXPECT_EQ(CountLines(Events(), "hanging"), 1u) << Events();
    EXPECT_FALSE(AnyAgentRunning());
    EXPECT_NE(Log().find(Utf8(L"살아있는 PavoAgent.exe 가 존재하여 강제 종료를 시도했습니다.")), std::string::npos);
}

TEST_F(ServiceControllerTest, AnIdentificationAndAStopRequestInOneWriteStopTheService)
{
    SetSessions("1 active\n");
    SetAgentBehaviour("stop-service\n");
    InstallAndStart();
    ASSERT_TRUE(WaitForEvents("connected", 1, 20000));
    EXPECT_TRUE(WaitUntil([] { return QueryServiceState(kServiceName) == SERVICE_STOPPED; }, 30000));
    EXPECT_TRUE(WaitUntil([] { return !AnyAgentRunning(); }, 10000));
}

TEST_F(ServiceControllerTest, BadMessagesAreLoggedAndChangeNothing)
{
    SetSessions("");
    InstallAndStart();
    // A plain client, as any agent would be: every message ends in a line
    // feed, and these all go in one write.
    ScopedHandle pipe(::CreateFileW(L"\\\\.\\pipe\\PavoService_pipe", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(pipe);
    const std::string bytes = "this is not json\n"
                              "{\"protocol_id\":\"1000\"}\n" +
                              std::string(5000, 'x') + "\n{\"protocol_id\":10";
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(pipe.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    const std::string invalid = Utf8(L"파이프 수신 데이터가 유효하지 않습니다.");
    EXPECT_TRUE(WaitForLog(Utf8(L"[ServiceController::OnRecv, "), 10000));
    EXPECT_TRUE(WaitForLog(Utf8(L"파이프 수신 데이터 파싱에 실패했습니다."), 10000));
    EXPECT_TRUE(WaitUntil([&] { return Count(Log(), invalid) == 2; }, 10000))
        << "\"1000\" as text, and the message over 4096 bytes";
    EXPECT_EQ(QueryServiceState(kServiceName), static_cast<DWORD>(SERVICE_RUNNING)) << "\"1000\" is not a stop request";

    // The rest of a message that began in the last write.
    const std::string rest = "00}\n";
    ASSERT_TRUE(::WriteFile(pipe.Get(), rest.data(), static_cast<DWORD>(rest.size()), &written, nullptr));
    EXPECT_TRUE(WaitUntil([] { return QueryServiceState(kServiceName) == SERVICE_STOPPED; }, 30000))
        << "a stop request in two writes";
}

TEST_F(ServiceControllerTest, ADllBesideTheServiceIsNeverLoaded)
{
    // A session-list DLL planted beside the service, naming an active
    // session; the one in System32 names none.
    ASSERT_FALSE(CopyProgram(L"wtsapi32.dll", directory_, L"wtsapi32.dll").empty());
    ASSERT_TRUE(WriteFileBytes(directory_ + L"wtsapi32-sessions.txt", "1 active\n"));
    SetSessions("");
    InstallAndStart();
    EXPECT_FALSE(WaitForEvents("start", 1, 5000)) << "the planted DLL ran inside the service";
    EXPECT_TRUE(StopService());
}
