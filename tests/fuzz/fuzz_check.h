#pragma once

#include <QString>

#include <cstdio>
#include <cstdlib>

// A broken invariant in a fuzz target: print what and where, then abort so
// that libFuzzer keeps the input as a crash.
#define FUZZ_CHECK(condition, what)                                                                          \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "%s:%d: %s: %s\n", __FILE__, __LINE__, #condition,                          \
                         qPrintable(QString(what)));                                                         \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (0)
