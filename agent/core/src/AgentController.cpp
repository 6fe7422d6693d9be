#include "AgentController.h"

#include <process.h>

#include <cstdint>
#include <system_error>

#include "AgentCmdCheckProduct.h"
#include "AgentCmdInstallProduct.h"
#include "AgentCmdLogin.h"
#include "AgentCmdSendTrayInfo.h"
#include "AgentCmdStopTray.h"
#include "Lumen/DebugOutput.h"
#include "Lumen/LogManager.h"
#include "Lumen/PipeProtocol.h"
#include "Lumen/SessionUtils.h"

using Lumen::LogManager;

namespace {

int PipeTarget(HANDLE pipe)
{
    return static_cast<int>(reinterpret_cast<intptr_t>(pipe));
}

}  // namespace

AgentController::AgentController()
{
    sessionManager_.Reset();
    packageManager_.Reset();
    packageManager_.SetProgressSink([this](const InstallProgress& progress) {
        if (!progress_.Report(progress, ::GetTickCount())) return;
        const HWND window = progressWindow_.load();
        if (window == nullptr || !::PostMessageW(window, progressMessage_.load(), 0, 0)) {
            // Nobody will take it: the next report may try again.
            InstallProgress dropped;
            progress_.Take(&dropped);
        }
    });
}

void AgentController::SetProgressTarget(HWND window, UINT message)
{
    progressMessage_ = message;
    progressWindow_ = window;
}

AgentController::~AgentController()
{
    Stop();
}

bool AgentController::Start(ISessionChangeHandler* sessionHandler, IAgentCmdResponseHandler* responseHandler)
{
    if (worker_) return true;
    if (!sessionManager_.Initialize(sessionHandler)) return false;
    packageManager_.SetSessionManager(&sessionManager_);
    contextSwitcher_.SetDelegater(this);
    if (!contextSwitcher_.Create()) return false;
    responseHandler_ = responseHandler;
    const uintptr_t thread = ::_beginthreadex(nullptr, 0, &AgentController::WorkerMain, this, 0, nullptr);
    if (thread == 0) {
        contextSwitcher_.Destroy();
        responseHandler_ = nullptr;
        return false;
    }
    worker_.Reset(reinterpret_cast<HANDLE>(thread));
    return true;
}

void AgentController::PushCommand(std::shared_ptr<AgentCmdBase> command)
{
    if (!command) return;
    commands_.Push(std::move(command));
    commandEvent_.Set();
}

void AgentController::Stop()
{
    if (stopEvent_.IsSet()) return;
    if (delivering_ > 0) {
        LogManager::GetInstance()->Error(L"[%s, %d] 알림 처리 중에 컨트롤러를 멈춥니다.", L"AgentController::Stop",
                                         __LINE__);
    }
    stopEvent_.Set();
    if (worker_) {
        // The worker never waits for this thread once the stop event is set;
        // other threads' sent messages are still answered while joining.
        const HANDLE thread = worker_.Get();
        while (::MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
            MSG message;
            ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
        worker_.Reset();
    }
    // Only now: a login that was still running has started the timer, and a
    // timer left running would find the reset session logged out at its next
    // tick and end the next session the user starts.
    sessionManager_.GetTimer().Stop();
    sessionManager_.Reset();
    packageManager_.Reset();
    contextSwitcher_.Destroy();
    ResetState();
}

void AgentController::ResetState()
{
    responseHandler_ = nullptr;
    commands_.Clear();
    // Notifications posted for a window that is gone would never run, and
    // would put every later message one item behind.
    switchQueue_.Clear();
    commandEvent_.Reset();
    stopEvent_.Reset();
}

unsigned __stdcall AgentController::WorkerMain(void* self) noexcept
{
    try {
        static_cast<AgentController*>(self)->Run();
    } catch (...) {
        LogManager::GetInstance()->Error(L"[%s, %d] 에러가 발생되었습니다. error : %d", L"AgentController::Run",
                                         __LINE__, static_cast<int>(::GetLastError()));
    }
    return 0;
}

void AgentController::Run()
{
    bool connected = false;
    try {
        connected = pipeClient_.Create(kPipeName, this);
    } catch (const std::system_error&) {
        connected = false;
    }
    if (!connected) {
        // The agent runs on without the service; messages to it are dropped.
        LogManager::GetInstance()->Error(L"[%s, %d] 파이프 생성에 실패했습니다. error : %d",
                                         L"AgentController::OnPrepare", __LINE__, static_cast<int>(::GetLastError()));
    }
    Processing();
    pipeClient_.Close();
}

void AgentController::Processing()
{
    const HANDLE waits[2] = {stopEvent_.GetHandle(), commandEvent_.GetHandle()};
    for (;;) {
        if (commands_.Size() == 0) {
            commandEvent_.Reset();
            // A push between the check and the reset must not be lost.
            if (commands_.Size() != 0) commandEvent_.Set();
        }
        const DWORD result = ::WaitForMultipleObjectsEx(2, waits, FALSE, INFINITE, TRUE);
        if (result == WAIT_OBJECT_0) {
            LogManager::GetInstance()->Info(L"AgentController thread를 종료합니다.");
            return;
        }
        if (result == WAIT_OBJECT_0 + 1) {
            OnCommand();
            continue;
        }
        if (result == WAIT_IO_COMPLETION) continue;
        LogManager::GetInstance()->Error(L"[%s, %d] 에러가 발생되었습니다. error : %d", L"AgentController::Processing",
                                         __LINE__, static_cast<int>(::GetLastError()));
        return;
    }
}

void AgentController::OnCommand()
{
    std::shared_ptr<AgentCmdBase> command;
    if (!commands_.Pop(command) || !command) return;
    const DWORD started = ::GetTickCount();
    auto param = std::make_shared<SWITCH_CMD_PARAM>();
    param->command = command;

    const bool delivered = SwitchToUiThread(command->IsSynchronous(), [this](std::shared_ptr<SWITCH_CMD_PARAM> p) {
        if (IAgentCmdResponseHandler* handler = responseHandler_.load()) handler->OnCommandStart(p->command);
        return 0;
    }, param);
    // A start withdrawn by a stop asked nobody: its work must not run unasked.
    if (!delivered && command->IsSynchronous()) command->SetResult(-1);

    // Only a synchronous start can have been cancelled by now.
    if (command->GetResult() >= 0) {
        progress_.Begin();
        command->SetResult(DoWork(*command));
        // Progress that comes after this belongs to no command on the screen.
        progress_.End();
    }

    // A stop does not wait for the rest of a display's minimum time.
    const DWORD minimum = command->GetMinimumDuration();
    const DWORD elapsed = ::GetTickCount() - started;
    if (minimum != 0 && elapsed < minimum) ::WaitForSingleObject(stopEvent_.GetHandle(), minimum - elapsed);

    SwitchToUiThread(command->IsSynchronous(), [this](std::shared_ptr<SWITCH_CMD_PARAM> p) {
        if (IAgentCmdResponseHandler* handler = responseHandler_.load()) handler->OnCommandComplete(p->command);
        return 0;
    }, param);
}

int AgentController::DoWork(AgentCmdBase& command)
{
    switch (command.GetType()) {
    case AgentCmdBase::kStopService:
        SendToService(Lumen::PipeProtocol::BuildStopService());
        return command.GetResult();
    case AgentCmdBase::kSendTrayInfo:
        SendToService(
            Lumen::PipeProtocol::BuildAgentIdentify(Lumen::SessionUtils::GetProcessSessionId(), ::GetCurrentProcessId()));
        return command.GetResult();
    case AgentCmdBase::kLogin: {
        auto& login = static_cast<AgentCmdLogin&>(command);
        return sessionManager_.Login(login.GetUserId(), login.GetPassword());
    }
    case AgentCmdBase::kCheckProduct:
        return packageManager_.CheckProduct(static_cast<AgentCmdCheckProduct&>(command).GetProducts());
    case AgentCmdBase::kInstallProduct: {
        const PRODUCT_INFO& product = static_cast<AgentCmdInstallProduct&>(command).GetProduct();
        int result = packageManager_.DownloadUrl(product);
        if (result >= 0 && !packageManager_.IsInstalled(product.productCode)) result = -2;
        return result;
    }
    case AgentCmdBase::kInstallAllProduct:
    case AgentCmdBase::kContinueInstall:
        return packageManager_.InstallAllProduct();
    case AgentCmdBase::kStopTray:
    case AgentCmdBase::kLogout:
    case AgentCmdBase::kNotifyConfigChange:
    default:
        return command.GetResult();
    }
}

void AgentController::SendToService(const std::string& message)
{
    pipeClient_.SendToServer(message.data(), static_cast<DWORD>(message.size()));
}

bool AgentController::SwitchToUiThread(bool synchronous,
                                       std::function<int(std::shared_ptr<SWITCH_CMD_PARAM>)> callable,
                                       std::shared_ptr<SWITCH_CMD_PARAM> param)
{
    auto item = std::make_shared<SWITCH_QUEUE_ITEM>();
    item->callable = std::move(callable);
    item->param = std::move(param);
    if (synchronous) item->done = std::make_unique<Lumen::Event>();
    if (++lastSwitchSerial_ == 0) ++lastSwitchSerial_;
    const WPARAM serial = item->serial = lastSwitchSerial_;
    switchQueue_.Push(item);
    // Always posted: a sent message would run ahead of the posted ones
    // already waiting. The drain it starts runs the queue in order.
    const bool posted = contextSwitcher_.SwitchAsync(serial);
    if (posted && (!synchronous || WaitUntilRun(*item))) return true;
    // Withdrawn: no drain may run it after the worker has moved on. One
    // that is running right now has not answered, so it counts as unrun.
    std::shared_ptr<SWITCH_QUEUE_ITEM> withdrawn;
    TakeSwitchItem(serial, &withdrawn);
    return false;
}

bool AgentController::WaitUntilRun(const SWITCH_QUEUE_ITEM& item)
{
    const HANDLE waits[2] = {item.done->GetHandle(), stopEvent_.GetHandle()};
    for (;;) {
        // Alertable, as the processing loop is: the pipe's completions still run.
        const DWORD result = ::WaitForMultipleObjectsEx(2, waits, FALSE, INFINITE, TRUE);
        if (result == WAIT_OBJECT_0) return true;
        if (result == WAIT_IO_COMPLETION) continue;
        if (result != WAIT_OBJECT_0 + 1) {
            LogManager::GetInstance()->Error(L"[%s, %d] 에러가 발생되었습니다. error : %d",
                                             L"AgentController::WaitUntilRun", __LINE__,
                                             static_cast<int>(::GetLastError()));
        }
        return item.done->IsSet();
    }
}

bool AgentController::TakeSwitchItem(WPARAM serial, std::shared_ptr<SWITCH_QUEUE_ITEM>* item)
{
    return switchQueue_.TakeFirst(
        [serial](const std::shared_ptr<SWITCH_QUEUE_ITEM>& queued) { return queued && queued->serial == serial; },
        *item);
}

LRESULT AgentController::OnSwitchContext(bool, WPARAM)
{
    // A message that arrives inside a running notification (its modal loop)
    // runs nothing: a later notification must not run inside an earlier one.
    if (delivering_ > 0) return 1;
    std::shared_ptr<SWITCH_QUEUE_ITEM> item;
    while (switchQueue_.Pop(item)) {
        if (!item) continue;
        ++delivering_;
        try {
            item->result = item->callable(item->param);
        } catch (...) {
            LogManager::GetInstance()->Error(L"[%s, %d] 알림 처리 중 예외가 발생했습니다.",
                                             L"AgentController::OnSwitchContext", __LINE__);
        }
        --delivering_;
        // Whatever happened, the worker waiting for it goes on.
        if (item->done) item->done->Set();
    }
    return 1;
}

void AgentController::StopTraySequence()
{
    if (IAgentCmdResponseHandler* handler = responseHandler_.load()) handler->OnCommandCancel();
    PushCommand(std::make_shared<AgentCmdStopTray>());
}

void AgentController::OnCreate(bool success, HANDLE pipe)
{
    if (success) {
        LogManager::GetInstance()->Info(L"파이프가 생성되었습니다. pipeTarget : %d", PipeTarget(pipe));
    } else {
        LogManager::GetInstance()->Error(L"[%s, %d] 파이프 생성에 실패했습니다. error : %d", L"AgentController::OnCreate",
                                         __LINE__, static_cast<int>(::GetLastError()));
    }
}

void AgentController::OnConnect(bool success, HANDLE)
{
    pipeMessages_.Clear();  // a new connection: nothing of an old one is kept
    if (!success) {
        LogManager::GetInstance()->Error(L"[%s, %d] 서버 파이프 접속에 실패했습니다. error : %d",
                                         L"AgentController::OnConnect", __LINE__, static_cast<int>(::GetLastError()));
        return;
    }
    PushCommand(std::make_shared<AgentCmdSendTrayInfo>());
}

void AgentController::OnSend(HANDLE pipe, DWORD bytes)
{
    Lumen::OutputDebugMessage(L"AgentController::OnSend : pipeTarget : %d, transmit %d bytes", PipeTarget(pipe),
                              static_cast<int>(bytes));
}

void AgentController::OnRecv(HANDLE, const BYTE* data, DWORD length)
{
    // A read may carry several messages, or part of one: each complete
    // message is handled in order.
    for (const Lumen::PipeMessageSplitter::Piece& piece : pipeMessages_.Append(data, length)) {
        const Lumen::PipeMessage message = piece.tooLong
                                               ? Lumen::PipeMessage{Lumen::PipeMessageStatus::Invalid, 0, 0, 0}
                                               : Lumen::PipeProtocol::ParsePipeMessage(piece.text.data(), piece.text.size());
        if (message.status == Lumen::PipeMessageStatus::ParseError) {
            LogManager::GetInstance()->Error(L"[%s, %d] 파이프 수신 데이터 파싱에 실패했습니다.",
                                             L"AgentController::OnRecv", __LINE__);
            continue;
        }
        if (message.status == Lumen::PipeMessageStatus::Invalid) {
            LogManager::GetInstance()->Error(L"[%s, %d] 파이프 수신 데이터가 유효하지 않습니다.",
                                             L"AgentController::OnRecv", __LINE__);
            continue;
        }
        if (message.protocolId == Lumen::kProtocolExitAgent) StopTraySequence();
    }
}

void AgentController::OnDisconnect(HANDLE)
{
    StopTraySequence();
}
