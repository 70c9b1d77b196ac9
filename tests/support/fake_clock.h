#pragma once
// A clock the tests set by hand, standing in for the system's counter and tick count.
#include <cstdint>

struct FakeClock {
    bool hasCounter = true;       // whether a high-resolution counter exists
    int64_t frequency = 1000000;  // counts per second
    int64_t counter = 0;          // the counter's current value
    uint32_t tickCount = 0;       // milliseconds
};

// Written by the tests, read by the clock calls.
extern FakeClock fakeClock;
