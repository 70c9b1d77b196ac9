#pragma once
#include <cstdint>

// Milliseconds since a starting point, on the high-resolution counter when the
// system has one, else on the millisecond tick count.
class FrameTimer {
public:
    constexpr FrameTimer() : useCounter(1) {}

    void init();
    void reset();
    double elapsedMs();

    int32_t useCounter;            // 1: high-resolution counter; 0: millisecond fallback
    int64_t startCount = 0;        // counter value (or tick count) at the last init or reset
    float secondsPerCount = 0.0f;  // seconds per counter step; unused on the fallback
};

// The one timer: written by the loading sequence (init) and the tick (reset), read by the tick.
extern FrameTimer frameTimer;
