// Records the test sound server's sink (its monitor) for the given seconds and prints the
// moment each sound starts in it, on the monotonic clock: "started NANOSECONDS" (when the
// recording was asked for), "recorded SECONDS" (0 when nothing could be recorded), then
// "onset NANOSECONDS" a line.
//   monitor_onsets SECONDS
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "monitor_recorder.h"
#include "shared/monotonic_clock.h"

namespace {
constexpr float CLICK_LEVEL = 0.05f;  // a level only a kick reaches
constexpr int QUIET_FRAMES = 441;     // 10 ms of quiet before an onset
}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: monitor_onsets SECONDS\n");
        return 2;
    }
    std::printf("started %lld\n", static_cast<long long>(k3l::monotonicNanoseconds()));
    if (!startMonitorRecording()) {
        std::printf("recorded 0\n");
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(std::atof(argv[1])));
    const MonitorRecording recording = stopMonitorRecording();
    std::printf("recorded %.2f\n", recording.fitted ? static_cast<double>(recording.frames.size()) / MONITOR_RATE : 0.0);
    if (!recording.fitted) {
        return 1;
    }
    for (const int64_t frame : findOnsets(recording, CLICK_LEVEL, QUIET_FRAMES)) {
        std::printf("onset %lld\n",
                    static_cast<long long>(recording.originNs + frame * (1e9 / MONITOR_RATE + recording.driftNsPerFrame)));
    }
    return 0;
}
