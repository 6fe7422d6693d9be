#include "SessionManager.h"

#include <cstdio>
#include <ctime>
#include <memory>

#include "BodyMasking.h"
#include "FormPost.h"
#include "Lumen/DebugOutput.h"
#include "Lumen/LogManager.h"
#include "Lumen/ScopedLock.h"
#include "Lumen/StringUtils.h"
#include "ResourceManager.h"
#include "ResultCode.h"
#include "SessionResponses.h"

using Lumen::LogManager;
using Lumen::ScopedLock;
using Lumen::Utf8ToWide;
using Lumen::WideToUtf8;

namespace {

std::wstring UrlFor(const wchar_t* subKey)
{
    ResourceManager* resources = ResourceManager::GetInstance();
    return resources->GetString(L"Pavo_HOST_URL") + resources->GetString(subKey);
}

void LogConnectFailure(const wchar_t* function, int line)
{
    LogManager::GetInstance()->Error(L"[%s, %d] 서버 접속에 실패했습니다. result : %d", function, line,
                                     AgentResult::kFailed);
}

}  // namespace

SessionManager::SessionManager()
{
    Reset();
}

SessionManager::~SessionManager()
{
    // The timer calls back into this object: it must be quiet before the
    // members go.
    timer_.Stop();
}

bool SessionManager::Initialize(ISessionChangeHandler* handler)
{
    handler_ = handler;
    loginUrl_ = UrlFor(L"SUB_URL_LOGIN");
    healthCheckUrl_ = UrlFor(L"SUB_URL_GET_LICENSE_HEALTH_CHECK");
    renewalUrl_ = UrlFor(L"SUB_URL_RECERTIFICATION_TOKEN");
    timerPeriod_ = kTimerPeriodMs;
    return true;
}

void SessionManager::Reset()
{
    handler_ = nullptr;
    {
        ScopedLock lock(&lock_);
        userId_.clear();
        password_.clear();
        token_.clear();
        tokenExpiry_ = 0;
    }
    loggedIn_.Reset();
    lastHealthCheck_ = 0;
}

std::string SessionManager::GetToken()
{
    ScopedLock lock(&lock_);
    return token_;
}

std::string SessionManager::GetPassword()
{
    ScopedLock lock(&lock_);
    return password_;
}

int64_t SessionManager::GetTokenExpiry()
{
    ScopedLock lock(&lock_);
    return tokenExpiry_;
}

void SessionManager::LogParseError(const wchar_t* function, int line, int result, const std::wstring& body)
{
    LogManager::GetInstance()->Error(L"[%s, %d] 응답 데이터 파싱 에러. result : %d", function, line, result);
    // Login and renewal answers carry the token: it never reaches the log.
    LogManager::GetInstance()->Error(L"%s", MaskSecretMembers(body).c_str());
}

int SessionManager::Login(const std::wstring& id, const std::wstring& password)
{
    const std::string utf8Id = WideToUtf8(id);
    const std::string utf8Password = WideToUtf8(password);
    {
        ScopedLock lock(&lock_);
        userId_ = utf8Id;
        password_ = utf8Password;
    }
    std::wstring body;
    if (!PostForm(loginUrl_, {{L"id", utf8Id}, {L"password", utf8Password}}, &body)) {
        LogConnectFailure(L"SessionManager::Login", __LINE__);
        return AgentResult::kFailed;
    }
    const int result = ParsingResponseLoginAndRecertification(body, false);
    if (result < 0) {
        LogParseError(L"SessionManager::Login", __LINE__, result, body);
        return result;
    }
    // One registration for the object's life: a second would run the update
    // step twice per tick.
    if (!listening_) {
        timer_.AddListener(this);
        listening_ = true;
    }
    // Without its timer the session would never be renewed or kept alive:
    // the server would drop it unnoticed.
    if (!timer_.IsRunning() && !timer_.Start(timerPeriod_)) {
        loggedIn_.Reset();
        {
            ScopedLock lock(&lock_);
            token_.clear();
            tokenExpiry_ = 0;
        }
        LogManager::GetInstance()->Error(L"[%s, %d] 세션 타이머를 시작하지 못했습니다. result : %d",
                                         L"SessionManager::Login", __LINE__, AgentResult::kFailed);
        return AgentResult::kFailed;
    }
    return result;
}

int SessionManager::ParsingResponseLoginAndRecertification(const std::wstring& body, bool renewal)
{
    std::string token;
    int64_t expiry = -1;
    const int result = SessionResponses::ParseTokenResponse(WideToUtf8(body), &token, &expiry);
    if (result < 0) return result;
    try {
        int64_t oldExpiry = 0;
        {
            ScopedLock lock(&lock_);
            oldExpiry = tokenExpiry_;
            token_ = token;
            tokenExpiry_ = expiry;
        }
        if (renewal) {
            const std::wstring oldText = Utf8ToWide(FormatLocalTime(oldExpiry));
            const std::wstring newText = Utf8ToWide(FormatLocalTime(expiry));
            if (expiry <= oldExpiry) {
                LogManager::GetInstance()->Error(L"[%s, %d] 잘못된 토큰 만료 시간이 전송되었습니다.",
                                                 L"SessionManager::ParsingResponseLoginAndRecertification",
                                                 __LINE__);
                LogManager::GetInstance()->Error(L"토큰 만료 시간, OLD : %s, NEW : %s", oldText.c_str(),
                                                 newText.c_str());
            } else {
                LogManager::GetInstance()->Trace(L"토큰 만료 시간, OLD : %s, NEW : %s", oldText.c_str(),
                                                 newText.c_str());
            }
        }
        loggedIn_.Set();
        return result;
    } catch (const std::exception&) {
        return AgentResult::kBadResponse;
    }
}

int SessionManager::ParseHealthCheckResponse(const std::string& utf8, bool* hasNotice, NOTICE_INFO* notice)
{
    return SessionResponses::ParseHealthCheckResponse(utf8, hasNotice, notice);
}

int SessionManager::HealthCheck()
{
    Lumen::OutputDebugMessage(L"called SessionManager::HealthCheck()");
    if (!loggedIn_.IsSet()) return AgentResult::kFailed;
    std::wstring body;
    if (!PostForm(healthCheckUrl_, {{L"token", GetToken()}, {L"agentStatus", "true"}}, &body)) {
        LogConnectFailure(L"SessionManager::HealthCheck", __LINE__);
        return AgentResult::kFailed;
    }
    bool hasNotice = false;
    NOTICE_INFO notice;
    const int result = ParseHealthCheckResponse(WideToUtf8(body), &hasNotice, &notice);
    if (result < 0) {
        LogParseError(L"SessionManager::HealthCheck", __LINE__, result, body);
        return result;
    }
    if (hasNotice) ConfigManager::GetInstance()->SetNotice(notice);
    return result;
}

int SessionManager::Recertification()
{
    LogManager::GetInstance()->Trace(L"[%s, %d] 접속인증 토큰을 갱신합니다.", L"SessionManager::Recertification",
                                     __LINE__);
    if (!loggedIn_.IsSet()) return AgentResult::kFailed;
    std::wstring body;
    if (!PostForm(renewalUrl_, {{L"token", GetToken()}, {L"password", GetPassword()}}, &body)) {
        LogConnectFailure(L"SessionManager::Recertification", __LINE__);
        return AgentResult::kFailed;
    }
    const int result = ParsingResponseLoginAndRecertification(body, true);
    if (result < 0) LogParseError(L"SessionManager::Recertification", __LINE__, result, body);
    return result;
}

void SessionManager::UpdateTimer(int64_t now)
{
    const double tokenValidTime = static_cast<double>(GetTokenExpiry() - now);
    Lumen::OutputDebugMessage(L"SessionManager::UpdateTimer() : tokenValidTime : %f", tokenValidTime);
    bool lost = false;
    if (tokenValidTime < static_cast<double>(kRenewBeforeSeconds) && Recertification() < 0) lost = true;
    if (!lost) {
        const double timeAfterHealthCheck = static_cast<double>(now - lastHealthCheck_.load());
        Lumen::OutputDebugMessage(L"SessionManager::UpdateTimer() : timeAferHealthCheck : %f", timeAfterHealthCheck);
        if (timeAfterHealthCheck < static_cast<double>(kHealthCheckSeconds)) return;
        lastHealthCheck_ = now;
        if (HealthCheck() >= 0) return;
    }
    loggedIn_.Reset();
    ISessionChangeHandler* handler = handler_.load();
    if (handler != nullptr) handler->OnTokenExpired();
}

void SessionManager::OnTimer(Lumen::MultimediaTimer*)
{
    // Runs on the timer's callback thread: nothing may escape.
    try {
        UpdateTimer(static_cast<int64_t>(std::time(nullptr)));
    } catch (...) {
        Lumen::OutputDebugMessage(L"SessionManager::UpdateTimer() : exception");
    }
}

int64_t SessionManager::ParseLocalTime(const std::string& text)
{
    return SessionResponses::ParseLocalTime(text);
}

std::string SessionManager::FormatLocalTime(int64_t when)
{
    const std::time_t value = static_cast<std::time_t>(when);
    std::tm local = {};
    if (when < 0 || localtime_s(&local, &value) != 0) return "1970-01-01 00:00:00";
    char text[32] = {};
    std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M:%S", &local);
    return text;
}
