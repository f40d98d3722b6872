#pragma once

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>

// Qt's SQL plug-ins are found through the application object; one lives for the whole run.
inline void fuzz_application(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
}

// A failed check ends the run as a crash, so libFuzzer keeps the input.
#define FUZZ_CHECK(condition, ...)                                       \
    do {                                                                 \
        if (!(condition)) {                                              \
            std::fprintf(stderr, "fuzz check failed: %s\n", #condition); \
            std::fprintf(stderr, __VA_ARGS__);                           \
            std::fprintf(stderr, "\n");                                  \
            std::abort();                                                \
        }                                                                \
    } while (0)
