#pragma once
// The system clock calls the frame timer makes, in their Windows shape.
// On Windows they are the system's own (kernel32). Elsewhere the live build links
// clock_monotonic.cpp; tests and the capture link their own clocks.
#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
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
#endif
