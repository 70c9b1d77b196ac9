// Measures when Zxx events arrive against when their rows are heard: a song of a
// few minutes (tempo and speed changing every pattern, a click and a Z on every
// other row) played by the live player from start to end.
//
// On the audio device (run it through `tests/env/test-env.sh with`) each event is set
// against its click's onset in a recording of the null sink's monitor; on the
// silent output (--silent, or no sound server) against its row's time since
// PlaySong, computed from the song's tempo and speed.
//
// --busy N keeps N more threads spinning meanwhile, as a busy show does.
// --player COMMAND plays the song in another program instead, one that takes the module
// and a duration in seconds and prints each event's byte in hex on a line as it is released
// (tests/windows/play_events.exe under Wine): its events are timed as its lines arrive.
//
//   event_timing [--silent] [--minutes N] [--busy N] [--player COMMAND]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "arrival_log.h"
#include "monitor_recorder.h"
#include "platform/fmod.h"
#include "platform/player_live.h"
#include "player_modules.h"
#include "support/process.h"

namespace {

constexpr int ROWS = 64;                  // rows per pattern
constexpr int EVENT_EVERY = 2;            // rows between two event rows
constexpr int64_t MATCH_FRAMES = 2205;    // 50 ms: farther than this from any onset, an event counts as unmatched
constexpr float CLICK_LEVEL = 0.05f;      // a level only a click reaches
constexpr int QUIET_FRAMES = 441;         // 10 ms of quiet before an onset

struct Pace {
    uint8_t tempo;
    uint8_t speed;
};
// Tempo and speed of successive patterns, round and round.
const Pace PACES[] = {{125, 6}, {150, 3}, {97, 4}, {180, 3}, {110, 5}, {255, 2}, {133, 3}};

// The song, and each event's row start in frames from the song's start.
itw::Module buildSong(double minutes, std::vector<int64_t>& eventFrames)
{
    itw::Module song = blankModule(0, ROWS, 2, PACES[0].speed, PACES[0].tempo);
    int64_t frame = 0;
    int event = 0;
    for (int p = 0; frame < minutes * 60.0 * TEST_RATE; ++p) {
        const Pace pace = PACES[p % (sizeof PACES / sizeof PACES[0])];
        itw::Pattern pattern(ROWS, 2);
        pattern.at(0, 0) = itw::Cell{itw::NOTE_NONE, 0, itw::VOLUME_NONE, 'T', pace.tempo};
        pattern.at(1, 0) = itw::Cell{itw::NOTE_NONE, 0, itw::VOLUME_NONE, 'A', pace.speed};
        const int64_t rowFrames = int64_t{pace.speed} * (TEST_RATE * 5 / (2 * pace.tempo));
        const int64_t firstRow = int64_t{PACES[(p + 6) % 7].speed} * (TEST_RATE * 5 / (2 * pace.tempo));
        for (int row = 0; row < ROWS; ++row) {
            if (row % EVENT_EVERY == 1) {
                pattern.at(row, 1) = clickCell('Z', static_cast<uint8_t>(event++));
                eventFrames.push_back(frame);
            }
            frame += row == 0 ? firstRow : rowFrames;  // A takes effect on row 1: row 0 keeps the last speed
        }
        song.patterns.push_back(pattern);
        song.orders.push_back(static_cast<uint8_t>(p));
    }
    song.initialSpeed = PACES[6].speed;  // as at the end of a round, so row 0 of every pattern is alike
    return song;
}

// Prints min, median, 95th percentile of the size, and max of the errors, in ms.
void report(const char* what, std::vector<double> errors, int unmatched)
{
    if (errors.empty()) {
        std::printf("%s: no events matched\n", what);
        return;
    }
    std::vector<double> sizes;
    int within5 = 0;
    for (double e : errors) {
        sizes.push_back(std::fabs(e));
        within5 += std::fabs(e) <= 5.0 ? 1 : 0;
    }
    std::sort(errors.begin(), errors.end());
    std::sort(sizes.begin(), sizes.end());
    std::printf("%s: %zu events, error (arrival - row heard) ms: min %+.2f  median %+.2f  p95 |e| %.2f  max %+.2f;"
                " within ±5 ms: %d (%.1f%%); unmatched %d\n",
                what, errors.size(), errors.front(), errors[errors.size() / 2], sizes[sizes.size() * 95 / 100],
                errors.back(), within5, 100.0 * within5 / errors.size(), unmatched);
}

// Sleeps the calling thread.
void sleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

int main(int argc, char** argv)
{
    bool silent = false;
    double minutes = 3.0;
    int busy = 0;
    const char* player = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--silent") == 0) {
            silent = true;
        } else if (std::strcmp(argv[i], "--minutes") == 0 && i + 1 < argc) {
            minutes = std::atof(argv[++i]);
        } else if (std::strcmp(argv[i], "--busy") == 0 && i + 1 < argc) {
            busy = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--player") == 0 && i + 1 < argc) {
            player = argv[++i];
        } else {
            std::fprintf(stderr, "usage: event_timing [--silent] [--minutes N] [--busy N] [--player COMMAND]\n");
            return 2;
        }
    }
    if (silent) {
        setenv("PULSE_SERVER", "unix:/nonexistent/k3l-no-sound-server", 1);
    }
    std::vector<int64_t> eventFrames;
    const itw::Module song = buildSong(minutes, eventFrames);
    const ScratchDir scratch;
    const std::string path = scratch / "timing.tga";
    if (!itw::saveIT(song, path)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }
    const double songSeconds = static_cast<double>(eventFrames.back()) / TEST_RATE + 1.0;
    std::printf("song: %zu patterns, %.1f s, %zu events\n", song.patterns.size(), songSeconds, eventFrames.size());

    std::atomic<bool> spinning{true};
    std::vector<std::thread> spinners;
    for (int i = 0; i < busy; ++i) {
        spinners.emplace_back([&spinning] {
            volatile uint64_t turns = 0;
            while (spinning.load(std::memory_order_relaxed)) {
                turns = turns + 1;
            }
        });
    }
    if (!player) {
        FSOUND_Init(TEST_RATE, 32, 0);
    }
    const bool device = player || playerOutput() == PLAYER_OUTPUT_DEVICE;
    std::printf("output: %s", device ? "audio device" : "silent");
    if (!player && device) {
        std::printf(", latency %.2f ms as opened", playerDeviceLatencyMs());
    }
    std::printf("\n");
    if (device && !startMonitorRecording()) {
        std::fprintf(stderr, "cannot record the test sink's monitor (run it through `tests/env/test-env.sh with`)\n");
        return 1;
    }
    FMUSIC_MODULE* module = player ? nullptr : FMUSIC_LoadSong(path.c_str());
    FMUSIC_SetZxxCallback(module, noteArrival);
    sleepMs(1000);
    clearArrivals();
    const int64_t start = nowNs();
    const double runSeconds = songSeconds * 1.5 + 10.0;
    if (player) {
        // The song once, with time for the device to start.
        const std::string command = std::string(player) + " " + path + " " + std::to_string(songSeconds + 5.0);
        FILE* lines = popen(command.c_str(), "r");
        char line[32];
        while (lines != nullptr && arrivals().size() < eventFrames.size() && std::fgets(line, sizeof line, lines)) {
            noteArrival(nullptr, static_cast<unsigned char>(std::strtoul(line, nullptr, 16)));
        }
        if (lines != nullptr) {
            pclose(lines);  // it plays on until its time is up
        }
    }
    FMUSIC_PlaySong(module);
    const int64_t giveUp = start + static_cast<int64_t>(runSeconds * 1e9);
    while (arrivals().size() < eventFrames.size() && nowNs() < giveUp) {
        sleepMs(50);
    }
    FMUSIC_StopSong(module);
    sleepMs(300);
    const MonitorRecording recording = device ? stopMonitorRecording() : MonitorRecording{};
    FMUSIC_FreeSong(module);
    FSOUND_Close();
    spinning.store(false);
    for (std::thread& spinner : spinners) {
        spinner.join();
    }

    const std::vector<Arrival> got = arrivals();
    int outOfOrder = 0;
    for (size_t i = 0; i < got.size(); ++i) {
        outOfOrder += got[i].parameter != static_cast<int>(i % 256) ? 1 : 0;
    }
    std::printf("arrived: %zu of %zu, out of order: %d; song played in %.1f s\n", got.size(), eventFrames.size(),
                outOfOrder, got.empty() ? 0.0 : (got.back().ns - start) / 1e9);

    std::vector<double> errors;
    int unmatched = 0;
    if (!device) {
        for (size_t i = 0; i < got.size() && i < eventFrames.size(); ++i) {
            const double nominal = eventFrames[i] * 1e9 / TEST_RATE;
            errors.push_back((got[i].ns - start - nominal) / 1e6);
        }
        report("silent output vs row time since PlaySong", errors, 0);
        return 0;
    }
    const std::vector<int64_t> onsets = findOnsets(recording, CLICK_LEVEL, QUIET_FRAMES);
    const double nsPerFrame = 1e9 / MONITOR_RATE + recording.driftNsPerFrame;
    std::printf("recording: %.1f s, %zu onsets; sink clock %+.0f ppm against the system's; first event %.0f ms after "
                "PlaySong\n",
                recording.frames.size() / static_cast<double>(MONITOR_RATE), onsets.size(),
                recording.driftNsPerFrame / (1e9 / MONITOR_RATE) * 1e6,
                got.empty() ? 0.0 : (got[0].ns - start) / 1e6);
    for (const Arrival& arrival : got) {
        const double frame = (arrival.ns - recording.originNs) / nsPerFrame;
        const auto after = std::lower_bound(onsets.begin(), onsets.end(), static_cast<int64_t>(frame));
        double best = 1e18;
        if (after != onsets.end()) {
            best = frame - static_cast<double>(*after);
        }
        if (after != onsets.begin() && std::fabs(frame - static_cast<double>(*(after - 1))) < std::fabs(best)) {
            best = frame - static_cast<double>(*(after - 1));
        }
        if (std::fabs(best) > MATCH_FRAMES) {
            ++unmatched;
            continue;
        }
        errors.push_back(best * nsPerFrame / 1e6);
    }
    report("audio device vs click heard in the monitor", errors, unmatched);
    return 0;
}
