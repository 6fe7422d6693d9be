// The other end of a pipe for the transport tests, in a process of its own.
//   PavoPipePeer.exe client PIPE ACTION...
//       connects with NamedPipeClient (exit 2 when it cannot), then in order:
//       --before=EVENT       (first only) waits up to 60 s for the named event
//                            before it connects (exit 5)
//       --send=TEXT          sends TEXT and waits for its OnSend
//       --send-size=N        sends N bytes, byte i being i % 251
//       --expect-recv=N      waits up to 30 s for a message; exit 3 when none
//                            comes, 4 when the first is not N bytes long
//       --wait=EVENT         waits up to 60 s for the named event (exit 5)
//       --signal=EVENT       sets the named event
//   PavoPipePeer.exe server PIPE READY QUIT
//       runs a NamedPipeServer that echoes every message; sets READY once the
//       first instance exists, ends when QUIT is set (exit 0)
//   PavoPipePeer.exe raw-server PIPE TIMEOUT_MS CONNECTED RELEASE QUIT
//       one blocking instance (one instance at most, default time-out
//       TIMEOUT_MS); sets CONNECTED when a first client is in, disconnects it
//       when RELEASE is set, takes the next client, ends when QUIT is set
#include <windows.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "Lumen/NamedPipeClient.h"
#include "Lumen/NamedPipeServer.h"
#include "Lumen/UniqueHandle.h"

namespace {

Lumen::ScopedHandle NamedEvent(const std::wstring& name)
{
    return Lumen::ScopedHandle(::CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
}

bool WaitNamed(const std::wstring& name, DWORD timeoutMs)
{
    Lumen::ScopedHandle event = NamedEvent(name);
    return event && ::WaitForSingleObject(event.Get(), timeoutMs) == WAIT_OBJECT_0;
}

void SignalNamed(const std::wstring& name)
{
    Lumen::ScopedHandle event = NamedEvent(name);
    if (event) ::SetEvent(event.Get());
}

bool StartsWith(const std::wstring& text, const std::wstring& prefix, std::wstring& rest)
{
    if (text.compare(0, prefix.size(), prefix) != 0) return false;
    rest = text.substr(prefix.size());
    return true;
}

class Recorder : public Lumen::IPipeDelegate {
public:
    explicit Recorder(Lumen::NamedPipeServer* echo = nullptr, std::wstring ready = {})
        : echo_(echo), ready_(std::move(ready))
    {
    }
    void OnCreate(bool success, HANDLE) override
    {
        if (success && !ready_.empty()) SignalNamed(ready_);
    }
    void OnConnect(bool, HANDLE) override {}
    void OnSend(HANDLE, DWORD) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++sends_;
        changed_.notify_all();
    }
    void OnRecv(HANDLE pipe, const BYTE* data, DWORD length) override
    {
        if (echo_ != nullptr) echo_->Send(pipe, data, length);
        std::lock_guard<std::mutex> lock(mutex_);
        received_.emplace_back(reinterpret_cast<const char*>(data), length);
        changed_.notify_all();
    }
    void OnDisconnect(HANDLE) override {}

    bool WaitSends(int count, DWORD ms)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return sends_ >= count; });
    }
    bool WaitReceived(size_t count, DWORD ms, std::string& first)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!changed_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return received_.size() >= count; }))
            return false;
        first = received_[count - 1];
        return true;
    }

private:
    Lumen::NamedPipeServer* echo_;
    std::wstring ready_;
    std::mutex mutex_;
    std::condition_variable changed_;
    int sends_ = 0;
    std::vector<std::string> received_;
};

int RunClient(const std::wstring& pipe, int argc, wchar_t** argv)
{
    Recorder recorder;
    Lumen::NamedPipeClient client;
    int first = 3;
    std::wstring before;
    if (argc > first && StartsWith(argv[first], L"--before=", before)) {
        if (!WaitNamed(before, 60000)) return 5;
        ++first;
    }
    if (!client.Create(pipe, &recorder)) return 2;
    int sends = 0;
    size_t expected = 0;
    for (int i = first; i < argc; ++i) {
        const std::wstring arg = argv[i];
        std::wstring value;
        if (StartsWith(arg, L"--send=", value)) {
            const std::string text(value.begin(), value.end());
            client.SendToServer(text.data(), static_cast<DWORD>(text.size()));
            if (!recorder.WaitSends(++sends, 30000)) return 6;
        } else if (StartsWith(arg, L"--send-size=", value)) {
            std::vector<BYTE> bytes(static_cast<size_t>(_wtoi(value.c_str())));
            for (size_t b = 0; b < bytes.size(); ++b) bytes[b] = static_cast<BYTE>(b % 251);
            client.SendToServer(bytes.data(), static_cast<DWORD>(bytes.size()));
            if (!recorder.WaitSends(++sends, 30000)) return 6;
        } else if (StartsWith(arg, L"--expect-recv=", value)) {
            std::string message;
            if (!recorder.WaitReceived(++expected, 30000, message)) return 3;
            if (message.size() != static_cast<size_t>(_wtoi(value.c_str()))) return 4;
        } else if (StartsWith(arg, L"--wait=", value)) {
            if (!WaitNamed(value, 60000)) return 5;
        } else if (StartsWith(arg, L"--signal=", value)) {
            SignalNamed(value);
        }
    }
    return 0;
}

int RunServer(const std::wstring& pipe, const std::wstring& ready, const std::wstring& quit)
{
    Lumen::NamedPipeServer server;
    Recorder recorder(&server, ready);
    Lumen::ScopedHandle quitEvent = NamedEvent(quit);
    if (!quitEvent) return 3;
    server.Create(pipe, &recorder);
    return ::WaitForSingleObject(quitEvent.Get(), 120000) == WAIT_OBJECT_0 ? 0 : 4;
}

int RunRawServer(const std::wstring& pipe, DWORD timeoutMs, const std::wstring& connected,
                 const std::wstring& release, const std::wstring& quit)
{
    Lumen::ScopedHandle instance(::CreateNamedPipeW(pipe.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, 1,
                                                    4096, 4096, timeoutMs, nullptr));
    if (!instance) return 2;
    if (!::ConnectNamedPipe(instance.Get(), nullptr) && ::GetLastError() != ERROR_PIPE_CONNECTED) return 3;
    SignalNamed(connected);
    if (!WaitNamed(release, 60000)) return 4;
    ::DisconnectNamedPipe(instance.Get());
    if (!::ConnectNamedPipe(instance.Get(), nullptr) && ::GetLastError() != ERROR_PIPE_CONNECTED) return 5;
    return WaitNamed(quit, 60000) ? 0 : 6;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) return 1;
    const std::wstring mode = argv[1];
    const std::wstring pipe = argv[2];
    if (mode == L"client") return RunClient(pipe, argc, argv);
    if (mode == L"server" && argc == 5) return RunServer(pipe, argv[3], argv[4]);
    if (mode == L"raw-server" && argc == 7)
        return RunRawServer(pipe, static_cast<DWORD>(_wtoi(argv[3])), argv[4], argv[5], argv[6]);
    return 1;
}
