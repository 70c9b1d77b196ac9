#include "platform/clock.h"

#include <ctime>

namespace {

constexpr int64_t NANOSECONDS_PER_SECOND = 1000000000;  // counter frequency, counts per second

int64_t monotonicNanoseconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * NANOSECONDS_PER_SECOND + now.tv_nsec;
}

}  // namespace

int QueryPerformanceFrequency(LARGE_INTEGER* frequency)
{
    frequency->QuadPart = NANOSECONDS_PER_SECOND;
    return 1;
}

int QueryPerformanceCounter(LARGE_INTEGER* count)
{
    count->QuadPart = monotonicNanoseconds();
    return 1;
}

uint32_t GetTickCount()
{
    return static_cast<uint32_t>(monotonicNanoseconds() / 1000000);
}
