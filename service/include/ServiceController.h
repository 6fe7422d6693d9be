#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <thread>

#include "Lumen/Criticalsection.h"
#include "Lumen/Event.h"
#include "Lumen/IPipeDelegate.h"
#include "Lumen/IServiceHandler.h"
#include "Lumen/NamedPipeServer.h"
#include "Lumen/PipeMessageSplitter.h"
#include "Lumen/PipeProtocol.h"
#include "Lumen/SynchronizedQueue.h"
#include "ServiceCmdBase.h"

// The service's behaviour: keeps an agent running in the active user
// session, knows which agent is connected for which session, and ends the
// agents when the service stops. All of it runs on one worker thread (Run):
// the commands, the periodic check, and the pipe server, whose callbacks
// arrive there too. The control thread only queues work or stops the worker.
class ServiceController : public Lumen::IPipeDelegate, public Lumen::IServiceHandler {
public:
    static constexpr DWORD kTimerPeriodMs = 30000;
    static constexpr const wchar_t* kPipeName = L"\\\\.\\pipe\\PavoService_pipe";

    ServiceController() = default;
    ~ServiceController() override;
    ServiceController(const ServiceController&) = delete;
    ServiceController& operator=(const ServiceController&) = delete;

    // Announces a Run about to begin on some thread: from here on Stop waits
    // for it to end. Run announces itself too; this closes the gap before it.
    void Start();
    // The worker's body, on the calling thread until the worker is stopped.
    // The finish step (exit message sent, pipe server closed, agents ended)
    // runs on every path.
    virtual void Run();
    // Called on the worker thread, with an error code, when the worker ends
    // without being asked to (an exception or a failed wait): the service
    // cannot go on. Set before the worker starts.
    void SetWorkerFailureHandler(std::function<void(DWORD)> handler);
    // Ends the worker (which ends the agents) and waits until Run has
    // returned. Not from the worker.
    void Stop();

    // Queues a start of the agent in `sessionId`. Any thread.
    void EnqueueStartTray(DWORD sessionId);
    // True when an identified agent of `sessionId` is connected. Any thread.
    bool IsAgentConnected(DWORD sessionId);

    // IPipeDelegate: on the pipe server's threads.
    void OnCreate(bool success, HANDLE pipe) override;
    void OnConnect(bool success, HANDLE pipe) override;
    void OnSend(HANDLE pipe, DWORD bytes) override;
    void OnRecv(HANDLE pipe, const BYTE* data, DWORD length) override;
    void OnDisconnect(HANDLE pipe) override;

    // IServiceHandler: the service host forwards these.
    void OnStart(DWORD, wchar_t**) override {}
    void OnStop() override {}
    void OnPause() override {}
    void OnContinue() override {}
    void OnShutdown() override {}
    void OnInterrogate() override {}
    DWORD OnPreShutdown(DWORD, void*, void*) override { return 0; }
    DWORD OnDeviceEvent(DWORD, void*, void*) override { return 0; }
    DWORD OnHardwareProfileChange(DWORD, void*, void*) override { return 0; }
    DWORD OnSessionChange(DWORD eventType, void* eventData, void* context) override;
    DWORD OnPowerEvent(DWORD, void*, void*) override { return 0; }

    // The periodic check, every kTimerPeriodMs on the worker: starts an agent
    // for the active session when none is connected.
    void OnTimer();

protected:
    virtual void ProcessingLoop();
    virtual void OnPrepareWorker();
    virtual void OnFinishWorker();

private:
    void RunStartTray(ServiceCmdBase& command, DWORD sessionId);
    // Message 1000: runs this program with "stop" in a process of its own.
    void OnRecvStopService();
    void HandleMessage(HANDLE pipe, const std::string& text);
    // Message 1002: records the agent's session and process for its pipe.
    void OnRecvAgentIdentify(HANDLE pipe, const Lumen::PipeMessage& message);
    void SendExitToAgents();
    void EndRemainingAgents();

    // One connected pipe: the agent at its other end, and the bytes of a
    // message that has not fully arrived.
    struct Client {
        int32_t sessionId = 0;
        int32_t processId = 0;
        Lumen::PipeMessageSplitter pending;
    };

    Lumen::SynchronizedQueue<std::shared_ptr<ServiceCmdBase>> commands_;
    Lumen::Event queueEvent_;
    Lumen::Event stopEvent_;
    // An entry exists from the pipe's connect to its loss; nothing else
    // creates one.
    std::map<HANDLE, Client> clients_;
    Lumen::Criticalsection clientsLock_;
    std::function<void(DWORD)> workerFailureHandler_;
    // Whether a Run is announced or under way, and on which thread; set when
    // it has returned.
    Lumen::Criticalsection runLock_;
    bool runAnnounced_ = false;
    std::thread::id workerId_;
    Lumen::Event runFinished_;
    // Served from the worker (Open), which waits on its handles.
    bool pipeServerOpen_ = false;
    // Calls into the members above: declared after them.
    Lumen::NamedPipeServer pipeServer_;
};
