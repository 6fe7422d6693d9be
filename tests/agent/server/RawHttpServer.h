#pragma once

#include <winsock2.h>

#include <string>
#include <thread>

// A one-connection HTTP server on 127.0.0.1 inside the test: it records the
// request bytes exactly as they arrive and answers with a canned response, so
// tests can check the wire format and feed responses a real server would not.
class RawHttpServer {
public:
    // Listens on a free port and serves one connection on a worker thread.
    explicit RawHttpServer(std::string response);
    ~RawHttpServer();

    RawHttpServer(const RawHttpServer&) = delete;
    RawHttpServer& operator=(const RawHttpServer&) = delete;

    int Port() const { return port_; }
    // Waits for the exchange to end (up to 10 s); the request head and body.
    std::string Request();

private:
    void Serve() noexcept;

    std::string response_;
    std::string request_;
    SOCKET listener_ = INVALID_SOCKET;
    int port_ = 0;
    std::thread thread_;
};
