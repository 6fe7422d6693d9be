#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "ConfigManager.h"
#include "ISessionChangeHandler.h"
#include "Lumen/Criticalsection.h"
#include "Lumen/Event.h"
#include "Lumen/IMultimediaTimerListener.h"
#include "Lumen/MultimediaTimer.h"

// The session with the operator's server: login, a heartbeat once a minute,
// token renewal shortly before expiry, notices handed to the configuration
// store, and the loss of the session reported to the handler.
//
// Threads: Initialize, Reset and Login on the controller's threads while the
// timer is stopped or from its worker; the update step, HealthCheck and
// Recertification on the timer's thread; GetToken and GetPassword anywhere.
class SessionManager : public Lumen::IMultimediaTimerListener {
public:
    static constexpr unsigned kTimerPeriodMs = 10000;
    // Heartbeat interval, and how long before expiry the token is renewed.
    static constexpr int64_t kRenewBeforeSeconds = 60;
    static constexpr int64_t kHealthCheckSeconds = 60;

    SessionManager();
    virtual ~SessionManager();
    SessionManager(const SessionManager&) = delete;
    SessionManager& operator=(const SessionManager&) = delete;

    // Stores the handler (not owned) and builds the URLs from the language
    // table. Always true.
    bool Initialize(ISessionChangeHandler* handler);

    int Login(const std::wstring& id, const std::wstring& password);
    int HealthCheck();
    int Recertification();

    std::string GetToken();
    std::string GetPassword();
    int64_t GetTokenExpiry();
    bool IsLoggedIn() const { return loggedIn_.IsSet(); }

    // Forgets handler, credentials, token and expiry and logs out. Call with
    // the timer stopped.
    void Reset();

    Lumen::MultimediaTimer& GetTimer() { return timer_; }

    // The update step at time `now` (seconds since 1970): renews a token that
    // expires within a minute, sends the heartbeat once a minute, and ends the
    // session when either fails. OnTimer runs it with the real time.
    void UpdateTimer(int64_t now);

    // Reads a login or renewal answer and, on success, takes its token and
    // expiry and marks the session logged in. Returns an agent result.
    int ParsingResponseLoginAndRecertification(const std::wstring& body, bool renewal);

    // Reads a heartbeat answer; `*hasNotice` tells whether `*notice` was filled.
    static int ParseHealthCheckResponse(const std::string& utf8, bool* hasNotice, NOTICE_INFO* notice);
    // The leading "%Y-%m-%d %H:%M:%S" of `text`, in local time with daylight
    // saving as the C runtime has it; -1 when the text does not begin so.
    static int64_t ParseLocalTime(const std::string& text);
    static std::string FormatLocalTime(int64_t when);

    const std::wstring& GetLoginUrl() const { return loginUrl_; }

private:
    void OnTimer(Lumen::MultimediaTimer* timer) override;
    void LogParseError(const wchar_t* function, int line, int result, const std::wstring& body);

    Lumen::MultimediaTimer timer_;
    std::atomic<ISessionChangeHandler*> handler_{nullptr};
    std::string userId_;
    std::string password_;
    std::string token_;
    Lumen::Event loggedIn_;
    int64_t tokenExpiry_ = 0;
    std::atomic<int64_t> lastHealthCheck_{0};
    std::wstring loginUrl_;
    std::wstring healthCheckUrl_;
    std::wstring renewalUrl_;
    unsigned timerPeriod_ = kTimerPeriodMs;
    // Guards userId_, password_, token_ and tokenExpiry_.
    Lumen::Criticalsection lock_;
    bool listening_ = false;
};
