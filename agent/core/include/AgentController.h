#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>

#include "AgentCmdBase.h"
#include "IAgentCmdResponseHandler.h"
#include "ISessionChangeHandler.h"
#include "Lumen/ContextSwitcher.h"
#include "Lumen/Event.h"
#include "Lumen/IPipeDelegate.h"
#include "Lumen/NamedPipeClient.h"
#include "Lumen/PipeMessageSplitter.h"
#include "Lumen/SynchronizedQueue.h"
#include "Lumen/UniqueHandle.h"
#include "PackageManager.h"
#include "ProgressCoalescer.h"
#include "SessionManager.h"

// The agent's engine: runs queued commands one at a time on its worker
// thread, hands each command's start and completion to the user-interface
// thread, and holds the agent's end of the service pipe.
//
// Notifications reach the user-interface thread through one queue, in the
// order the worker made them, whether the worker waits for them or not: a
// notification the worker waits for runs only after those queued before it.
//
// Start and Stop: user-interface thread only. PushCommand: any thread.
class AgentController : public Lumen::IPipeDelegate, public Lumen::ContextSwitcher::SwitchingDelegater {
public:
    static constexpr const wchar_t* kPipeName = L"\\\\.\\pipe\\PavoService_pipe";

    struct SWITCH_CMD_PARAM {
        std::shared_ptr<AgentCmdBase> command;
    };
    struct SWITCH_QUEUE_ITEM {
        std::function<int(std::shared_ptr<SWITCH_CMD_PARAM>)> callable;
        std::shared_ptr<SWITCH_CMD_PARAM> param;
        int result = 0;
        // Names the item, so that a worker that stops waiting can withdraw it.
        WPARAM serial = 0;
        // Set once the item has run; only for the items the worker waits for.
        std::unique_ptr<Lumen::Event> done;
    };

    AgentController();
    ~AgentController() override;
    AgentController(const AgentController&) = delete;
    AgentController& operator=(const AgentController&) = delete;

    bool Start(ISessionChangeHandler* sessionHandler, IAgentCmdResponseHandler* responseHandler);
    void PushCommand(std::shared_ptr<AgentCmdBase> command);
    // Waits for the work of the command in progress, whatever it is; a
    // notification the worker still waits for is withdrawn (a start that never
    // ran cancels its command). Never call it from inside a notification: the
    // caller defers it until the notification has returned.
    void Stop();
    bool IsRunning() const { return worker_.IsValid(); }
    // Notifications made by the worker and not yet run. Any thread.
    size_t QueuedNotifications() { return switchQueue_.Size(); }
    // User-interface thread: a notification is running (perhaps inside a
    // modal loop of its handler).
    bool IsDelivering() const { return delivering_ > 0; }

    // Where the installations' progress wakes the user-interface thread:
    // `message` is posted to `window` at most about ten times a second, and
    // never while one is still waiting; the handler then calls TakeProgress.
    void SetProgressTarget(HWND window, UINT message);
    // The latest progress of the running installation; false when there is
    // nothing (new) to show, also once the command has completed.
    bool TakeProgress(InstallProgress* progress) { return progress_.Take(progress); }

    SessionManager& GetSessionManager() { return sessionManager_; }
    PackageManager& GetPackageManager() { return packageManager_; }

    // IPipeDelegate: on the pipe transport's threads.
    void OnCreate(bool success, HANDLE pipe) override;
    void OnConnect(bool success, HANDLE pipe) override;
    void OnSend(HANDLE pipe, DWORD bytes) override;
    void OnRecv(HANDLE pipe, const BYTE* data, DWORD length) override;
    void OnDisconnect(HANDLE pipe) override;

    // The switch step, on the user-interface thread: runs every queued
    // notification, oldest first. Inside a running notification it does
    // nothing: the running drain takes the rest once that one has returned.
    LRESULT OnSwitchContext(bool synchronous, WPARAM serial) override;

private:
    static unsigned __stdcall WorkerMain(void* self) noexcept;
    void Run();
    void Processing();
    void OnCommand();
    int DoWork(AgentCmdBase& command);
    // False when the item was withdrawn unrun (a stop, or no window).
    bool SwitchToUiThread(bool synchronous, std::function<int(std::shared_ptr<SWITCH_CMD_PARAM>)> callable,
                          std::shared_ptr<SWITCH_CMD_PARAM> param);
    // Worker thread: waits for `item` to run, or for a stop. False on a stop.
    bool WaitUntilRun(const SWITCH_QUEUE_ITEM& item);
    // Takes the switch item `serial` out of the queue; false when it is not there.
    bool TakeSwitchItem(WPARAM serial, std::shared_ptr<SWITCH_QUEUE_ITEM>* item);
    void StopTraySequence();
    void SendToService(const std::string& message);
    void ResetState();

    Lumen::ContextSwitcher contextSwitcher_;
    Lumen::SynchronizedQueue<std::shared_ptr<AgentCmdBase>> commands_;
    Lumen::Event commandEvent_;
    Lumen::SynchronizedQueue<std::shared_ptr<SWITCH_QUEUE_ITEM>> switchQueue_;
    // Worker thread only. Never 0, so that a stray message names no item.
    WPARAM lastSwitchSerial_ = 0;
    // User-interface thread only: how many notifications are on its stack.
    int delivering_ = 0;
    Lumen::Event stopEvent_;
    std::atomic<IAgentCmdResponseHandler*> responseHandler_{nullptr};
    // The pipe's byte stream cut into messages. Pipe receiver thread only
    // (OnConnect and OnRecv); declared before the client whose thread uses it.
    Lumen::PipeMessageSplitter pipeMessages_;
    ProgressCoalescer progress_;
    std::atomic<HWND> progressWindow_{nullptr};
    std::atomic<UINT> progressMessage_{0};
    Lumen::NamedPipeClient pipeClient_;
    SessionManager sessionManager_;
    PackageManager packageManager_;
    // Declared last: Stop joins it before the members it uses go away.
    Lumen::ScopedHandle worker_;
};
