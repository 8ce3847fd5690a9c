// QTRY_COMPARE_WITH_TIMEOUT as the window tests use it. Qt 6.8's macro
// narrows its own timeout to int, which -Wconversion reports at every use
// (Qt 6.4's does not); the warning is silenced for the macro alone.
#pragma once

#include <QTest>

#define KSV_TRY_COMPARE(expr, expected, timeout)                                          \
    do {                                                                                  \
        _Pragma("GCC diagnostic push") _Pragma("GCC diagnostic ignored \"-Wconversion\"") \
            QTRY_COMPARE_WITH_TIMEOUT(expr, expected, timeout);                           \
        _Pragma("GCC diagnostic pop")                                                     \
    } while (false)
