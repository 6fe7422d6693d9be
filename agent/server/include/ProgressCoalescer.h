#pragma once

#include <cstdint>
#include <mutex>

#include "InstallProgress.h"

// Hands the worker's latest progress to the user-interface thread without
// flooding it: the worker stores each report, and is told to post a wake-up
// only when none is pending and the last one is old enough (or the product or
// step changed). The UI thread takes the latest state when the wake-up runs.
// Between End and the next Begin every report is dropped, so progress never
// shows after the command it belongs to has completed. Thread-safe.
class ProgressCoalescer {
public:
    static constexpr uint32_t kMinimumIntervalMs = 100;

    void Begin();
    void End();
    // Stores `progress`; true when the caller should post a wake-up now.
    bool Report(const InstallProgress& progress, uint32_t nowMs);
    // The latest state, once per wake-up; false when there is none to show.
    bool Take(InstallProgress* progress);

private:
    std::mutex lock_;
    InstallProgress latest_;
    bool active_ = false;
    bool stored_ = false;
    bool pending_ = false;
    bool posted_ = false;
    uint32_t lastPostMs_ = 0;
};
