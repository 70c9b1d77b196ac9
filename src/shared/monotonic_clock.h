#pragma once
// The monotonic clock in nanoseconds, for whatever times itself on the machine: the live frame
// timer's counter, the capture's progress, the tests' and benchmarks' time stamps. On Linux it is
// CLOCK_MONOTONIC (libstdc++'s steady_clock), so its stamps compare with the player's.
#include <chrono>
#include <cstdint>

namespace k3l {

constexpr int64_t NANOSECONDS_PER_SECOND = 1000000000;  // nanoseconds in a second

// Nanoseconds since an arbitrary start that never moves back.
inline int64_t monotonicNanoseconds()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace k3l
