#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>
#include <winhttp.h>

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "AgentCmdContinueInstall.h"
#include "AgentCmdInstallProduct.h"
#include "AgentCmdLogin.h"
#include "AgentCmdLogout.h"
#include "AgentCmdNotifyConfigChange.h"
#include "AgentCmdStopService.h"
#include "AgentController.h"
#include "Lumen/Event.h"
#include "Lumen/LogManager.h"
#include "Lumen/NamedPipeServer.h"
#include "Lumen/PipeProtocol.h"
#include "Lumen/SessionUtils.h"
#include "Lumen/StringUtils.h"
#include "ResourceManager.h"
#include "TestSupport.h"

using namespace PavoTest;
using Lumen::ScopedHandle;

namespace {

// Delivers the user-interface thread's messages until `done` holds.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        if (done()) return true;
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 20)),
                                    QS_ALLINPUT);
    }
}

struct Notice {
    std::string what;  // "start", "complete", "cancel"
    int type = 0;
    int result = 0;
    DWORD thread = 0;
    ULONGLONG tick = 0;
    bool sent = false;  // delivered inside a message sent by another thread
};

class Recorder : public IAgentCmdResponseHandler, public ISessionChangeHandler {
public:
    void OnCommandStart(std::shared_ptr<AgentCmdBase> command) override
    {
        if (cancelStartOf == command->GetType()) command->SetResult(-1);
        Add("start", command.get());
    }
    void OnCommandComplete(std::shared_ptr<AgentCmdBase> command) override { Add("complete", command.get()); }
    void OnCommandCancel() override { Add("cancel", nullptr); }
    void OnTokenExpired() override {}

    std::vector<Notice> Notices()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return notices_;
    }
    size_t Count(const std::string& what, int type = 0)
    {
        size_t n = 0;
        for (const Notice& notice : Notices())
            if (notice.what == what && (type == 0 || notice.type == type)) ++n;
        return n;
    }
    const Notice* Find(const std::string& what, int type)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const Notice& notice : notices_)
            if (notice.what == what && notice.type == type) return &notice;
        return nullptr;
    }

    int cancelStartOf = 0;

private:
    void Add(const char* what, AgentCmdBase* command)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        notices_.push_back({what, command ? command->GetType() : 0, command ? command->GetResult() : 0,
                            ::GetCurrentThreadId(), ::GetTickCount64(),
                            (::InSendMessageEx(nullptr) & ISMEX_SEND) != 0});
    }
    std::mutex mutex_;
    std::vector<Notice> notices_;
};

// A language table whose server address is the test's operator server.
void UseTestServer()
{
    static bool done = false;
    if (done) return;
    wchar_t port[16] = {};
    ASSERT_GT(::GetEnvironmentVariableW(L"PAVO_OPERATOR_PORT", port, 16), 0u) << "no operator server";
    const std::wstring path = MakeTempDirectory(L"strings") + L"strings.json";
    const std::string json = std::string(R"({"strings":[{"key":"Pavo_HOST_URL","value":"http://127.0.0.1:)") +
                             Lumen::WideToUtf8(port) + R"("},
        {"key":"SUB_URL_LOGIN","value":"/agent/login"},
        {"key":"SUB_URL_GET_LICENSE_HEALTH_CHECK","value":"/agent/health-check"},
        {"key":"SUB_URL_RECERTIFICATION_TOKEN","value":"/agent/token"},
        {"key":"SUB_URL_GET_LICENSE","value":"/agent/license"},
        {"key":"SUB_URL_SET_LICENSE_STATUS","value":"/agent/license-status"}]})";
    ASSERT_TRUE(WriteFileBytes(path, json));
    ASSERT_TRUE(ResourceManager::GetInstance()->InitializeStrings(path));
    done = true;
}

// Pipe messages have no framing: two written back to back may arrive as one
// read. The controller's log is the only witness that a message has been
// read on its own, so tests that send several wait for its line each time.
class ControllerLog {
public:
    ControllerLog()
    {
        Lumen::LogManager::GetInstance()->Initialize(Lumen::LogProcessKind::Agent);
        std::wstring base = Lumen::Utf8ToWide(Lumen::LogManager::GetInstance()->GetImpl()->GetLogFilePath());
        const size_t dot = base.rfind(L".log");
        if (dot != std::wstring::npos) base.erase(dot);
        path_ = base + L"_" + TodayForLogName() + L".log";
    }
    ~ControllerLog() { Lumen::LogManager::GetInstance()->Release(); }

    size_t Count(const std::string& text) const
    {
        const std::string log = ReadFileBytes(path_);
        size_t count = 0;
        for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + text.size())) ++count;
        return count;
    }

private:
    std::wstring path_;
};

// POSTs a JSON body to one of the operator server's admin paths.
bool ServerAdmin(const std::wstring& path, const std::string& json)
{
    wchar_t port[16] = {};
    if (::GetEnvironmentVariableW(L"PAVO_OPERATOR_PORT", port, 16) == 0) return false;
    using Lumen::ScopedInternetHandle;
    ScopedInternetHandle session(::WinHttpOpen(L"test", WINHTTP_ACCESS_TYPE_NO_PROXY, nullptr, nullptr, 0));
    ScopedInternetHandle connection(
        ::WinHttpConnect(session.Get(), L"127.0.0.1", static_cast<INTERNET_PORT>(_wtoi(port)), 0));
    ScopedInternetHandle request(
        ::WinHttpOpenRequest(connection.Get(), L"POST", path.c_str(), nullptr, nullptr, nullptr, 0));
    if (!request) return false;
    const wchar_t* type = L"Content-Type: application/json\r\n";
    if (!::WinHttpSendRequest(request.Get(), type, static_cast<DWORD>(-1L), const_cast<char*>(json.data()),
                              static_cast<DWORD>(json.size()), static_cast<DWORD>(json.size()), 0) ||
        !::WinHttpReceiveResponse(request.Get(), nullptr))
        return false;
    DWORD status = 0, size = sizeof(status);
    ::WinHttpQueryHeaders(request.Get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, nullptr, &status,
                          &size, nullptr);
    return status == 200;
}

std::wstring DownloadFolder()
{
    wchar_t temp[520] = {};
    ::GetTempPathW(520, temp);
    return std::wstring(temp) + L"PavoAgent_download";
}

size_t ThreadCount()
{
    ScopedHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    size_t count = 0;
    for (BOOL more = ::Thread32First(snapshot.Get(), &entry); more; more = ::Thread32Next(snapshot.Get(), &entry))
        if (entry.th32OwnerProcessID == ::GetCurrentProcessId()) ++count;
    return count;
}

// A stand-in for the service's end of the pipe: counts identifications and
// can send anything to the agent.
class FakeService : public Lumen::IPipeDelegate {
public:
    // Returns once an instance can be connected to: the server makes it on
    // its serving thread, and the agent tries to connect only once.
    bool Create()
    {
        return server_.Create(AgentController::kPipeName, this) &&
               WaitUntil([] { return ::WaitNamedPipeW(AgentController::kPipeName, 1) != FALSE; }, 10000);
    }
    void Close() { server_.Close(); }
    void Send(const std::string& bytes)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        server_.Send(pipe_, bytes.data(), static_cast<DWORD>(bytes.size()));
    }
    size_t Identifications()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return identifications_;
    }

    void OnCreate(bool, HANDLE) override {}
    void OnConnect(bool success, HANDLE pipe) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (success) pipe_ = pipe;
    }
    void OnSend(HANDLE, DWORD) override {}
    void OnRecv(HANDLE, const BYTE* data, DWORD length) override
    {
        const Lumen::PipeMessage message = Lumen::PipeProtocol::ParsePipeMessage(data, length);
        std::lock_guard<std::mutex> lock(mutex_);
        if (message.status == Lumen::PipeMessageStatus::Ok && message.protocolId == Lumen::kProtocolAgentIdentify &&
            message.processId == static_cast<int>(::GetCurrentProcessId()))
            ++identifications_;
    }
    void OnDisconnect(HANDLE) override {}

private:
    Lumen::NamedPipeServer server_;
    std::mutex mutex_;
    HANDLE pipe_ = nullptr;
    size_t identifications_ = 0;
};

}  // namespace

class AgentControllerTest : public ::testing::Test {
protected:
    void SetUp() override { UseTestServer(); }
    void TearDown() override { controller_.Stop(); }

    bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs = 20000) { return PumpUntil(done, timeoutMs); }

    Recorder recorder_;
    AgentController controller_;
};

TEST_F(AgentControllerTest, CommandsRunInPushOrderWithNoticesOnTheUiThread)
{
    ASSERT_TRUE(controller_.Start(&recorder_, &recorder_));
    const ULONGLONG pushed = ::GetTickCount64();
    controller_.PushCommand(std::make_shared<AgentCmdLogout>());
    controller_.PushCommand(std::make_shared<AgentCmdNotifyConfigChange>(1));
    controller_.PushCommand(std::make_shared<AgentCmdLogout>());
    ASSERT_TRUE(WaitFor([&] { return recorder_.Count("complete") == 3; }));
    std::vector<Notice> notices;
    for (const Notice& notice : recorder_.Notices())
        if (notice.what != "cancel") notices.push_back(notice);
    ASSERT_EQ(notices.size(), 6u);
    const int expected[] = {AgentCmdBase::kLogout, AgentCmdBase::kNotifyConfigChange, AgentCmdBase::kLogout};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(notices[2 * i].what, "start");
        EXPECT_EQ(notices[2 * i + 1].what, "complete");
        EXPECT_EQ(notices[2 * i].type, expected[i]);
        EXPECT_EQ(notices[2 * i + 1].type, expected[i]);
    }
    for (const Notice& notice : notices) EXPECT_EQ(notice.thread, ::GetCurrentThreadId());
    // The configuration notice lasts at least its second (counted from the
    // push, which comes before its start).
    EXPECT_GE(notices[3].tick - pushed, 1000u);
}

TEST_F(AgentControllerTest, ALoginLastsAtLeastItsMinimum)
{
    ASSERT_TRUE(controller_.Start(&recorder_, &recorder_));
    const ULONGLONG pushed = ::GetTickCount64();
    controller_.PushCommand(std::make_shared<AgentCmdLogin>(L"tester", L"secret-pw"));
    ASSERT_TRUE(WaitFor([&] { return recorder_.Count("complete", AgentCmdBase::kLogin) == 1; }));
    const Notice* complete = recorder_.Find("complete", AgentCmdBase::kLogin);
    ASSERT_NE(complete, nullptr);
    EXPECT_EQ(complete->result, 0);
    EXPECT_GE(complete->tick - pushed, 200u);
    EXPECT_TRUE(controller_.GetSessionManager().IsLoggedIn());
}

TEST_F(AgentControllerTest, ASynchronousInstallCancelledAtItsStartDoesNoWork)
{
    ::CreateDirectoryW(DownloadFolder().c_str(), nullptr);
    const std::wstring marker = DownloadFolder() + L"\\marker.txt";
    ASSERT_TRUE(WriteFileBytes(marker, "left alone"));
    recorder_.cancelStartOf = AgentCmdBase::kInstallProduct;
    ASSERT_TRUE(controller_.Start(&recorder_, &recorder_));
    PRODUCT_INFO product;
    product.productCode = L"PAVO_VIEWER";
    product.url = L"http://127.0.0.1:1/download/never.exe";
    controller_.PushCommand(std::make_shared<AgentCmdInstallProduct>(product));
    ASSERT_TRUE(WaitFor([&] { return recorder_.Count("complete", AgentCmdBase::kInstallProduct) == 1; }));
    EXPECT_EQ(recorder_.Find("complete", AgentCmdBase::kInstallProduct)->result, -1);
    EXPECT_TRUE(FileExists(marker)) << "a download would have emptied the folder";
}

// The worker makes the logout's two notices and then the install's start
// while this thread looks at no message: they still run in that order, and
// the install's start still decides whether its work runs.
TEST_F(AgentControllerTest, ASynchronousStartRunsAfterTheNoticesQueuedBeforeIt)
{
    ::CreateDirectoryW(DownloadFolder().c_str(), nullptr);
    const std::wstring marker = DownloadFolder() + L"\\marker.txt";
    ASSERT_TRUE(WriteFileBytes(marker, "left alone"));
    recorder_.cancelStartOf = AgentCmdBase::kInstallProduct;
    ASSERT_TRUE(controller_.Start(&recorder_, &recorder_));
    PRODUCT_INFO product;
    product.productCode = L"PAVO_VIEWER";
    product.url = L"http://127.0.0.1:1/download/never.exe";
    controller_.PushCommand(std::make_shared<AgentCmdLogout>());
    controller_.PushCommand(std::make_shared<AgentCmdInstallProduct>(product));
    ASSERT_TRUE(WaitUntil([&] { return controller_.QueuedNotifications() >= 3; }, 20000))
        << "the worker never reached the install's start";
    ASSERT_TRUE(WaitFor([&] { return recorder_.Count("complete", AgentCmdBase::kInstallProduct) == 1; }));
    std::vector<Notice> notices;
    for (const Notice& notice : recorder_.Notices())
        if (notice.what != "cancel" && notice.type != AgentCmdBase::kSendTrayInfo) notices.push_back(notice);
    ASSERT_EQ(notices.size(), 4u);
    const std::pair<const char*, int> expected[] = {{"start", AgentCmdBase::kLogout},
                                                    {"complete", AgentCmdBase::kLogout},
                                                    {"start", AgentCmdBase::kInstallProduct},
                                                    {"complete", AgentCmdBase::kInstallProduct}};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(notices[i].what, expected[i].first) << i;
        EXPECT_EQ(notices[i].type, expected[i].second) << i;
    }
    EXPECT_EQ(notices[3].result, -1) << "the start's answer was not waited for: the installer would have run";
    EXPECT_TRUE(FileExists(marker)) << "a download would have emptied the folder";
}

TEST_F(AgentControllerTest, StopDuringALoginLeavesNoSessionBehind)
{
    // The answer comes late enough for Stop to begin while the login runs.
    ASSERT_TRUE(ServerAdmin(L"/admin/fault", R"({"path": "/agent/login", "delayMs": 600})"));
    ASSERT_TRUE(controller_.Start(&recorder_, &recorder_));
    controller_.PushCommand(std::make_shared<AgentCmdLogin>(L"tester", L"secret-pw"));
    ASSERT_TRUE(WaitFor([&] { return recorder_.Count("start", AgentCmdBase::kLogin) == 1; }));
    controller_.Stop();
    ServerAdmin(L"/admin/reset", "{}");
    EXPECT_FALSE(controller_.GetSessionManager().GetTimer().IsRunning())
        << "the timer would log the next session out at its first tick";
    EXPECT_FALSE(controller_.GetSessionManager().IsLoggedIn());
    EXPECT_EQ(controller_.GetSessionManager().GetToken(), "");
    EXPECT_EQ(controller_.GetSessionManager().GetTokenExpiry(), 0);
}

TEST_F(AgentControllerTest, AnAsynchronousCommandCannotBeCancelledAtItsStart)
{
    recorder_.cancelStartOf = AgentCmdBase::kLogin;
    ASSERT_TRUE(controller_.Start(&recorder_, &recorder_));
    controller_.PushCommand(std::make_shared<AgentCmdLogin>(L"tester", L"secret-pw"));
    // The worker does not wait for the start notice: the login happens
    // before this thread even looks at its messages.
    ASSERT_TRUE(WaitUntil([&] { return controller_.GetSessionManager().IsLoggedIn(); }, 20000));
    ASSERT_TRUE(WaitFor([&] { return recorder_.Count("complete", AgentCmdBase::kLogin) == 1; }));
}

// Stop runs no notification: one the worker waits for is withdrawn, and a
// start withdrawn that way cancels its work.
TEST_F(AgentControllerTest, StopWithdrawsTheNoticesTheWorkerWaitsFor)
{
    ::CreateDirectoryW(DownloadFolder().c_str(), nullptr);
    const std::wstring marker = DownloadFolder() + L"\\marker.txt";
    ASSERT_TRUE(WriteFileBytes(marker, "left alone"));
    ASSERT_TRUE(controller_.Start(&recorder_, &recorder_));
    PRODUCT_INFO product;
    product.productCode = L"PAVO_VIEWER";
    product.url = L"http://127.0.0.1:1/download/never.exe";
    controller_.PushCommand(std::make_shared<AgentCmdInstallProduct>(product));
    ASSERT_TRUE(WaitUntil([&] { return controller_.QueuedNotifications() >= 1; }, 20000));
    controller_.Stop();
    EXPECT_FALSE(controller_.IsRunning());
    EXPECT_EQ(recorder_.Count("start", AgentCmdBase::kInstallProduct), 0u) << "Stop ran a notification";
    EXPECT_TRUE(FileExists(marker)) << "the install ran without its start being answered";

    // A completion the worker would wait for after its minimum time.
    ASSERT_TRUE(controller_.Start(&recorder_, &recorder_));
    controller_.PushCommand(std::make_shared<AgentCmdContinueInstall>());
    ASSERT_TRUE(WaitFor([&] { return recorder_.Count("start", AgentCmdBase::kContinueInstall) == 1; }));
    controller_.Stop();
    EXPECT_EQ(recorder_.Count("complete", AgentCmdBase::kContinueInstall), 0u);
    EXPECT_FALSE(controller_.IsRunning());
    controller_.Stop();  // harmless
    EXPECT_FALSE(controller_.IsRunning());
}

TEST_F(AgentControllerTest, NothingIsLeftBehindAfterStop)
{
    // One round first, so that lazily made system objects are there already.
    ASSERT_TRUE(controller_.Start(&recorder_, &recorder_));
    controller_.Stop();
    const size_t threads = ThreadCount();
    DWORD handles = 0;
    ASSERT_TRUE(::GetProcessHandleCount(::GetCurrentProcess(), &handles));
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(controller_.Start(&recorder_, &recorder_));
        controller_.PushCommand(std::make_shared<AgentCmdLogout>());
        ASSERT_TRUE(WaitFor([&] { return recorder_.Count("complete") == static_cast<size_t>(round + 1); }));
        controller_.Stop();
    }
    EXPECT_EQ(FindWindowExW(HWND_MESSAGE, nullptr, L"LumenContextSwitcher", nullptr), nullptr);
    EXPECT_TRUE(WaitUntil([&] { return ThreadCount() <= threads; }, 5000)) << ThreadCount() << " > " << threads;
    DWORD after = 0;
    EXPECT_TRUE(WaitUntil(
        [&] {
            ::GetProcessHandleCount(::GetCurrentProcess(), &after);
            return after <= handles;
        },
        5000))
        << after << " handles > " << handles;
}

// The pipe, against a stand-in for the service.
TEST_F(AgentControllerTest, IdentifiesAtEveryStartAndObeysTheExitMessage)
{
    FakeService service;
    ASSERT_TRUE(service.Create());
    ASSERT_TRUE(controller_.Start(&recorder_, &recorder_));
    ASSERT_TRUE(WaitFor([&] { return service.Identifications() == 1; }));
    controller_.Stop();
    ASSERT_TRUE(controller_.Start(&recorder_, &recorder_));
    ASSERT_TRUE(WaitFor([&] { return service.Identifications() == 2; })) << "a fresh pipe, a fresh identification";

    ControllerLog log;
    const std::string parseError = Lumen::WideToUtf8(L"파이프 수신 데이터 파싱에 실패했습니다.");
    const std::string invalid = Lumen::WideToUtf8(L"파이프 수신 데이터가 유효하지 않습니다.");
    const size_t parseErrors = log.Count(parseError);
    const size_t invalids = log.Count(invalid);
    service.Send("no json here\n");
    ASSERT_TRUE(WaitFor([&] { return log.Count(parseError) == parseErrors + 1; }));
    service.Send(R"({"protocol_id":"1001"})" "\n");
    ASSERT_TRUE(WaitFor([&] { return log.Count(invalid) == invalids + 1; }));
    controller_.PushCommand(std::make_shared<AgentCmdLogout>());
    ASSERT_TRUE(WaitFor([&] { return recorder_.Count("complete", AgentCmdBase::kLogout) == 1; }));
    EXPECT_EQ(recorder_.Count("start", AgentCmdBase::kStopTray), 0u) << "bad messages change nothing";
    EXPECT_EQ(recorder_.Count("cancel"), 0u);

    service.Send(Lumen::PipeProtocol::BuildExitAgent());
    ASSERT_TRUE(WaitFor([&] { return recorder_.Count("complete", AgentCmdBase::kStopTray) >= 1; }))
        << recorder_.Count("start", AgentCmdBase::kStopTray) << " started";
    EXPECT_GE(recorder_.Count("cancel"), 1u);
    service.Close();
}

TEST_F(AgentControllerTest, MessagesThatArriveTogetherAreEachHandled)
{
    FakeService service;
    ASSERT_TRUE(service.Create());
    ASSERT_TRUE(controller_.Start(&recorder_, &recorder_));
    ASSERT_TRUE(WaitFor([&] { return service.Identifications() == 1; }));
    // A bad message and the start of the exit message in one write, the rest
    // of it in the next.
    const std::string exit = Lumen::PipeProtocol::BuildExitAgent();
    service.Send("no json here\n" + exit.substr(0, 6));
    service.Send(exit.substr(6));
    EXPECT_TRUE(WaitFor([&] { return recorder_.Count("complete", AgentCmdBase::kStopTray) >= 1; }));
    service.Close();
}

TEST_F(AgentControllerTest, ThePipesLossQueuesStopTrayBehindTheRunningCommand)
{
    FakeService service;
    ASSERT_TRUE(service.Create());
    ASSERT_TRUE(controller_.Start(&recorder_, &recorder_));
    ASSERT_TRUE(WaitFor([&] { return service.Identifications() == 1; }));
    controller_.PushCommand(std::make_shared<AgentCmdNotifyConfigChange>(0));
    ASSERT_TRUE(WaitFor([&] { return recorder_.Count("start", AgentCmdBase::kNotifyConfigChange) == 1; }));
    service.Close();
    ASSERT_TRUE(WaitFor([&] { return recorder_.Count("complete", AgentCmdBase::kStopTray) >= 1; }));
    const std::vector<Notice> notices = recorder_.Notices();
    size_t configDone = notices.size();
    size_t trayStart = notices.size();
    for (size_t i = 0; i < notices.size(); ++i) {
        if (notices[i].what == "complete" && notices[i].type == AgentCmdBase::kNotifyConfigChange) configDone = i;
        if (notices[i].what == "start" && notices[i].type == AgentCmdBase::kStopTray) trayStart = i;
    }
    EXPECT_LT(configDone, trayStart);
    EXPECT_EQ(recorder_.Count("cancel"), 1u);
}

// The pipe, against the real service program.
class AgentControllerServiceTest : public AgentControllerTest {
protected:
    void SetUp() override
    {
        AgentControllerTest::SetUp();
        directory_ = MakeTempDirectory(L"service");
        service_ = CopyProgram(L"PavoService.exe", directory_, L"PavoService.exe");
        // The service's session list is the stand-in's (Wine reports none),
        // and the agents it starts record what they see.
        ASSERT_TRUE(InstallSessionListStandIn());
        ASSERT_FALSE(CopyProgram(L"PavoTestAgent.exe", directory_, L"PavoAgent.exe").empty());
        SetSessions("0 disconnected\n");
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\PavoService.exe\\DllOverrides", 0,
                                    nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        const wchar_t native[] = L"native";
        ::RegSetValueExW(key, L"wtsapi32", 0, REG_SZ, reinterpret_cast<const BYTE*>(native), sizeof(native));
        ::RegCloseKey(key);
        ::CreateDirectoryW((directory_ + L"language").c_str(), nullptr);
        for (const wchar_t* file : {L"language\\eng.json", L"language\\kor.json"})
            ASSERT_TRUE(::CopyFileW((BinDirectory() + file).c_str(), (directory_ + file).c_str(), FALSE));
        DWORD code = 1;
        ASSERT_TRUE(RunAndWait(L"\"" + service_ + L"\" install", 60000, &code));
        ASSERT_EQ(code, 0u);
        ASSERT_TRUE(WaitUntil([] { return Lumen::SessionUtils::IsServiceRunning(); }, 30000));
        // The service reports running before its worker has made the pipe,
        // and the agent connects once only.
        const std::wstring log = directory_ + L"Log\\PavoService.exe_" + TodayForLogName() + L".log";
        const std::string created = Lumen::WideToUtf8(L"서버 파이프가 생성되었습니다.");
        ASSERT_TRUE(WaitUntil([&] { return ReadFileBytes(log).find(created) != std::string::npos; }, 20000));
    }
    void TearDown() override
    {
        AgentControllerTest::TearDown();
        RemoveService(L"PavoService");
    }

    void SetSessions(const std::string& lines)
    {
        ASSERT_TRUE(WriteFileBytes(SystemDirectory() + L"wtsapi32-sessions.txt", lines));
    }
    size_t AgentsStartedByTheService()
    {
        const std::string events = ReadFileBytes(directory_ + L"test-agent-events.txt");
        size_t count = 0;
        for (size_t at = events.find("start "); at != std::string::npos; at = events.find("start ", at + 1)) ++count;
        return count;
    }

    std::wstring directory_;
    std::wstring service_;
};

TEST_F(AgentControllerServiceTest, TheServiceCountsAnIdentifiedAgentAsPresent)
{
    ASSERT_TRUE(controller_.Start(&recorder_, &recorder_));
    ASSERT_TRUE(WaitFor([&] { return recorder_.Count("complete", AgentCmdBase::kSendTrayInfo) == 1; }));
    DWORD session = 0;
    ::ProcessIdToSessionId(::GetCurrentProcessId(), &session);
    SetSessions(std::to_string(session) + " active\n");
    // A tick (every 30 s) finds this session's agent connected: no new one.
    EXPECT_FALSE(WaitFor([&] { return AgentsStartedByTheService() > 0; }, 40000));
    // Once this agent has gone, the next tick starts one.
    controller_.Stop();
    EXPECT_TRUE(WaitFor([&] { return AgentsStartedByTheService() > 0; }, 45000));
}

TEST_F(AgentControllerServiceTest, TheServicesExitMessageEndsTheAgent)
{
    ASSERT_TRUE(controller_.Start(&recorder_, &recorder_));
    controller_.PushCommand(std::make_shared<AgentCmdNotifyConfigChange>(0));
    ASSERT_TRUE(WaitFor([&] { return recorder_.Count("start", AgentCmdBase::kNotifyConfigChange) == 1; }));
    ASSERT_TRUE(Lumen::SessionUtils::StopInstalledService());
    ASSERT_TRUE(WaitFor([&] { return recorder_.Count("complete", AgentCmdBase::kStopTray) >= 1; }));
    EXPECT_GE(recorder_.Count("cancel"), 1u);
    EXPECT_EQ(recorder_.Count("complete", AgentCmdBase::kNotifyConfigChange), 1u);
}

TEST_F(AgentControllerServiceTest, StopServiceMakesTheServiceStopItself)
{
    ASSERT_TRUE(controller_.Start(&recorder_, &recorder_));
    // Identified first: the stop request follows on the same pipe.
    ASSERT_TRUE(WaitFor([&] { return recorder_.Count("complete", AgentCmdBase::kSendTrayInfo) == 1; }));
    // Messages have no framing: a second one right behind the first may
    // arrive in the same read. A one-second command keeps them apart, as a
    // user's exit request would be.
    controller_.PushCommand(std::make_shared<AgentCmdNotifyConfigChange>(0));
    controller_.PushCommand(std::make_shared<AgentCmdStopService>());
    EXPECT_TRUE(WaitFor([] { return QueryServiceState(L"PavoService") == SERVICE_STOPPED; }, 30000));
    EXPECT_TRUE(WaitFor([&] { return recorder_.Count("complete", AgentCmdBase::kStopTray) >= 1; }))
        << "the stopping service ends the agent too";
}
