#include "platform/clock.h"
#include "capture/virtual_clock.h"

namespace {
// The virtual counter, in counts since the capture started: written by the main loop, read by the clock calls.
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
