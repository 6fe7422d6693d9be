#pragma once

#include <ctime>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include <json/json.h>

namespace PavoOperator {

// Result codes of the agent API.
constexpr int kOk = 200;
constexpr int kBadRequest = 400;     // a form field is missing or malformed
constexpr int kBadToken = 406;       // unknown or expired token
constexpr int kWrongPassword = 407;  // unknown id or wrong password
constexpr int kLocked = 408;         // five wrong entries in a row
constexpr int kServerError = 500;    // the data file is inconsistent

constexpr int kMaxWrongEntries = 5;
// A renewed token stays valid this long: a request already under way with it
// still gets its answer.
constexpr std::time_t kRenewalGraceSeconds = 30;
// An expired token may still be renewed this long; then it is forgotten.
constexpr std::time_t kExpiredRenewalSeconds = 3600;

// Accounts, tokens, licences and reported states of the reference server.
// Every answer is a JSON document {"resultCode": N, "resultList": {...}}.
// Thread-safe: the HTTP server calls it from its worker threads.
class OperatorState {
public:
    using Clock = std::function<std::time_t()>;
    // The SHA-256 (hex) of an installer in the server's folder; "" when there is none.
    using FileDigest = std::function<std::string(const std::string& fileName)>;

    // `serverBase` ("http://127.0.0.1:PORT") replaces "${SERVER}" in licence URLs.
    OperatorState(const Json::Value& data, std::string serverBase, Clock clock);

    Json::Value Login(const std::string& id, const std::string& password);
    Json::Value HealthCheck(const std::string& token);
    Json::Value RenewToken(const std::string& token, const std::string& password);
    Json::Value License(const std::string& token);
    Json::Value LicenseStatus(const std::string& token, const std::string& licenseList);

    // Tokens currently known (valid, in their grace, or still renewable).
    size_t SessionCount() const;

    // {"users": {"ID": {"PRODUCT": "installed" | "uninstalled", ...}, ...}}
    Json::Value Status() const;

    // The address that replaces "${SERVER}" in licence URLs.
    void SetServerBase(const std::string& base);
    // Answers a licence entry's "sha256": "file" with the digest of the file
    // its URL names; any other value is sent as it is.
    void SetFileDigest(FileDigest digest);
    // Tokens issued from now on live this long.
    void SetTokenLifetime(std::time_t seconds);
    // Every token issued so far has expired.
    void ExpireTokens();
    void SetNotice(const Json::Value& notice);
    // Unlocks every account.
    void ResetLockouts();

    // "%Y-%m-%d %H:%M:%S" in local time.
    static std::string FormatLocalTime(std::time_t when);

private:
    struct Account {
        std::string password;
        std::string customerId;
        int wrongEntries = 0;
    };
    struct Session {
        std::string userId;
        std::time_t expiry = 0;
        bool replaced = false;  // renewed: valid only until its grace ends
    };

    static Json::Value Answer(int resultCode, Json::Value resultList = Json::Value(Json::objectValue));
    Json::Value IssueToken(const std::string& userId, std::time_t notBefore);
    // The session of a valid, unexpired token; none otherwise.
    std::optional<Session> ValidSession(const std::string& token) const;
    // Forgets renewed tokens whose grace has ended and tokens too long expired.
    void PruneSessions();

    mutable std::mutex lock_;
    Json::Value customers_;
    Json::Value notice_;
    std::map<std::string, Account> accounts_;
    std::map<std::string, Session> sessions_;
    std::map<std::string, std::map<std::string, std::string>> states_;
    std::string serverBase_;
    std::time_t tokenLifetime_ = 3600;
    Clock clock_;
    FileDigest fileDigest_;
};

}  // namespace PavoOperator
