#include "ServiceController.h"

#include <wtsapi32.h>

#include <cstdint>
#include <system_error>
#include <vector>

#include "Lumen/DebugOutput.h"
#include "Lumen/LogManager.h"
#include "Lumen/PathUtils.h"
#include "Lumen/PipeProtocol.h"
#include "Lumen/ScopedLock.h"
#include "Lumen/SessionUtils.h"
#include "ServiceCmdStartTray.h"

using Lumen::LogManager;
using Lumen::ScopedLock;
namespace SessionUtils = Lumen::SessionUtils;

namespace {

constexpr const wchar_t* kAgentProgram = L"PavoAgent.exe";

// The log texts show a pipe by its handle value.
int PipeTarget(HANDLE pipe)
{
    return static_cast<int>(reinterpret_cast<intptr_t>(pipe));
}

}  // namespace

ServiceController::~ServiceController()
{
    Stop();
}

void ServiceController::SetWorkerFailureHandler(std::function<void(DWORD)> handler)
{
    workerFailureHandler_ = std::move(handler);
}

void ServiceController::Start()
{
    ScopedLock lock(&runLock_);
    if (runAnnounced_) return;
    runAnnounced_ = true;
    runFinished_.Reset();
}

void ServiceController::Run()
{
    Start();
    {
        ScopedLock lock(&runLock_);
        workerId_ = std::this_thread::get_id();
    }
    // Whatever way Run is left, a waiting Stop hears of it.
    struct Finish {
        Lumen::Event& finished;
        ~Finish() { finished.Set(); }
    } finish{runFinished_};

    DWORD failure = NO_ERROR;
    try {
        OnPrepareWorker();
        ProcessingLoop();
        if (!stopEvent_.IsSet()) failure = ::GetLastError();  // the loop's wait failed
    } catch (...) {
        failure = ::GetLastError();
        LogManager::GetInstance()->Error(L"[%s, %d] 에러가 발생되었습니다. error : %d", L"ServiceController::Run",
                                         __LINE__, static_cast<int>(failure));
    }
    // Whatever ended the work, the pipe server stops and the agents are told
    // and ended.
    try {
        OnFinishWorker();
    } catch (...) {
        LogManager::GetInstance()->Error(L"[%s, %d] 에러가 발생되었습니다. error : %d", L"ServiceController::Run",
                                         __LINE__, static_cast<int>(::GetLastError()));
    }
    if (stopEvent_.IsSet()) return;
    // Nobody asked the worker to end: the service must not go on reporting RUNNING.
    try {
        if (workerFailureHandler_) workerFailureHandler_(failure == NO_ERROR ? ERROR_GEN_FAILURE : failure);
    } catch (...) {
        Lumen::OutputDebugMessage(L"ServiceController::Run : the failure handler raised an exception");
    }
}

void ServiceController::Stop()
{
    {
        ScopedLock lock(&runLock_);
        if (!runAnnounced_) return;
        if (workerId_ == std::this_thread::get_id()) return;  // would deadlock
    }
    stopEvent_.Set();
    ::WaitForSingleObject(runFinished_.GetHandle(), INFINITE);
    {
        ScopedLock lock(&runLock_);
        runAnnounced_ = false;
        workerId_ = std::thread::id();
    }
    {
        ScopedLock lock(&clientsLock_);
        clients_.clear();  // the pipes are closed: no disconnect will come
    }
    commands_.Clear();
    queueEvent_.Reset();
    stopEvent_.Reset();
    LogManager::GetInstance()->Info(L"서비스를 종료합니다.\n\n");
}

void ServiceController::EnqueueStartTray(DWORD sessionId)
{
    commands_.Push(std::make_shared<ServiceCmdStartTray>(sessionId));
    queueEvent_.Set();
}

bool ServiceController::IsAgentConnected(DWORD sessionId)
{
    ScopedLock lock(&clientsLock_);
    for (const auto& client : clients_)
        if (static_cast<DWORD>(client.second.sessionId) == sessionId) return true;
    return false;
}

DWORD ServiceController::OnSessionChange(DWORD eventType, void* eventData, void*)
{
    if (eventType == WTS_SESSION_LOGON && eventData != nullptr)
        EnqueueStartTray(static_cast<WTSSESSION_NOTIFICATION*>(eventData)->dwSessionId);
    return 0;
}

void ServiceController::OnTimer()
{
    if (stopEvent_.IsSet()) return;
    const DWORD session = SessionUtils::GetActiveSessionId();
    if (session == 0) return;
    if (!IsAgentConnected(session)) EnqueueStartTray(session);
}

void ServiceController::OnPrepareWorker()
{
    pipeServerOpen_ = false;
    try {
        pipeServerOpen_ = pipeServer_.Open(kPipeName, this);
    } catch (const std::system_error&) {
        pipeServerOpen_ = false;
    }
    if (!pipeServerOpen_) {
        // Agents are still started; they cannot connect, so each check starts one again.
        LogManager::GetInstance()->Error(L"[%s, %d] 서버 파이프 생성에 실패했습니다. error : %d",
                                         L"ServiceController::OnPrepareWorker", __LINE__,
                                         static_cast<int>(::GetLastError()));
    }
    const DWORD session = SessionUtils::GetActiveSessionId();
    if (session != 0) EnqueueStartTray(session);
}

void ServiceController::ProcessingLoop()
{
    // The pipe server's handles come after the controller's own two: stop
    // first, so that nothing else is served once it is set.
    HANDLE waits[2 + Lumen::NamedPipeServer::kWaitHandleCount] = {stopEvent_.GetHandle(), queueEvent_.GetHandle()};
    DWORD count = 2;
    if (pipeServerOpen_) {
        HANDLE pipeHandles[Lumen::NamedPipeServer::kWaitHandleCount] = {};
        pipeServer_.GetWaitHandles(pipeHandles);
        for (HANDLE handle : pipeHandles) waits[count++] = handle;
    }
    ULONGLONG nextCheck = ::GetTickCount64() + kTimerPeriodMs;
    for (;;) {
        Lumen::ResetWhenEmpty(commands_, queueEvent_);
        const ULONGLONG now = ::GetTickCount64();
        if (now >= nextCheck) {
            nextCheck = now + kTimerPeriodMs;
            OnTimer();
            continue;
        }
        // Alertable: the pipe server's completion routines run in this wait.
        const DWORD result =
            ::WaitForMultipleObjectsEx(count, waits, FALSE, static_cast<DWORD>(nextCheck - now), TRUE);
        if (result == WAIT_OBJECT_0) {
            LogManager::GetInstance()->Info(L"ServiceController thread를 종료합니다.");
            return;
        }
        if (result == WAIT_OBJECT_0 + 1) {
            std::shared_ptr<ServiceCmdBase> command;
            if (!commands_.Pop(command) || !command) continue;
            if (command->GetType() == ServiceCmdStartTray::kType)
                RunStartTray(*command, static_cast<ServiceCmdStartTray&>(*command).GetSessionId());
            continue;
        }
        if (result >= WAIT_OBJECT_0 + 2 && result < WAIT_OBJECT_0 + count) {
            pipeServer_.Dispatch(waits[result - WAIT_OBJECT_0]);
            continue;
        }
        if (result == WAIT_TIMEOUT || result == WAIT_IO_COMPLETION) continue;
        LogManager::GetInstance()->Error(L"[%s, %d] 에러가 발생되었습니다. error : %d",
                                         L"ServiceController::ProcessingLoop", __LINE__,
                                         static_cast<int>(::GetLastError()));
        return;
    }
}

void ServiceController::RunStartTray(ServiceCmdBase& command, DWORD sessionId)
{
    if (IsAgentConnected(sessionId)) {
        command.SetResult(0);
        return;
    }
    LogManager::GetInstance()->Info(L"세션 ID: %d로 에이전트를 실행합니다.", static_cast<int>(sessionId));
    const std::wstring directory = Lumen::GetModuleDirectory();
    if (directory.empty()) {
        // Never a bare name: as LocalSystem it would be searched for.
        Lumen::OutputDebugMessage(L"ServiceController : the program folder is unknown");
        command.SetResult(-2);
        return;
    }
    const std::wstring agentPath = directory + kAgentProgram;
    command.SetResult(SessionUtils::CreateProcessInSession(sessionId, agentPath, L"LANCH_SERVICE") ? 0 : -2);
}

void ServiceController::OnFinishWorker()
{
    try {
        SendExitToAgents();
    } catch (...) {
        // The pipe server must still be closed here: only this thread can.
        LogManager::GetInstance()->Error(L"[%s, %d] 에러가 발생되었습니다. error : %d",
                                         L"ServiceController::OnFinishWorker", __LINE__,
                                         static_cast<int>(ERROR_NOT_ENOUGH_MEMORY));
    }
    // Writes what is queued, then closes every agent's pipe: an agent exits
    // on the message or on the loss of its pipe, whichever it sees first.
    pipeServer_.Close();
    pipeServerOpen_ = false;
    EndRemainingAgents();
}

void ServiceController::SendExitToAgents()
{
    const std::string message = Lumen::PipeProtocol::BuildExitAgent();
    ScopedLock lock(&clientsLock_);
    for (const auto& client : clients_)
        pipeServer_.Send(client.first, message.data(), static_cast<DWORD>(message.size()));
}

void ServiceController::OnCreate(bool success, HANDLE pipe)
{
    if (success) {
        LogManager::GetInstance()->Info(L"서버 파이프가 생성되었습니다. pipeTarget : %d", PipeTarget(pipe));
    } else {
        LogManager::GetInstance()->Error(L"[%s, %d] 서버 파이프 생성에 실패했습니다. error : %d",
                                         L"ServiceController::OnCreate", __LINE__,
                                         static_cast<int>(::GetLastError()));
    }
}

void ServiceController::OnConnect(bool success, HANDLE pipe)
{
    if (!success) return;
    ScopedLock lock(&clientsLock_);
    // A new connection starts afresh, even on a handle value used before.
    clients_.insert_or_assign(pipe, Client());  // identified later by its 1002
}

void ServiceController::OnSend(HANDLE pipe, DWORD bytes)
{
    Lumen::OutputDebugMessage(L"ServiceController::OnSend : pipeTarget : %d, transmit %d bytes", PipeTarget(pipe),
                              static_cast<int>(bytes));
}

void ServiceController::OnRecv(HANDLE pipe, const BYTE* data, DWORD length)
{
    std::vector<Lumen::PipeMessageSplitter::Piece> pieces;
    {
        ScopedLock lock(&clientsLock_);
        const auto client = clients_.find(pipe);
        if (client == clients_.end()) return;  // its loss was handled already
        pieces = client->second.pending.Append(data, length);
    }
    // Each complete message in order; none is handled under the map lock.
    for (const Lumen::PipeMessageSplitter::Piece& piece : pieces) {
        if (piece.tooLong) {
            LogManager::GetInstance()->Error(L"[%s, %d] 파이프 수신 데이터가 유효하지 않습니다.",
                                             L"ServiceController::OnRecv", __LINE__);
            continue;
        }
        HandleMessage(pipe, piece.text);
    }
}

void ServiceController::HandleMessage(HANDLE pipe, const std::string& text)
{
    const Lumen::PipeMessage message = Lumen::PipeProtocol::ParsePipeMessage(text.data(), text.size());
    switch (message.status) {
    case Lumen::PipeMessageStatus::ParseError:
        LogManager::GetInstance()->Error(L"[%s, %d] 파이프 수신 데이터 파싱에 실패했습니다.",
                                         L"ServiceController::OnRecv", __LINE__);
        return;
    case Lumen::PipeMessageStatus::Invalid:
        LogManager::GetInstance()->Error(L"[%s, %d] 파이프 수신 데이터가 유효하지 않습니다.",
                                         L"ServiceController::OnRecv", __LINE__);
        return;
    case Lumen::PipeMessageStatus::Ok:
        break;
    }
    if (message.protocolId == Lumen::kProtocolStopService) {
        OnRecvStopService();
    } else if (message.protocolId == Lumen::kProtocolAgentIdentify) {
        OnRecvAgentIdentify(pipe, message);
    }
    // Other identifiers are not for the service.
}

void ServiceController::OnRecvAgentIdentify(HANDLE pipe, const Lumen::PipeMessage& message)
{
    {
        ScopedLock lock(&clientsLock_);
        // Only a pipe that is still connected: a message read before its loss
        // must not bring its entry back.
        const auto client = clients_.find(pipe);
        if (client == clients_.end()) return;
        client->second.sessionId = message.sessionId;
        client->second.processId = message.processId;
    }
    LogManager::GetInstance()->Info(L"에이전트가 식별되었습니다. pipeTarget : %d, sessionId : %d, processId : %d",
                                    PipeTarget(pipe), static_cast<int>(message.sessionId),
                                    static_cast<int>(message.processId));
}

void ServiceController::OnDisconnect(HANDLE pipe)
{
    ScopedLock lock(&clientsLock_);
    clients_.erase(pipe);
}

void ServiceController::OnRecvStopService()
{
    // The stop goes through the service manager, from another process: this
    // one is inside the service and cannot wait for its own stop.
    const std::wstring program = Lumen::GetModulePath();
    if (program.empty() || !SessionUtils::RunProcess(program, L"stop")) {
        LogManager::GetInstance()->Error(L"[%s, %d] 서비스 종료에 실패했습니다. error : %d",
                                         L"ServiceController::OnRecvStopService", __LINE__,
                                         static_cast<int>(::GetLastError()));
    }
}

void ServiceController::EndRemainingAgents()
{
    for (int check = 0; check < 10; ++check) {
        ::Sleep(500);
        // Any agent counts, also one that this process cannot open.
        if (SessionUtils::FindProcessesByName(kAgentProgram).empty()) return;
    }
    // Every agent, not only the first found; one that could not be ended is
    // tried again in the next round.
    constexpr int kEndRounds = 3;
    for (int round = 0; round < kEndRounds; ++round) {
        std::vector<SessionUtils::FoundProcess> agents = SessionUtils::FindProcessesByName(kAgentProgram);
        if (agents.empty()) break;
        for (SessionUtils::FoundProcess& agent : agents) {
            if (!agent.handle) {
                Lumen::OutputDebugMessage(L"ServiceController : agent %d cannot be opened, error : %d",
                                          static_cast<int>(agent.processId), static_cast<int>(::GetLastError()));
            } else if (!::TerminateProcess(agent.handle.Get(), 0)) {
                Lumen::OutputDebugMessage(L"ServiceController : agent %d cannot be ended, error : %d",
                                          static_cast<int>(agent.processId), static_cast<int>(::GetLastError()));
            }
        }
        // Gone before the next search, so that it does not find them again.
        for (SessionUtils::FoundProcess& agent : agents)
            if (agent.handle) ::WaitForSingleObject(agent.handle.Get(), 5000);
    }
    LogManager::GetInstance()->Error(L"[%s, %d] 살아있는 %s 가 존재하여 강제 종료를 시도했습니다.",
                                     L"ServiceController::OnFinishWorker", __LINE__, kAgentProgram);
}
