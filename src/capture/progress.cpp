#include "capture/progress.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "shared/monotonic_clock.h"

namespace {

constexpr double REDRAW_SECONDS = 0.25;  // wall seconds between redraws on a terminal
constexpr int BAR_WIDTH = 30;            // characters
constexpr int LINE_STEPS = 10;           // plain lines over the whole capture, off a terminal

// The progress display: written by start/update/end, read by update/clear.
struct Progress {
    bool enabled = false;
    bool terminal = false;       // stderr is a terminal: redraw in place
    bool drawn = false;          // a bar is on the terminal's last line
    double expected = 0.0;       // show seconds the capture should cover; 0 when unknown
    double startWall = 0.0;      // wall seconds when the capture started
    double lastDraw = -1.0;      // wall seconds of the last redraw
    int linesPrinted = 0;        // plain lines so far
};
Progress progress;

// Seconds on the monotonic wall clock.
double wallSeconds()
{
    return static_cast<double>(k3l::monotonicNanoseconds()) / k3l::NANOSECONDS_PER_SECOND;
}

// "m:ss" for a number of seconds.
void formatMinutes(double seconds, char* text, size_t size)
{
    const int whole = static_cast<int>(std::max(0.0, seconds) + 0.5);
    std::snprintf(text, size, "%d:%02d", whole / 60, whole % 60);
}

}  // namespace

void startProgress(bool enabled, double expectedSeconds)
{
    progress = Progress{};
    progress.enabled = enabled;
    progress.terminal = isatty(STDERR_FILENO) != 0;
    progress.expected = expectedSeconds;
    progress.startWall = wallSeconds();
}

void updateProgress(int64_t frames, double showSeconds)
{
    if (!progress.enabled) {
        return;
    }
    const double now = wallSeconds();
    const double fraction = progress.expected > 0.0 ? std::min(1.0, showSeconds / progress.expected) : 0.0;
    if (progress.terminal) {
        if (progress.lastDraw >= 0.0 && now - progress.lastDraw < REDRAW_SECONDS) {
            return;
        }
    } else if (fraction * LINE_STEPS < progress.linesPrinted + 1) {
        return;
    }
    progress.lastDraw = now;
    const double wall = now - progress.startWall;
    const double speed = wall > 0.0 ? showSeconds / wall : 0.0;
    char left[16] = "?";
    if (progress.expected > 0.0 && speed > 0.0) {
        formatMinutes((progress.expected - showSeconds) / speed, left, sizeof left);
    }
    char bar[BAR_WIDTH + 1];
    const int filled = static_cast<int>(fraction * BAR_WIDTH);
    for (int i = 0; i < BAR_WIDTH; ++i) {
        bar[i] = i < filled ? '#' : '.';
    }
    bar[BAR_WIDTH] = '\0';
    if (progress.terminal) {
        std::fprintf(stderr, "\r[%s] %3d%%  frame %lld  show %.1f s  %.1fx real time  %s left \033[K", bar,
                     static_cast<int>(fraction * 100.0), static_cast<long long>(frames), showSeconds, speed, left);
        progress.drawn = true;
    } else {
        std::fprintf(stderr, "k3lvana-capture: %3d%%  frame %lld  show %.1f s  %.1fx real time  %s left\n",
                     static_cast<int>(fraction * 100.0), static_cast<long long>(frames), showSeconds, speed, left);
        progress.linesPrinted = static_cast<int>(fraction * LINE_STEPS);
    }
    std::fflush(stderr);
}

void clearProgress()
{
    if (progress.drawn) {
        std::fprintf(stderr, "\r\033[K");
        progress.drawn = false;
    }
}

void endProgress(int64_t frames, double showSeconds, const std::string& output)
{
    clearProgress();
    const double wall = wallSeconds() - progress.startWall;
    std::fprintf(stderr, "k3lvana-capture: wrote %s: %lld frames, %.2f s of show in %.1f s (%.1fx real time)\n",
                 output.c_str(), static_cast<long long>(frames), showSeconds, wall,
                 wall > 0.0 ? showSeconds / wall : 0.0);
}
