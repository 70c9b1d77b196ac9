#include "platform/clock.h"

#include "shared/monotonic_clock.h"

int QueryPerformanceFrequency(LARGE_INTEGER* frequency)
{
    frequency->QuadPart = k3l::NANOSECONDS_PER_SECOND;  // the counter counts nanoseconds
    return 1;
}

int QueryPerformanceCounter(LARGE_INTEGER* count)
{
    count->QuadPart = k3l::monotonicNanoseconds();
    return 1;
}

uint32_t GetTickCount()
{
    return static_cast<uint32_t>(k3l::monotonicNanoseconds() / 1000000);  // nanoseconds to milliseconds
}
