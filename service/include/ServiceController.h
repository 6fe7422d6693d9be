#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <thread>

#include "Lumen/Criticalsection.h"
#include "Lumen/Event.h"
#include "Lumen/IMultimediaTimerListener.h"
#include "Lumen/IPipeDelegate.h"
#include "Lumen/IServiceHandler.h"
#include "Lumen/MultimediaTimer.h"
#include "Lumen/NamedPipeServer.h"
#include "Lumen/PipeMessageSplitter.h"
#include "Lumen/SynchronizedQueue.h"
#include "ServiceCmdBase.h"

// The service's behaviour: keeps an agent running in the active user
// session, knows which agent is connected for which session, and ends the
// agents when the service stops. Runs on one worker thread (Run); the timer,
// control and pipe threads only queue work or update the client map.
class ServiceController : public Lumen::IPipeDelegate,
                          public Lumen::IServiceHandler,
                          public Lumen::IMultimediaTimerListener {
public:
    static constexpr UINT kTimerPeriodMs = 30000;
    static constexpr const wchar_t* kPipeName = L"\\\\.\\pipe\\PavoService_pipe";

    ServiceController() = default;
    ~ServiceController() override;
    ServiceController(const ServiceController&) = delete;
    ServiceController& operator=(const ServiceController&) = delete;

    // The worker thread's body. The finish step (timer stopped, exit message
    // sent, pipe server closed, agents ended) runs on every path.
    virtual void Run();
    // Takes the thread that runs Run, to join it in Stop.
    void SetWorkerThread(std::thread worker);
    // Called on the worker thread, with an error code, when the worker ends
    // without being asked to (an exception or a failed wait): the service
    // cannot go on. Set before the worker starts.
    void SetWorkerFailureHandler(std::function<void(DWORD)> handler);
    // Ends the worker (which ends the agents) and joins it. Not from the worker.
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

    // IMultimediaTimerListener: every 30 s on the timer thread.
    void OnTimer(Lumen::MultimediaTimer* timer) override;

protected:
    virtual void ProcessingLoop();
    virtual void OnPrepareWorker();
    virtual void OnFinishWorker();

private:
    void RunStartTray(ServiceCmdBase& command, DWORD sessionId);
    // Message 1000: runs this program with "stop" in a process of its own.
    void OnRecvStopService();
    void HandleMessage(HANDLE pipe, const std::string& text);
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
    // The timer and the pipe server call into the members above from their
    // own threads: declared after them, so they stop before those go away.
    Lumen::MultimediaTimer timer_;
    Lumen::NamedPipeServer pipeServer_;
    // Declared last: joined before the members it uses go away.
    std::thread worker_;
};
