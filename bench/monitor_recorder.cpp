#include "monitor_recorder.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "shared/monotonic_clock.h"

extern char** environ;

namespace {

constexpr size_t PIPE_READ = 16384;     // bytes per read from parec
constexpr int64_t FIT_WINDOW = 22050;   // frames per window of the lower envelope
constexpr double OUTLIER_NS = 1.0e6;    // nanoseconds below the fitted line that drop a window
constexpr double NS_PER_SECOND = 1.0e9;  // nanoseconds in a second

// parec's process id, 0 when not recording: the test thread's.
pid_t recorderPid = 0;
// The read end of parec's output: the test thread's.
int recorderPipe = -1;
// The thread reading the pipe: started and joined by the test thread.
std::thread reader;
// What the reader collected: the reader's until joined.
MonitorRecording collected;

// The reader thread: appends parec's 16-bit stereo frames and the time each read returned.
void readPipe()
{
    std::vector<uint8_t> buffer(PIPE_READ);
    std::vector<uint8_t> pending;
    for (;;) {
        const ssize_t got = read(recorderPipe, buffer.data(), buffer.size());
        const int64_t arrival = k3l::monotonicNanoseconds();
        if (got <= 0) {
            return;
        }
        pending.insert(pending.end(), buffer.begin(), buffer.begin() + got);
        const size_t whole = pending.size() / 4 * 4;
        collected.chunkArrivalNs.push_back(arrival);
        collected.chunkFirstFrame.push_back(static_cast<int64_t>(collected.frames.size()));
        for (size_t i = 0; i < whole; i += 4) {
            int16_t left, right;
            std::memcpy(&left, &pending[i], 2);
            std::memcpy(&right, &pending[i + 2], 2);
            collected.frames.push_back((left + right) / 65536.0f);
        }
        pending.erase(pending.begin(), pending.begin() + static_cast<ptrdiff_t>(whole));
    }
}

// Fits the line heard(frame) = origin + frame * (1 / rate + drift) under the arrivals.
void fitClock(MonitorRecording& recording)
{
    std::vector<double> x, y;
    double best = 0.0;
    int64_t bestFrame = -1;
    int64_t windowEnd = FIT_WINDOW;
    for (size_t i = 0; i < recording.chunkArrivalNs.size(); ++i) {
        const int64_t frame = recording.chunkFirstFrame[i];
        const double value = recording.chunkArrivalNs[i] - frame * NS_PER_SECOND / MONITOR_RATE;
        if (frame >= windowEnd) {
            if (bestFrame >= 0) {
                x.push_back(static_cast<double>(bestFrame));
                y.push_back(best);
            }
            bestFrame = -1;
            windowEnd = (frame / FIT_WINDOW + 1) * FIT_WINDOW;
        }
        if (bestFrame < 0 || value < best) {
            best = value;
            bestFrame = frame;
        }
    }
    std::vector<bool> keep(x.size(), true);
    for (int pass = 0; pass < 4; ++pass) {
        double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
        for (size_t i = 0; i < x.size(); ++i) {
            if (keep[i]) {
                n += 1;
                sx += x[i];
                sy += y[i];
                sxx += x[i] * x[i];
                sxy += x[i] * y[i];
            }
        }
        if (n < 2) {
            return;
        }
        const double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
        recording.driftNsPerFrame = std::isfinite(slope) ? slope : 0.0;
        recording.originNs = (sy - recording.driftNsPerFrame * sx) / n;
        recording.fitted = true;
        for (size_t i = 0; i < x.size(); ++i) {
            keep[i] = y[i] > recording.originNs + recording.driftNsPerFrame * x[i] - OUTLIER_NS;
        }
    }
}

}  // namespace

bool startMonitorRecording()
{
    const char* sink = std::getenv("K3L_TEST_SINK");
    if (sink == nullptr || recorderPid != 0) {
        return false;
    }
    int fds[2];
    if (pipe(fds) != 0) {
        return false;
    }
    const std::string device = std::string("--device=") + sink + ".monitor";
    const char* args[] = {"parec", device.c_str(), "--raw", "--format=s16le", "--rate=44100", "--channels=2",
                          "--latency-msec=2", nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const int spawned = posix_spawnp(&recorderPid, "parec", &actions, nullptr, const_cast<char**>(args), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (spawned != 0) {
        recorderPid = 0;
        close(fds[0]);
        return false;
    }
    recorderPipe = fds[0];
    collected = MonitorRecording{};
    collected.frames.reserve(MONITOR_RATE * 600);
    reader = std::thread(readPipe);
    return true;
}

MonitorRecording stopMonitorRecording()
{
    if (recorderPid == 0) {
        return MonitorRecording{};
    }
    kill(recorderPid, SIGTERM);
    waitpid(recorderPid, nullptr, 0);
    recorderPid = 0;
    reader.join();
    close(recorderPipe);
    recorderPipe = -1;
    MonitorRecording recording = std::move(collected);
    fitClock(recording);
    return recording;
}

int64_t heardFrame(const MonitorRecording& recording, int64_t ns)
{
    return std::llround((ns - recording.originNs) / (NS_PER_SECOND / MONITOR_RATE + recording.driftNsPerFrame));
}

std::vector<int64_t> findOnsets(const MonitorRecording& recording, float threshold, int quietFrames)
{
    std::vector<int64_t> onsets;
    const float faint = threshold / 10;
    int quiet = 0;
    int64_t start = -1;  // where the sound being looked at rose above `faint` after a quiet stretch
    for (size_t i = 0; i < recording.frames.size(); ++i) {
        const float level = std::fabs(recording.frames[i]);
        if (level < faint) {
            ++quiet;
            continue;
        }
        if (quiet >= quietFrames) {
            start = static_cast<int64_t>(i);
        }
        quiet = 0;
        if (start >= 0 && level > threshold) {
            onsets.push_back(start);
            start = -1;
        }
    }
    return onsets;
}

float peakBetween(const MonitorRecording& recording, int64_t from, int64_t to)
{
    float peak = 0.0f;
    const int64_t end = std::min<int64_t>(to, static_cast<int64_t>(recording.frames.size()));
    for (int64_t i = std::max<int64_t>(from, 0); i < end; ++i) {
        peak = std::max(peak, std::fabs(recording.frames[i]));
    }
    return peak;
}
