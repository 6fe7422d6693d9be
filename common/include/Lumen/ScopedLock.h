#pragma once

#include "Lumen/Criticalsection.h"

namespace Lumen {

// Holds a Criticalsection for the life of a scope, also when an exception
// leaves it.
class ScopedLock {
public:
    explicit ScopedLock(Criticalsection* lock) : lock_(lock) { lock_->Lock(); }
    ~ScopedLock() { lock_->Unlock(); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

private:
    Criticalsection* lock_;
};

}  // namespace Lumen
