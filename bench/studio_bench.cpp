// The studio's replay and transport, timed: the recording of the whole show for its snapshots,
// seeks all over the show in a shuffled order, each with its picture read back, and play on the
// machine's clock with the interval between ticks. The
// studio's own options (--size, --module, --start) choose what is timed:
//     cd build && ./bench/studio_bench --size 640x480
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "platform/glut.h"
#include "shared/monotonic_clock.h"
#include "studio/replay.h"
#include "studio/transport.h"
#include "sync/show_state.h"

namespace {

constexpr int SEEKS = 200;            // seeks timed
constexpr double PLAY_SECONDS = 10.0;  // seconds of play timed

// The median and the worst of a list of milliseconds, as text.
std::string medianWorst(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    char text[80];
    std::snprintf(text, sizeof text, "median %.1f ms, worst %.1f ms over %zu", values[values.size() / 2],
                  values.back(), values.size());
    return text;
}

// Seeks to `count` moments all over the show in a shuffled order, each with its picture read back.
void benchSeeks(int count)
{
    std::vector<int64_t> targets;
    for (int i = 0; i < count; ++i) {
        targets.push_back(replayTables.endCount * i / count);
    }
    std::shuffle(targets.begin(), targets.end(), std::mt19937(19));
    std::vector<double> times;
    for (const int64_t target : targets) {
        const int64_t started = k3l::monotonicNanoseconds();
        seekReplay(target);
        updateReplayPicture();
        times.push_back((k3l::monotonicNanoseconds() - started) / 1e6);
    }
    std::printf("bench seek: %s; snapshots %zu bytes\n", medianWorst(times).c_str(), replaySnapshotBytes());
}

// Plays `seconds` on the machine's clock as the window does, timing the ticks as they come.
void benchPlay(double seconds)
{
    anchor();
    std::vector<double> intervals;
    int lastTick = show.tick.load();
    int64_t lastAt = k3l::monotonicNanoseconds();
    for (int64_t end = lastAt + static_cast<int64_t>(seconds * 1e9); k3l::monotonicNanoseconds() < end;) {
        follow();
        updateReplayPicture();
        if (show.tick.load() != lastTick) {
            const int64_t now = k3l::monotonicNanoseconds();
            intervals.push_back((now - lastAt) / 1e6);
            lastAt = now;
            lastTick = show.tick.load();
        }
        usleep(static_cast<useconds_t>(untilNextMoment() / 1000));
    }
    intervals.erase(intervals.begin());  // the first runs from the start, not from a tick
    std::printf("bench play: tick interval %s\n", medianWorst(intervals).c_str());
}

}  // namespace

// Starts the studio as it starts, then times it.
void glutMainLoop()
{
    const int64_t started = k3l::monotonicNanoseconds();
    startStudio();
    while (recordReplay(INT64_MAX)) {
    }
    std::printf("bench recording: the whole show in %.0f ms\n", (k3l::monotonicNanoseconds() - started) / 1e6);
    landSeek();
    benchSeeks(SEEKS);
    benchPlay(PLAY_SECONDS);
    std::exit(0);
}
