#pragma once

#include <ctime>
#include <memory>
#include <mutex>
#include <string>

#include <json/json.h>

#include "ActivityLog.h"
#include "FaultPlan.h"
#include "OperatorState.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace PavoOperator {

struct ServerOptions {
    std::string host = "127.0.0.1";
    int port = 18480;  // 0: any free port
    std::string dataFile;
    std::string tlsCert;  // both set: HTTPS
    std::string tlsKey;
};

// The reference operator server: the agent API under /agent, installer
// downloads under /download, the reported states on GET /status, and the
// fault switches under /admin. Each request is logged on one line to stdout.
class OperatorServer {
public:
    // Loads the data file; null with a message in `error` when it cannot be used.
    static std::unique_ptr<OperatorServer> Create(const ServerOptions& options, std::string* error);
    ~OperatorServer();

    // Binds the listening socket; the port, or -1.
    int Bind();
    // Serves until Stop; false when serving could not start.
    bool Run();
    // Safe from any thread.
    void Stop();

    OperatorState& State() { return *state_; }

private:
    OperatorServer(const ServerOptions& options, Json::Value data, std::string installerFolder);
    void Route();
    void Record(const httplib::Request& request);
    void Answer(const httplib::Request& request, httplib::Response& response, const std::string& faultKey,
                Json::Value answer);
    void HandleDownload(const httplib::Request& request, httplib::Response& response);
    void HandleAdminFault(const httplib::Request& request, httplib::Response& response);

    ServerOptions options_;
    Json::Value data_;
    std::string installerFolder_;
    std::unique_ptr<OperatorState> state_;
    FaultPlan faults_;
    ActivityLog activity_;
    std::mutex recordLock_;
    Json::Value lastRequest_;
    std::unique_ptr<httplib::Server> server_;
};

// Compact JSON text, as the server sends it.
std::string ToJsonText(const Json::Value& value);
// Parses JSON text; false on a syntax error.
bool ParseJsonText(const std::string& text, Json::Value* value);

}  // namespace PavoOperator
