#pragma once

#include <memory>
#include <string>

namespace spdlog {
class logger;
}

namespace Lumen {

// Which program writes the log: it decides the file and logger names.
enum class LogProcessKind { Agent, Service };

// Owns the process's one daily file logger. Created by LogManager.
class LogManagerImpl {
public:
    LogManagerImpl() = default;
    virtual ~LogManagerImpl();
    LogManagerImpl(const LogManagerImpl&) = delete;
    LogManagerImpl& operator=(const LogManagerImpl&) = delete;

    // Main thread, once, before other threads start. When the folder or the
    // file cannot be opened the program runs on without a file log and says
    // so on the debug output.
    void Initialize(LogProcessKind kind);

    // Flushes and lets the logger go. Nothing may log after it.
    void Release();

    // Level numbers are the logging library's: 0 trace, 2 info, 4 error.
    void Write(int level, const std::wstring& text);

    const std::string& GetLogFilePath() const { return logFilePath_; }

    // The naming rules, kept free of the system so they can be checked alone.
    // Paths are the undated ones; the daily sink inserts the date.
    static std::wstring AgentLogPath(const std::wstring& modulePath, unsigned long sessionId);
    static std::wstring ServiceLogPath(const std::wstring& modulePath);
    static std::wstring ServiceLoggerName(const std::wstring& modulePath);

private:
    std::string logFilePath_;
    std::shared_ptr<spdlog::logger> logger_;
};

}  // namespace Lumen
