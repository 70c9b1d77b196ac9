#include "offline/virtual_clock.h"

#include "platform/clock.h"

namespace {
// The virtual counter, in counts since the show loaded: written by setVirtualCount, read by the clock calls.
int64_t counter = 0;
}  // namespace

int64_t virtualCount()
{
    return counter;
}

void setVirtualCount(int64_t count)
{
    counter = count;
}

double countSeconds(int64_t count)
{
    return static_cast<double>(count) / static_cast<double>(VIRTUAL_COUNTS_PER_SECOND);
}

int64_t secondsCount(double seconds)
{
    return static_cast<int64_t>(seconds * static_cast<double>(VIRTUAL_COUNTS_PER_SECOND) + 0.5);
}

int QueryPerformanceFrequency(LARGE_INTEGER* frequency)
{
    frequency->QuadPart = VIRTUAL_COUNTS_PER_SECOND;
    return 1;
}

int QueryPerformanceCounter(LARGE_INTEGER* count)
{
    count->QuadPart = counter;
    return 1;
}

uint32_t GetTickCount()
{
    return static_cast<uint32_t>(counter / (VIRTUAL_COUNTS_PER_SECOND / 1000));
}
