#pragma once

#include <windows.h>

namespace Lumen {

// A lock over a Windows critical section. The owning thread may lock it again.
class Criticalsection {
public:
    Criticalsection() { ::InitializeCriticalSection(&section_); }
    virtual ~Criticalsection() { ::DeleteCriticalSection(&section_); }
    Criticalsection(const Criticalsection&) = delete;
    Criticalsection& operator=(const Criticalsection&) = delete;

    virtual void Lock() { ::EnterCriticalSection(&section_); }
    virtual void Unlock() { ::LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_;
};

}  // namespace Lumen
