#include "Lumen/LogManager.h"

#include <windows.h>

#include "Lumen/StringUtils.h"

namespace Lumen {

namespace {
constexpr int kTrace = 0;
constexpr int kInfo = 2;
constexpr int kError = 4;
}  // namespace

LogManager* LogManager::GetInstance()
{
    // Lives for the whole run: threads may still log while statics unwind.
    static LogManager* instance = new LogManager();
    return instance;
}

LogManager::LogManager() : impl_(std::make_unique<LogManagerImpl>()) {}

LogManager::~LogManager() = default;

// Logging never changes the caller's last error.
#define PAVO_LOG_FORMATTED(level)                          \
    const DWORD lastError = ::GetLastError();              \
    va_list args;                                          \
    va_start(args, format);                                \
    const std::wstring text = FormatWideV(format, args);   \
    va_end(args);                                          \
    impl_->Write(level, text);                             \
    ::SetLastError(lastError)

void LogManager::Info(const wchar_t* format, ...)
{
    PAVO_LOG_FORMATTED(kInfo);
}

void LogManager::Error(const wchar_t* format, ...)
{
    PAVO_LOG_FORMATTED(kError);
}

void LogManager::Trace(const wchar_t* format, ...)
{
    PAVO_LOG_FORMATTED(kTrace);
}

#undef PAVO_LOG_FORMATTED

}  // namespace Lumen
