#include "OperatorServer.h"

#include <httplib.h>
#include <openssl/evp.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "MultipartForm.h"

namespace PavoOperator {

namespace {

namespace fs = std::filesystem;

constexpr size_t kPiece = 64 * 1024;
const char kJsonType[] = "application/json; charset=UTF-8";
// What a client sees when the server is told to send broken JSON.
const char kMalformedJson[] = "{\"resultCode\": 200, \"resultList\": {\"token\": ";

// Multipart bodies are read by our own parser (MultipartForm.h): the library's
// insists on a CRLF after the close delimiter, which the agent does not send.
// The routing step renames the header so that the library keeps the raw body.
const char kFormTypeHeader[] = "X-Pavo-Form-Content-Type";

std::map<std::string, std::string> Form(const httplib::Request& request)
{
    std::map<std::string, std::string> fields;
    if (!ParseMultipartForm(request.get_header_value(kFormTypeHeader), request.body, &fields)) fields.clear();
    return fields;
}

std::string Field(const httplib::Request& request, const char* name)
{
    const auto fields = Form(request);
    const auto it = fields.find(name);
    return it == fields.end() ? std::string() : it->second;
}

// Serves `read(offset, buffer, size) -> bytes` according to the fault: with a
// Content-Length (the normal case), chunked, or ended by closing the connection.
using Reader = std::function<size_t(size_t offset, char* buffer, size_t size)>;

// With a rate, each piece is held back until the bytes before it are due, and
// pieces are small enough to go out about twenty times a second.
Reader Paced(const Fault& fault, Reader read)
{
    if (fault.bytesPerSecond <= 0) return read;
    const auto rate = static_cast<double>(fault.bytesPerSecond);
    const auto start = std::make_shared<std::chrono::steady_clock::time_point>(std::chrono::steady_clock::now());
    const size_t pieceLimit = std::max<size_t>(1, static_cast<size_t>(fault.bytesPerSecond / 20));
    return [read, rate, start, pieceLimit](size_t offset, char* buffer, size_t size) -> size_t {
        const auto due = *start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                      std::chrono::duration<double>(static_cast<double>(offset) / rate));
        std::this_thread::sleep_until(due);
        return read(offset, buffer, std::min(size, pieceLimit));
    };
}

void SendBody(httplib::Response& response, const Fault& fault, size_t length, const std::string& contentType,
              Reader read)
{
    read = Paced(fault, std::move(read));
    if (fault.chunked || fault.omitContentLength) {
        auto provider = [length, read](size_t offset, httplib::DataSink& sink) {
            if (offset >= length) {
                sink.done();
                return true;
            }
            std::string piece(std::min(kPiece, length - offset), '\0');
            const size_t got = read(offset, &piece[0], piece.size());
            if (got == 0) return false;
            return sink.write(piece.data(), got);
        };
        if (fault.chunked) {
            response.set_chunked_content_provider(contentType, provider);
        } else {
            response.set_header("Connection", "close");
            response.set_content_provider(contentType, provider);
        }
        return;
    }
    if (length == 0) {
        response.set_content("", contentType);
        return;
    }
    response.set_content_provider(length, contentType,
                                  [read](size_t offset, size_t size, httplib::DataSink& sink) {
                                      std::string piece(std::min(kPiece, size), '\0');
                                      const size_t got = read(offset, &piece[0], piece.size());
                                      if (got == 0) return false;
                                      return sink.write(piece.data(), got);
                                  });
}

void SendText(httplib::Response& response, const Fault& fault, const std::string& text,
              const std::string& contentType)
{
    auto shared = std::make_shared<std::string>(text);
    SendBody(response, fault, shared->size(), contentType, [shared](size_t offset, char* buffer, size_t size) {
        const size_t n = std::min(size, shared->size() - offset);
        std::memcpy(buffer, shared->data() + offset, n);
        return n;
    });
}

void Delay(const Fault& fault)
{
    if (fault.delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(fault.delayMs));
}

std::string Now()
{
    return OperatorState::FormatLocalTime(std::time(nullptr));
}

}  // namespace

std::string ToJsonText(const Json::Value& value)
{
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = true;
    return Json::writeString(builder, value);
}

// The SHA-256 of a file in lower-case hex; "" when it cannot be read.
std::string FileSha256(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) return "";
    std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) return "";
    char buffer[65536];
    while (file.read(buffer, sizeof(buffer)) || file.gcount() > 0) {
        if (EVP_DigestUpdate(context.get(), buffer, static_cast<size_t>(file.gcount())) != 1) return "";
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context.get(), digest, &length) != 1) return "";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        static const char kDigits[] = "0123456789abcdef";
        hex += kDigits[digest[i] >> 4];
        hex += kDigits[digest[i] & 0x0f];
    }
    return hex;
}

bool ParseJsonText(const std::string& text, Json::Value* value)
{
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    return reader->parse(text.data(), text.data() + text.size(), value, &errors);
}

std::unique_ptr<OperatorServer> OperatorServer::Create(const ServerOptions& options, std::string* error)
{
    std::ifstream file(options.dataFile, std::ios::binary);
    if (!file) {
        *error = "cannot read the data file " + options.dataFile;
        return nullptr;
    }
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    Json::Value data;
    if (!ParseJsonText(text, &data) || !data.isObject() || !data["users"].isArray()) {
        *error = "the data file " + options.dataFile + " is not a JSON object with a \"users\" array";
        return nullptr;
    }
    // The installer folder is relative to the data file.
    fs::path folder = data.get("installerFolder", "installers").asString();
    if (folder.is_relative()) folder = fs::absolute(options.dataFile).parent_path() / folder;
    std::unique_ptr<OperatorServer> server(new OperatorServer(options, data, folder.lexically_normal().string()));
    if (!server->faults_.Load(data["faults"])) {
        *error = "the \"faults\" object of the data file is malformed";
        return nullptr;
    }
    if (!server->server_->is_valid()) {
        *error = "the TLS certificate or key cannot be used";
        return nullptr;
    }
    return server;
}

OperatorServer::OperatorServer(const ServerOptions& options, Json::Value data, std::string installerFolder)
    : options_(options), data_(std::move(data)), installerFolder_(std::move(installerFolder))
{
    state_ = std::make_unique<OperatorState>(data_, "", [] { return std::time(nullptr); });
    state_->SetFileDigest([folder = installerFolder_](const std::string& name) {
        if (name.empty() || name[0] == '.' || name.find('/') != std::string::npos) return std::string();
        return FileSha256(fs::path(folder) / name);
    });
    if (!options_.tlsCert.empty() && !options_.tlsKey.empty())
        server_ = std::make_unique<httplib::SSLServer>(options_.tlsCert.c_str(), options_.tlsKey.c_str());
    else
        server_ = std::make_unique<httplib::Server>();
    // Address reuse for quick restarts, but no shared port: the library's
    // default also sets SO_REUSEPORT, which lets a second server bind the
    // same port and silently take half of the connections.
    server_->set_socket_options([](socket_t sock) {
        int yes = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const void*>(&yes), sizeof(yes));
    });
    Route();
}

OperatorServer::~OperatorServer() = default;

int OperatorServer::Bind()
{
    int port = options_.port;
    if (port == 0) {
        port = server_->bind_to_any_port(options_.host);
    } else if (!server_->bind_to_port(options_.host, port)) {
        port = -1;
    }
    if (port <= 0) return -1;
    const std::string scheme = options_.tlsCert.empty() ? "http" : "https";
    state_->SetServerBase(scheme + "://" + options_.host + ":" + std::to_string(port));
    return port;
}

bool OperatorServer::Run()
{
    return server_->listen_after_bind();
}

void OperatorServer::Stop()
{
    server_->stop();
}

void OperatorServer::Record(const httplib::Request& request)
{
    Json::Value record(Json::objectValue);
    record["method"] = request.method;
    record["path"] = request.path;
    record["headers"] = Json::Value(Json::objectValue);
    for (const auto& [name, value] : request.headers) record["headers"][name] = value;
    record["form"] = Json::Value(Json::objectValue);
    for (const auto& [name, value] : Form(request)) record["form"][name] = value;
    record["body"] = request.body;
    std::lock_guard<std::mutex> guard(recordLock_);
    lastRequest_ = record;
}

void OperatorServer::Answer(const httplib::Request& request, httplib::Response& response, const std::string& faultKey,
                            Json::Value answer)
{
    const uint64_t sequence = activity_.Begin();
    const Fault fault = faults_.For(faultKey);
    Delay(fault);
    if (fault.resultCode) answer["resultCode"] = *fault.resultCode;
    if (!fault.omitMember.empty() && answer["resultList"].isObject()) answer["resultList"].removeMember(fault.omitMember);
    const std::string text = fault.malformedJson ? std::string(kMalformedJson) : ToJsonText(answer);
    if (fault.httpStatus != 0) response.status = fault.httpStatus;
    SendText(response, fault, text, fault.contentType.empty() ? kJsonType : fault.contentType);
    activity_.Record(request.path, sequence, fault.malformedJson ? 0 : answer.get("resultCode", 0).asInt(),
                     fault.Spoils(), Now());
}

void OperatorServer::HandleDownload(const httplib::Request& request, httplib::Response& response)
{
    Record(request);
    const std::string name = request.matches[1];
    // A fault for this file wins over one for every download.
    const Fault fault = faults_.For(faults_.Has(request.path) ? request.path : "/download");
    Delay(fault);
    if (fault.httpStatus != 0) response.status = fault.httpStatus;
    const fs::path path = fs::path(installerFolder_) / name;
    std::error_code error;
    if (name.find('/') != std::string::npos || name.empty() || name[0] == '.' || !fs::is_regular_file(path, error)) {
        response.status = 404;
        response.set_content("not found\n", "text/plain");
        return;
    }
    const size_t length = static_cast<size_t>(fs::file_size(path, error));
    auto file = std::make_shared<std::ifstream>(path, std::ios::binary);
    SendBody(response, fault, length, "application/octet-stream",
             [file](size_t offset, char* buffer, size_t size) -> size_t {
                 file->clear();
                 file->seekg(static_cast<std::streamoff>(offset));
                 file->read(buffer, static_cast<std::streamsize>(size));
                 return static_cast<size_t>(file->gcount());
             });
}

void OperatorServer::HandleAdminFault(const httplib::Request& request, httplib::Response& response)
{
    Json::Value body;
    if (!ParseJsonText(request.body, &body) || !body.isObject()) {
        response.status = 400;
        response.set_content("{\"error\":\"body is not a JSON object\"}", kJsonType);
        return;
    }
    if (body.isMember("path") && !faults_.Set(body)) {
        response.status = 400;
        response.set_content("{\"error\":\"malformed fault\"}", kJsonType);
        return;
    }
    if (body["tokenLifetimeSeconds"].isIntegral()) state_->SetTokenLifetime(body["tokenLifetimeSeconds"].asInt64());
    if (body.get("expireTokens", false).asBool()) state_->ExpireTokens();
    response.set_content("{\"ok\":true}", kJsonType);
}

void OperatorServer::Route()
{
    httplib::Server& s = *server_;
    // One request per connection: the agent opens a connection per exchange
    // anyway, and an answer without a Content-Length ("omitContentLength")
    // ends only when its connection closes, which the library would
    // otherwise put off until its keep-alive time-out.
    s.set_keep_alive_max_count(1);
    s.set_logger([](const httplib::Request& request, const httplib::Response& response) {
        std::printf("%s %s %s %s -> %d\n", Now().c_str(), request.remote_addr.c_str(), request.method.c_str(),
                    request.path.c_str(), response.status);
        std::fflush(stdout);
    });

    s.set_pre_routing_handler([](const httplib::Request& request, httplib::Response&) {
        // Runs before the body is read; the request object is the server's own, not const.
        auto& mutableRequest = const_cast<httplib::Request&>(request);
        const std::string type = request.get_header_value("Content-Type");
        if (type.rfind("multipart/form-data", 0) == 0) {
            mutableRequest.headers.erase("Content-Type");
            mutableRequest.headers.emplace(kFormTypeHeader, type);
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });

    s.Post("/agent/login", [this](const httplib::Request& q, httplib::Response& r) {
        Record(q);
        Answer(q, r, q.path, state_->Login(Field(q, "id"), Field(q, "password")));
    });
    s.Post("/agent/health-check", [this](const httplib::Request& q, httplib::Response& r) {
        Record(q);
        Answer(q, r, q.path, state_->HealthCheck(Field(q, "token")));
    });
    s.Post("/agent/token", [this](const httplib::Request& q, httplib::Response& r) {
        Record(q);
        Answer(q, r, q.path, state_->RenewToken(Field(q, "token"), Field(q, "password")));
    });
    s.Post("/agent/license", [this](const httplib::Request& q, httplib::Response& r) {
        Record(q);
        Answer(q, r, q.path, state_->License(Field(q, "token")));
    });
    s.Post("/agent/license-status", [this](const httplib::Request& q, httplib::Response& r) {
        Record(q);
        Answer(q, r, q.path, state_->LicenseStatus(Field(q, "token"), Field(q, "LicenseList")));
    });
    s.Get("/download/([^/]+)", [this](const httplib::Request& q, httplib::Response& r) { HandleDownload(q, r); });
    s.Get("/remote-assist", [this](const httplib::Request& q, httplib::Response& r) {
        Record(q);
        const Fault fault = faults_.For(q.path);
        Delay(fault);
        if (fault.httpStatus != 0) r.status = fault.httpStatus;
        SendText(r, fault, "<!DOCTYPE html><html><body><p>Remote assistance</p></body></html>\n",
                 fault.contentType.empty() ? "text/html; charset=UTF-8" : fault.contentType);
    });
    s.Get("/status", [this](const httplib::Request&, httplib::Response& r) {
        r.set_content(ToJsonText(state_->Status()), kJsonType);
    });

    s.Post("/admin/fault", [this](const httplib::Request& q, httplib::Response& r) { HandleAdminFault(q, r); });
    s.Post("/admin/reset", [this](const httplib::Request&, httplib::Response& r) {
        faults_.Clear();
        state_->ResetLockouts();
        state_->SetTokenLifetime(data_.get("tokenLifetimeSeconds", 3600).asInt64());
        r.set_content("{\"ok\":true}", kJsonType);
    });
    s.Post("/admin/notice", [this](const httplib::Request& q, httplib::Response& r) {
        Json::Value notice;
        if (!ParseJsonText(q.body, &notice) || !(notice.isObject() || notice.isNull())) {
            r.status = 400;
            r.set_content("{\"error\":\"body is not a JSON object or null\"}", kJsonType);
            return;
        }
        state_->SetNotice(notice);
        r.set_content("{\"ok\":true}", kJsonType);
    });
    s.Get("/admin/activity", [this](const httplib::Request&, httplib::Response& r) {
        r.set_content(ToJsonText(activity_.ToJson()), kJsonType);
    });
    s.Get("/admin/last-request", [this](const httplib::Request&, httplib::Response& r) {
        std::lock_guard<std::mutex> guard(recordLock_);
        r.set_content(ToJsonText(lastRequest_), kJsonType);
    });
}

}  // namespace PavoOperator
