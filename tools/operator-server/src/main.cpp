// pavo-operator-server --listen 127.0.0.1:PORT --data FILE [--tls-cert CERT --tls-key KEY]
//                      [--port-file FILE] [--exit-with-parent]
// Runs in the foreground until SIGINT or SIGTERM.
#include <sys/prctl.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "OperatorServer.h"

namespace {

int Usage()
{
    std::fprintf(stderr,
                 "usage: pavo-operator-server --listen 127.0.0.1:PORT --data FILE "
                 "[--tls-cert CERT --tls-key KEY] [--port-file FILE] [--exit-with-parent]\n"
                 "PORT 0 picks a free port; --port-file receives the port chosen.\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    PavoOperator::ServerOptions options;
    std::string listen, portFile;
    bool exitWithParent = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--listen" && hasValue) listen = argv[++i];
        else if (arg == "--data" && hasValue) options.dataFile = argv[++i];
        else if (arg == "--tls-cert" && hasValue) options.tlsCert = argv[++i];
        else if (arg == "--tls-key" && hasValue) options.tlsKey = argv[++i];
        else if (arg == "--port-file" && hasValue) portFile = argv[++i];
        else if (arg == "--exit-with-parent") exitWithParent = true;
        else return Usage();
    }
    const size_t colon = listen.rfind(':');
    if (listen.empty() || options.dataFile.empty() || colon == std::string::npos ||
        options.tlsCert.empty() != options.tlsKey.empty())
        return Usage();
    options.host = listen.substr(0, colon);
    // Loopback only: this server is for tests and demonstrations on one machine.
    if (options.host != "127.0.0.1") {
        std::fprintf(stderr, "pavo-operator-server: only 127.0.0.1 may be used\n");
        return 2;
    }
    try {
        options.port = std::stoi(listen.substr(colon + 1));
    } catch (...) {
        return Usage();
    }
    if (options.port < 0 || options.port > 65535) return Usage();

    // A test harness that is killed outright must not leave the server behind.
    if (exitWithParent) {
        const pid_t parent = getppid();
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) return 1;
    }

    // The signals are taken by one thread with sigwait, so stopping happens
    // outside of a signal handler.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::string error;
    auto server = PavoOperator::OperatorServer::Create(options, &error);
    if (!server) {
        std::fprintf(stderr, "pavo-operator-server: %s\n", error.c_str());
        return 1;
    }
    const int port = server->Bind();
    if (port < 0) {
        std::fprintf(stderr, "pavo-operator-server: cannot listen on %s\n", listen.c_str());
        return 1;
    }
    if (!portFile.empty()) {
        const std::string temporary = portFile + ".tmp";
        std::ofstream(temporary) << port << "\n";
        std::rename(temporary.c_str(), portFile.c_str());
    }
    std::printf("pavo-operator-server: listening on %s://%s:%d\n", options.tlsCert.empty() ? "http" : "https",
                options.host.c_str(), port);
    std::fflush(stdout);

    std::thread stopper([&server, signals] {
        int received = 0;
        sigwait(&signals, &received);
        server->Stop();
    });
    const bool served = server->Run();
    // Run also ends without a signal when serving fails; wake the stopper.
    if (stopper.joinable()) {
        pthread_kill(stopper.native_handle(), SIGTERM);
        stopper.join();
    }
    std::printf("pavo-operator-server: stopped\n");
    return served ? 0 : 1;
}
