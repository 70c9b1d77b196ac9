#pragma once
// The system clock calls the frame timer makes, in their Windows shape.
// The live build links clock_monotonic.cpp; tests and the capture link their own clocks.
#include <cstdint>

union LARGE_INTEGER {
    int64_t QuadPart;
};

// Counts per second of the high-resolution counter; 0 when there is none.
int QueryPerformanceFrequency(LARGE_INTEGER* frequency);

// The high-resolution counter's current value; 0 on failure.
int QueryPerformanceCounter(LARGE_INTEGER* count);

// Milliseconds since an arbitrary start, wrapping at 2^32.
uint32_t GetTickCount();
