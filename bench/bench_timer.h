// Timing helpers for the benchmarks: best of several rounds, in nanoseconds per operation.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>

namespace bench {

inline double Seconds() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Best of `rounds` rounds of `count` calls of body, in nanoseconds per call.
template <class Body>
double NanosecondsPerCall(int rounds, int count, Body body) {
    double best = 1e300;
    for (int round = 0; round < rounds; ++round) {
        const double start = Seconds();
        for (int i = 0; i < count; ++i) body();
        best = std::min(best, (Seconds() - start) * 1e9 / count);
    }
    return best;
}

inline void Report(const char *what, double value, const char *unit, double baseline) {
    std::printf("%-48s %12.1f %s  (%.2f x baseline)\n", what, value, unit, value / baseline);
}

}  // namespace bench
