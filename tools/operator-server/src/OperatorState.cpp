#include "OperatorState.h"

#include <algorithm>
#include <iterator>
#include <random>

namespace PavoOperator {

namespace {

std::string NewToken()
{
    static std::mutex lock;
    static std::mt19937_64 engine{std::random_device{}()};
    std::lock_guard<std::mutex> guard(lock);
    static const char kHex[] = "0123456789abcdef";
    std::string token;
    for (int i = 0; i < 32; ++i) token += kHex[engine() % 16];
    return token;
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

}  // namespace

OperatorState::OperatorState(const Json::Value& data, std::string serverBase, Clock clock)
    : customers_(data.get("customers", Json::Value(Json::objectValue))),
      notice_(data.get("notice", Json::Value())),
      serverBase_(std::move(serverBase)),
      tokenLifetime_(data.get("tokenLifetimeSeconds", 3600).asInt64()),
      clock_(std::move(clock))
{
    for (const Json::Value& user : data["users"]) {
        Account account;
        account.password = user["password"].asString();
        account.customerId = user["customerId"].asString();
        accounts_[user["id"].asString()] = account;
    }
}

void OperatorState::SetFileDigest(FileDigest digest)
{
    std::lock_guard<std::mutex> guard(lock_);
    fileDigest_ = std::move(digest);
}

std::string OperatorState::FormatLocalTime(std::time_t when)
{
    std::tm local = {};
    localtime_r(&when, &local);
    char text[32] = {};
    std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

Json::Value OperatorState::Answer(int resultCode, Json::Value resultList)
{
    Json::Value answer(Json::objectValue);
    answer["resultCode"] = resultCode;
    answer["resultList"] = std::move(resultList);
    return answer;
}

void OperatorState::PruneSessions()
{
    const std::time_t now = clock_();
    for (auto it = sessions_.begin(); it != sessions_.end();) {
        const Session& session = it->second;
        const bool gone = session.replaced ? session.expiry <= now : session.expiry + kExpiredRenewalSeconds <= now;
        it = gone ? sessions_.erase(it) : std::next(it);
    }
}

size_t OperatorState::SessionCount() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return sessions_.size();
}

Json::Value OperatorState::IssueToken(const std::string& userId, std::time_t notBefore)
{
    PruneSessions();
    Session session;
    session.userId = userId;
    // A renewal always moves the expiry forward, even within the same second.
    session.expiry = std::max(clock_() + tokenLifetime_, notBefore + 1);
    const std::string token = NewToken();
    sessions_[token] = session;
    Json::Value list(Json::objectValue);
    list["token"] = token;
    list["tokenExpTime"] = FormatLocalTime(session.expiry);
    return Answer(kOk, list);
}

std::optional<OperatorState::Session> OperatorState::ValidSession(const std::string& token) const
{
    const auto it = sessions_.find(token);
    if (it == sessions_.end() || it->second.expiry <= clock_()) return std::nullopt;
    return it->second;
}

Json::Value OperatorState::Login(const std::string& id, const std::string& password)
{
    std::lock_guard<std::mutex> guard(lock_);
    if (id.empty() || password.empty()) return Answer(kBadRequest);
    const auto it = accounts_.find(id);
    if (it == accounts_.end()) return Answer(kWrongPassword);
    Account& account = it->second;
    if (account.wrongEntries >= kMaxWrongEntries) return Answer(kLocked);
    if (account.password != password) {
        ++account.wrongEntries;
        return Answer(kWrongPassword);
    }
    account.wrongEntries = 0;
    return IssueToken(id, 0);
}

Json::Value OperatorState::HealthCheck(const std::string& token)
{
    std::lock_guard<std::mutex> guard(lock_);
    if (token.empty()) return Answer(kBadRequest);
    if (!ValidSession(token)) return Answer(kBadToken);
    Json::Value list(Json::objectValue);
    if (notice_.isObject()) list["notice"] = notice_;
    return Answer(kOk, list);
}

Json::Value OperatorState::RenewToken(const std::string& token, const std::string& password)
{
    std::lock_guard<std::mutex> guard(lock_);
    if (token.empty() || password.empty()) return Answer(kBadRequest);
    // An expired token may still be renewed for a while: agents renew shortly
    // before or after expiry.
    PruneSessions();
    const auto it = sessions_.find(token);
    if (it == sessions_.end()) return Answer(kBadToken);
    const Session old = it->second;
    const auto account = accounts_.find(old.userId);
    if (account == accounts_.end() || account->second.password != password) return Answer(kWrongPassword);
    // The old token stays valid for a short grace period, as a request sent
    // with it just before the renewal may still be on its way.
    it->second.replaced = true;
    it->second.expiry = std::min(it->second.expiry, clock_() + kRenewalGraceSeconds);
    return IssueToken(old.userId, old.expiry);
}

Json::Value OperatorState::License(const std::string& token)
{
    std::lock_guard<std::mutex> guard(lock_);
    if (token.empty()) return Answer(kBadRequest);
    const std::optional<Session> session = ValidSession(token);
    if (!session) return Answer(kBadToken);
    const std::string customerId = accounts_[session->userId].customerId;
    const Json::Value& customer = customers_[customerId];
    if (!customer.isObject()) return Answer(kServerError);

    Json::Value list(Json::objectValue);
    list["license"] = Json::Value(Json::arrayValue);
    for (const Json::Value& entry : customer["license"]) {
        Json::Value item(Json::objectValue);
        item["type"] = entry["type"].asString();
        item["url"] = ReplaceAll(entry["url"].asString(), "${SERVER}", serverBase_);
        if (entry.isMember("sha256")) {
            const Json::Value& pin = entry["sha256"];
            if (pin == "file") {
                const std::string url = item["url"].asString();
                const std::string digest = fileDigest_ ? fileDigest_(url.substr(url.find_last_of('/') + 1)) : "";
                if (!digest.empty()) item["sha256"] = digest;
            } else {
                item["sha256"] = pin;
            }
        }
        list["license"].append(item);
    }
    Json::Value info(Json::objectValue);
    info["customerId"] = customerId;
    info["customerName"] = customer["customerName"].asString();
    info["co_nm"] = customer["co_nm"].asString();
    list["info"] = info;
    return Answer(kOk, list);
}

Json::Value OperatorState::LicenseStatus(const std::string& token, const std::string& licenseList)
{
    std::lock_guard<std::mutex> guard(lock_);
    if (token.empty()) return Answer(kBadRequest);
    const std::optional<Session> session = ValidSession(token);
    if (!session) return Answer(kBadToken);

    Json::Value document;
    Json::CharReaderBuilder builder;
    std::string errors;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    if (!reader->parse(licenseList.data(), licenseList.data() + licenseList.size(), &document, &errors) ||
        !document.isObject() || !document["license"].isArray())
        return Answer(kBadRequest);
    std::map<std::string, std::string> reported;
    for (const Json::Value& item : document["license"]) {
        if (!item.isObject() || !item["type"].isString() || !item["state"].isString()) return Answer(kBadRequest);
        const std::string state = item["state"].asString();
        if (state != "installed" && state != "uninstalled") return Answer(kBadRequest);
        reported[item["type"].asString()] = state;
    }
    states_[session->userId] = reported;
    return Answer(kOk);
}

Json::Value OperatorState::Status() const
{
    std::lock_guard<std::mutex> guard(lock_);
    Json::Value status(Json::objectValue);
    status["users"] = Json::Value(Json::objectValue);
    for (const auto& [user, products] : states_) {
        Json::Value states(Json::objectValue);
        for (const auto& [product, state] : products) states[product] = state;
        status["users"][user] = states;
    }
    return status;
}

void OperatorState::SetServerBase(const std::string& base)
{
    std::lock_guard<std::mutex> guard(lock_);
    serverBase_ = base;
}

void OperatorState::SetTokenLifetime(std::time_t seconds)
{
    std::lock_guard<std::mutex> guard(lock_);
    tokenLifetime_ = seconds;
}

void OperatorState::ExpireTokens()
{
    std::lock_guard<std::mutex> guard(lock_);
    const std::time_t now = clock_();
    for (auto& entry : sessions_) entry.second.expiry = std::min(entry.second.expiry, now);
}

void OperatorState::SetNotice(const Json::Value& notice)
{
    std::lock_guard<std::mutex> guard(lock_);
    notice_ = notice;
}

void OperatorState::ResetLockouts()
{
    std::lock_guard<std::mutex> guard(lock_);
    for (auto& entry : accounts_) entry.second.wrongEntries = 0;
}

}  // namespace PavoOperator
