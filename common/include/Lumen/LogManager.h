#pragma once

#include <memory>
#include <string>

#include "Lumen/LogManagerImpl.h"

namespace Lumen {

// The process's log: one daily file in the "Log" folder beside the program.
// Formats are wide printf formats with Windows semantics ("%s" is wide).
// Info, Error and Trace may be called from any thread once Initialize has run;
// before Initialize and after Release they write nothing.
class LogManager {
public:
    // Creates the instance on first use (on the main thread, before other
    // threads exist). Never null.
    static LogManager* GetInstance();

    virtual ~LogManager();
    LogManager(const LogManager&) = delete;
    LogManager& operator=(const LogManager&) = delete;

    LogManagerImpl* GetImpl() { return impl_.get(); }
    void Initialize(LogProcessKind kind) { impl_->Initialize(kind); }
    void Release() { impl_->Release(); }

    void Info(const wchar_t* format, ...);
    void Error(const wchar_t* format, ...);
    // Formatted, but below the logger's level: never written.
    void Trace(const wchar_t* format, ...);

private:
    LogManager();
    std::unique_ptr<LogManagerImpl> impl_;
};

}  // namespace Lumen
