#include "ProgressCoalescer.h"

void ProgressCoalescer::Begin()
{
    std::lock_guard<std::mutex> guard(lock_);
    latest_ = InstallProgress();
    active_ = true;
    stored_ = false;
    pending_ = false;
    posted_ = false;
}

void ProgressCoalescer::End()
{
    std::lock_guard<std::mutex> guard(lock_);
    active_ = false;
    stored_ = false;
}

bool ProgressCoalescer::Report(const InstallProgress& progress, uint32_t nowMs)
{
    std::lock_guard<std::mutex> guard(lock_);
    if (!active_) return false;
    // A new product or step, or the last byte, is worth a wake-up of its own;
    // other byte counts are not.
    const bool finished = progress.hasTotal && progress.received == progress.total;
    const bool changed = !stored_ || finished || progress.step != latest_.step || progress.index != latest_.index ||
                         progress.productCode != latest_.productCode;
    latest_ = progress;
    stored_ = true;
    if (pending_) return false;
    if (!changed && posted_ && nowMs - lastPostMs_ < kMinimumIntervalMs) return false;
    pending_ = true;
    posted_ = true;
    lastPostMs_ = nowMs;
    return true;
}

bool ProgressCoalescer::Take(InstallProgress* progress)
{
    std::lock_guard<std::mutex> guard(lock_);
    const bool woken = pending_;
    pending_ = false;
    if (!woken || !active_ || !stored_) return false;
    *progress = latest_;
    return true;
}
