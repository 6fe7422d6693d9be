#include "RawHttpServer.h"

#include <ws2tcpip.h>

#include <cstdlib>

RawHttpServer::RawHttpServer(std::string response) : response_(std::move(response))
{
    WSADATA wsa;
    ::WSAStartup(MAKEWORD(2, 2), &wsa);
    listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (listener_ == INVALID_SOCKET || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(listener_, 1) != 0)
        return;
    int length = sizeof(address);
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
}

RawHttpServer::~RawHttpServer()
{
    if (listener_ != INVALID_SOCKET) ::closesocket(listener_);
    if (thread_.joinable()) thread_.join();
    ::WSACleanup();
}

std::string RawHttpServer::Request()
{
    if (thread_.joinable()) thread_.join();
    return request_;
}

void RawHttpServer::Serve() noexcept
{
    timeval limit = {10, 0};
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(listener_, &ready);
    if (::select(0, &ready, nullptr, nullptr, &limit) != 1) return;
    SOCKET connection = ::accept(listener_, nullptr, nullptr);
    if (connection == INVALID_SOCKET) return;
    DWORD timeoutMs = 5000;
    ::setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeoutMs), sizeof(timeoutMs));

    // Reads the head, then as many body bytes as its Content-Length announces.
    size_t wanted = std::string::npos;
    char buffer[4096];
    while (wanted == std::string::npos || request_.size() < wanted) {
        const int got = ::recv(connection, buffer, sizeof(buffer), 0);
        if (got <= 0) break;
        request_.append(buffer, static_cast<size_t>(got));
        const size_t headEnd = request_.find("\r\n\r\n");
        if (wanted == std::string::npos && headEnd != std::string::npos) {
            size_t bodyLength = 0;
            const size_t at = request_.find("\r\nContent-Length: ");
            if (at != std::string::npos && at < headEnd)
                bodyLength = std::strtoul(request_.c_str() + at + 18, nullptr, 10);
            wanted = headEnd + 4 + bodyLength;
        }
    }
    ::send(connection, response_.data(), static_cast<int>(response_.size()), 0);
    ::shutdown(connection, SD_SEND);
    // Lets the client read everything before the connection goes.
    while (::recv(connection, buffer, sizeof(buffer), 0) > 0) {
    }
    ::closesocket(connection);
}
