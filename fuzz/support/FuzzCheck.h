#pragma once

#include <cstdio>
#include <cstdlib>

// An invariant of the code under test: a broken one ends the run like a
// sanitizer finding, so that libFuzzer keeps the input.
#define PAVO_FUZZ_CHECK(condition)                                                                 \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)
