#include "Lumen/LogManagerImpl.h"

#include <windows.h>

#include <spdlog/sinks/daily_file_sink.h>
#include <spdlog/spdlog.h>

#include "Lumen/DebugOutput.h"
#include "Lumen/PathUtils.h"
#include "Lumen/StringUtils.h"

namespace Lumen {

namespace {

std::wstring LogDirectory(const std::wstring& modulePath)
{
    return DirectoryOf(modulePath) + L"Log";
}

}  // namespace

LogManagerImpl::~LogManagerImpl() = default;

std::wstring LogManagerImpl::AgentLogPath(const std::wstring& modulePath, unsigned long sessionId)
{
    const std::wstring fileName = FormatWide(L"%s_session_%d_%s", FileNameOf(modulePath).c_str(),
                                             static_cast<int>(sessionId), L".log");
    return JoinPath(LogDirectory(modulePath), fileName);
}

std::wstring LogManagerImpl::ServiceLogPath(const std::wstring& modulePath)
{
    return JoinPath(LogDirectory(modulePath), FileNameOf(modulePath) + L".log");
}

std::wstring LogManagerImpl::ServiceLoggerName(const std::wstring& modulePath)
{
    const std::wstring fileName = FileNameOf(modulePath);
    const size_t dot = fileName.rfind(L'.');
    return dot == std::wstring::npos ? fileName : fileName.substr(0, dot);
}

void LogManagerImpl::Initialize(LogProcessKind kind)
{
    const std::wstring modulePath = GetModulePath();
    std::wstring loggerName;
    std::wstring path;
    if (kind == LogProcessKind::Agent) {
        DWORD sessionId = 0;
        if (!::ProcessIdToSessionId(::GetCurrentProcessId(), &sessionId)) {
            OutputDebugMessage(L"Failed to SessionUtils::GetProcessSessionId()");
            sessionId = 0;
        }
        loggerName = FormatWide(L"pid:%d", static_cast<int>(::GetCurrentProcessId()));
        path = AgentLogPath(modulePath, sessionId);
    } else {
        loggerName = ServiceLoggerName(modulePath);
        path = ServiceLogPath(modulePath);
    }
    logFilePath_ = WideToUtf8(path);

    try {
        // The file name goes to the library as UTF-16, so that a program
        // folder outside the ANSI code page still opens.
        auto logger = spdlog::daily_logger_mt(WideToUtf8(loggerName), path, 0, 0, false, 0);
        logger->set_level(spdlog::level::info);
        logger->flush_on(spdlog::level::info);
        logger_ = std::move(logger);
    } catch (const std::exception& e) {
        OutputDebugMessage(L"Failed to open the log file %s, running without a log file : %s",
                           path.c_str(), Utf8ToWide(e.what()).c_str());
        logger_.reset();
    }
}

void LogManagerImpl::Release()
{
    if (!logger_) return;
    logger_->flush();
    // The registry holds the logger too; dropping it closes the file now
    // rather than at static destruction.
    spdlog::drop(logger_->name());
    logger_.reset();
}

void LogManagerImpl::Write(int level, const std::wstring& text)
{
    if (!logger_) return;
    try {
        logger_->log(spdlog::source_loc{}, static_cast<spdlog::level::level_enum>(level),
                     std::wstring_view(text));
    } catch (...) {
        // A full disk or a vanished folder must not take the program down.
        ::OutputDebugStringW(L"Failed to write a log record");
    }
}

}  // namespace Lumen
