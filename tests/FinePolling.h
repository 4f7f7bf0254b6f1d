#pragma once

// Included into every test before anything else (cmake/Tessaro.cmake).
//
// A test's wait for a condition (QTRY_COMPARE, QTRY_VERIFY...) looks at it
// every 5 ms rather than every 50: most conditions here come true within a
// few milliseconds of the event they wait for, and the rest of the 50 ms
// step was the larger part of the suite's idle time. The time limits stay as
// each test gives them.
#include <QtTest/qtestcase.h>

#undef QTRY_IMPL
#define QTRY_IMPL(expr, timeout)                                                                             \
    const int qt_test_step = 5;                                                                              \
    const int qt_test_timeoutValue = timeout;                                                                \
    {QTRY_LOOP_IMPL(expr, qt_test_timeoutValue, qt_test_step)} QTRY_TIMEOUT_DEBUG_IMPL(                      \
        expr, qt_test_timeoutValue, qt_test_step)
