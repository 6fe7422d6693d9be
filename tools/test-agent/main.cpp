// Stands in for the agent in the service's tests: copied as PavoAgent.exe
// beside the service. It connects to the service's pipe, identifies itself,
// and ends on the exit message or the loss of the pipe, like the agent.
// Behaviour comes from the command line and from "test-agent.cfg" beside it
// (one word a line), since the service gives it no arguments of ours:
//   no-identify    never sends the identification
//   hang           ignores the exit message and the pipe loss
//   stop-service   asks the service to stop, in the same write as its
//                  identification
// Every event is appended as a line to "test-agent-events.txt" beside it:
//   start <pid> <session> <command line> | connected | connect-failed
//   identify-sent (the first write has reached the pipe) | exit-message |
//   pipe-lost | hanging
#include <windows.h>

#include <atomic>
#include <string>

#include "Lumen/Event.h"
#include "Lumen/IPipeDelegate.h"
#include "Lumen/NamedPipeClient.h"
#include "Lumen/PathUtils.h"
#include "Lumen/PipeProtocol.h"
#include "Lumen/SessionUtils.h"
#include "Lumen/StringUtils.h"

namespace {

void Record(const std::string& line)
{
    const std::wstring path = Lumen::GetModuleDirectory() + L"test-agent-events.txt";
    HANDLE file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    const std::string text = line + "\n";
    DWORD written = 0;
    ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    ::CloseHandle(file);
}

bool HasWord(const std::wstring& text, const wchar_t* word)
{
    return text.find(word) != std::wstring::npos;
}

class Agent : public Lumen::IPipeDelegate {
public:
    void OnCreate(bool, HANDLE) override {}
    void OnConnect(bool, HANDLE) override {}
    void OnSend(HANDLE, DWORD) override
    {
        // The first write is the identification (scripts/bench-service-start.sh
        // times the service's start up to here).
        if (!sent_.exchange(true)) Record("identify-sent");
    }
    void OnRecv(HANDLE, const BYTE* data, DWORD length) override
    {
        const Lumen::PipeMessage message = Lumen::PipeProtocol::ParsePipeMessage(data, length);
        if (message.status == Lumen::PipeMessageStatus::Ok && message.protocolId == Lumen::kProtocolExitAgent) {
            EndFor("exit-message");
        }
    }
    void OnDisconnect(HANDLE) override
    {
        EndFor("pipe-lost");
    }
    Lumen::Event done;

private:
    // The service closes the pipe right after its exit message, so both
    // callbacks may come; only the first is why this agent ends.
    void EndFor(const char* reason)
    {
        if (ended_.exchange(true)) return;
        Record(reason);
        done.Set();
    }
    std::atomic<bool> ended_{false};
    std::atomic<bool> sent_{false};
};

}  // namespace

int wmain()
{
    std::wstring settings = ::GetCommandLineW();
    settings += L" " + Lumen::Utf8ToWide([] {
        std::string text;
        HANDLE file = ::CreateFileW((Lumen::GetModuleDirectory() + L"test-agent.cfg").c_str(), GENERIC_READ,
                                    FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            char buffer[1024];
            DWORD read = 0;
            if (::ReadFile(file, buffer, sizeof(buffer), &read, nullptr)) text.assign(buffer, read);
            ::CloseHandle(file);
        }
        return text;
    }());

    DWORD session = 0;
    ::ProcessIdToSessionId(::GetCurrentProcessId(), &session);
    Record("start " + std::to_string(::GetCurrentProcessId()) + " " + std::to_string(session) + " " +
           Lumen::WideToUtf8(::GetCommandLineW()));

    Agent agent;
    Lumen::NamedPipeClient client;
    if (!client.Create(L"\\\\.\\pipe\\PavoService_pipe", &agent)) {
        Record("connect-failed");
        return 3;
    }
    Record("connected");
    std::string messages;
    if (!HasWord(settings, L"no-identify"))
        messages +=
            Lumen::PipeProtocol::BuildAgentIdentify(Lumen::SessionUtils::GetProcessSessionId(), ::GetCurrentProcessId());
    // Both in one write, as a reader must expect them: one read may carry
    // several messages.
    if (HasWord(settings, L"stop-service")) messages += Lumen::PipeProtocol::BuildStopService();
    if (!messages.empty()) client.SendToServer(messages.data(), static_cast<DWORD>(messages.size()));
    ::WaitForSingleObject(agent.done.GetHandle(), INFINITE);
    if (HasWord(settings, L"hang")) {
        Record("hanging");
        ::Sleep(INFINITE);
    }
    client.Close();
    return 0;
}
