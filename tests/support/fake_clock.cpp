#include "support/fake_clock.h"

#include "platform/clock.h"

FakeClock fakeClock;

int QueryPerformanceFrequency(LARGE_INTEGER* frequency)
{
    frequency->QuadPart = fakeClock.hasCounter ? fakeClock.frequency : 0;
    return fakeClock.hasCounter ? 1 : 0;
}

int QueryPerformanceCounter(LARGE_INTEGER* count)
{
    count->QuadPart = fakeClock.hasCounter ? fakeClock.counter : 0;
    return fakeClock.hasCounter ? 1 : 0;
}

uint32_t GetTickCount()
{
    return fakeClock.tickCount;
}
