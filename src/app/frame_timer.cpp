#include "app/frame_timer.h"

#include "platform/clock.h"

FrameTimer frameTimer;

void FrameTimer::init()
{
    LARGE_INTEGER frequency;
    if (QueryPerformanceFrequency(&frequency)) {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        startCount = now.QuadPart;
        secondsPerCount = static_cast<float>(1.0 / static_cast<double>(frequency.QuadPart));
    } else {
        useCounter = 0;
        startCount = GetTickCount();
    }
}

void FrameTimer::reset()
{
    if (useCounter) {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        startCount = now.QuadPart;
    } else {
        startCount = GetTickCount();
    }
}

double FrameTimer::elapsedMs()
{
    if (useCounter) {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        const int64_t difference = now.QuadPart - startCount;
        return static_cast<double>(difference) * secondsPerCount * 1000.0;
    }
    const uint32_t difference = GetTickCount() - static_cast<uint32_t>(startCount);
    return static_cast<double>(difference);
}
