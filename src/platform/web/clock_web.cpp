// The system clock calls over the browser's performance.now(), in nanoseconds. The
// clock stands still while the page waits for its start click, as the desktop's
// loading takes no time on the show's clock once the music starts; it follows the
// audio output's clock over time, so that ticks keep step with the music however the
// browser's two clocks drift apart; and the page's main loop may pin it to the moment
// a step was due (web.h).
#include <emscripten.h>

#include <algorithm>
#include <cmath>

#include "platform/clock.h"
#include "platform/web/web.h"

namespace {

constexpr int64_t NANOSECONDS_PER_SECOND = 1000000000;  // counter frequency, counts per second
constexpr double MAX_SLEW = 0.25;                        // milliseconds of lag taken up per millisecond at most

// Milliseconds the clock has been held, and since when (or -1): written by holdShowClock, read by every reading.
double heldMs = 0.0;
double holdStartMs = -1.0;
// Milliseconds the clock runs behind performance.now() to follow the audio clock, and when that
// last changed: written by followAudioClock, read by every reading.
double lagMs = 0.0;
double lagSetMs = 0.0;
// The pinned count, or -1: written by pinShowClock and unpinShowClock (the main loop), read by every reading.
int64_t pinnedCount = -1;

}  // namespace

int64_t showClockCountAt(double performanceMs)
{
    const double since = holdStartMs >= 0.0 ? holdStartMs : performanceMs;
    return std::llround((since - heldMs - lagMs) * NANOSECONDS_PER_MS);
}

double performanceMsOf(int64_t count)
{
    return static_cast<double>(count) / NANOSECONDS_PER_MS + heldMs + lagMs;
}

void followAudioClock(double nowMs, double targetMs)
{
    const double step = MAX_SLEW * std::max(0.0, nowMs - lagSetMs);
    lagMs = std::min(std::max(targetMs, lagMs - step), lagMs + step);
    lagSetMs = nowMs;
}

int64_t showClockCount()
{
    return pinnedCount >= 0 ? pinnedCount : showClockCountAt(emscripten_get_now());
}

void pinShowClock(int64_t count)
{
    pinnedCount = count;
}

void unpinShowClock()
{
    pinnedCount = -1;
}

void holdShowClock(bool hold)
{
    const double now = emscripten_get_now();
    if (hold && holdStartMs < 0.0) {
        holdStartMs = now;
    } else if (!hold && holdStartMs >= 0.0) {
        heldMs += now - holdStartMs;
        holdStartMs = -1.0;
    }
}

int QueryPerformanceFrequency(LARGE_INTEGER* frequency)
{
    frequency->QuadPart = NANOSECONDS_PER_SECOND;
    return 1;
}

int QueryPerformanceCounter(LARGE_INTEGER* count)
{
    count->QuadPart = showClockCount();
    return 1;
}

uint32_t GetTickCount()
{
    return static_cast<uint32_t>(showClockCount() / 1000000);
}
