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

// Nanoseconds per call of `count` calls of body.
template <class Body>
double NanosecondsPerCall(int count, Body &body) {
    const double start = Seconds();
    for (int i = 0; i < count; ++i) body();
    return (Seconds() - start) * 1e9 / count;
}

struct Comparison {
    double baseline = 1e300;
    double measured = 1e300;
};

// Best of `rounds` rounds each of baseline and measured body, interleaved so that a busy machine
// slows both alike; nanoseconds per call.
template <class Baseline, class Measured>
Comparison Compare(int rounds, int count, Baseline baseline, Measured measured) {
    Comparison best;
    for (int round = 0; round < rounds; ++round) {
        best.baseline = std::min(best.baseline, NanosecondsPerCall(count, baseline));
        best.measured = std::min(best.measured, NanosecondsPerCall(count, measured));
    }
    return best;
}

// Prints a time per call in microseconds and its ratio to the baseline's.
inline void Report(const char *what, double nanoseconds, double baselineNanoseconds) {
    std::printf("%-48s %10.1f us  (%.2f x baseline)\n", what, nanoseconds / 1000, nanoseconds / baselineNanoseconds);
}

}  // namespace bench
