#pragma once
// Records what the test sound server's null sink plays (its monitor, with parec)
// and places every recorded frame on the monotonic clock, so that the moment a
// frame is heard can be set against the moment an event arrived.
//
// The sink's monitor hands out each block of frames as the sink renders it, a
// block at a time ahead of playing it; parec is asked for 2 ms blocks. The time
// a block's first frame arrives through the pipe, less its place in the
// recording, is when the recording's frame 0 is heard plus a delivery delay;
// its lower envelope over the recording, fitted as a line (the sink's clock may
// run slightly off the system's), maps frames to times within about one block.
#include <cstdint>
#include <vector>

constexpr int MONITOR_RATE = 44100;  // Hz

struct MonitorRecording {
    std::vector<float> frames;            // mono (left + right) / 2, full scale 1.0
    std::vector<int64_t> chunkArrivalNs;  // monotonic time each pipe read returned
    std::vector<int64_t> chunkFirstFrame; // index in `frames` of each read's first frame
    double originNs = 0.0;                // fitted: when frame 0 is heard
    double driftNsPerFrame = 0.0;         // fitted: the sink clock's deviation per frame
    bool fitted = false;
};

// Starts parec on "$K3L_TEST_SINK.monitor"; false if there is no test sink or parec fails.
bool startMonitorRecording();

// Stops parec and returns what it recorded, fitted to the monotonic clock.
MonitorRecording stopMonitorRecording();

// The recorded frame heard at a moment of the monotonic clock (nanoseconds).
int64_t heardFrame(const MonitorRecording& recording, int64_t ns);

// Frames where a sound starts: the first frame above `threshold` / 10 after at least
// `quietFrames` frames below it, of a sound that then rises above `threshold`.
std::vector<int64_t> findOnsets(const MonitorRecording& recording, float threshold, int quietFrames);

// The largest absolute value among frames [from, to).
float peakBetween(const MonitorRecording& recording, int64_t from, int64_t to);

