#pragma once

#include <cstdint>
#include <string>

// Where the installation of one product stands, as the worker last reported it.
struct InstallProgress {
    enum class Step : int {
        None = 0,
        Downloading,  // the installer is being downloaded
        Installing,   // the installer runs
        Waiting,      // the installer has ended; its processes or mutex are awaited
    };

    std::wstring productCode;
    Step step = Step::None;
    uint64_t received = 0;
    // Bytes announced by the server; meaningful only with hasTotal.
    uint64_t total = 0;
    bool hasTotal = false;
    // 1-based position among `count` products; count 0 for a single product.
    int index = 0;
    int count = 0;
};
