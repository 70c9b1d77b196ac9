#pragma once
// A Zxx handler for tests and tools that notes when each event arrives.
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "platform/fmod.h"

// One handler call.
struct Arrival {
    int64_t ns;             // monotonic clock
    int parameter;          // the byte xx
    FMUSIC_MODULE* module;  // the handle passed
    bool onCallerThread;    // whether it ran on the thread that called clearArrivals
};

// The handler: notes the call.
void noteArrival(FMUSIC_MODULE* module, unsigned char parameter);

// Forgets every arrival noted and takes the calling thread as the caller's.
void clearArrivals();

// The arrivals noted so far, in the order they came.
std::vector<Arrival> arrivals();

// Nanoseconds on the monotonic clock.
int64_t nowNs();

// Waits up to `limitMs` for `done`, looking every 10 ms; whether it came.
template <typename Done>
bool waitFor(Done done, int limitMs)
{
    for (int waited = 0; waited < limitMs && !done(); waited += 10) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}
