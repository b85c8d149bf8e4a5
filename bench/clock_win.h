// The clock of the Windows benchmark programs.
#pragma once

#include <windows.h>

namespace corvane::bench {

// Milliseconds on the performance counter, from an arbitrary start: only differences mean anything.
inline double millisecondsNow() noexcept {
    static const double ticksPerMs = [] {
        LARGE_INTEGER frequency{};
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / ticksPerMs;
}

} // namespace corvane::bench
