// The live player on a real sound server: it plays into the test server's null
// sink while the sink's monitor is recorded. The music must really play, and each
// event must arrive about when its row is heard: every event row has a click,
// found in the recording as a sharp onset.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "arrival_log.h"
#include "monitor_recorder.h"
#include "platform/fmod.h"
#include "platform/player_live.h"
#include "player_modules.h"

namespace {

constexpr int64_t ROW_FRAMES = 2205;        // a row at speed 3, tempo 150: 50 ms
constexpr int64_t BOUND_FRAMES = 1764;      // 40 ms: how far an event may stray from its row's onset
constexpr float SOUND = 0.05f;              // a level that only a click reaches
constexpr float SILENCE = 0.005f;           // a level nothing in a silent stretch reaches
constexpr int QUIET_FRAMES = 441;           // 10 ms of quiet before an onset

// Sleeps the calling thread.
void sleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// The recorded frame heard when an event arrived.
int64_t frameAt(const MonitorRecording& recording, int64_t ns)
{
    return static_cast<int64_t>((ns - recording.originNs) / (1.0e9 / MONITOR_RATE + recording.driftNsPerFrame));
}

}  // namespace

TEST(DevicePlayer, PlaysTheSongAndEventsArriveWhenTheirRowsAreHeard)
{
    if (!testSoundServerRuns()) {
        GTEST_SKIP() << "no test sound server";
    }
    FSOUND_Init(44100, 32, 0);
    ASSERT_EQ(playerOutput(), PLAYER_OUTPUT_DEVICE);
    EXPECT_GT(playerDeviceLatencyMs(), 0.0);
    EXPECT_LT(playerDeviceLatencyMs(), 30.0);

    // 64 rows of 50 ms: a click and a Z on every fourth row up to row 28, then silence; 3.2 s, looping.
    itw::Module module = blankModule(1, 64, 2, 3, 150);
    for (int row = 0; row < 32; row += 4) {
        module.patterns[0].at(row, 0) = clickCell();
        module.patterns[0].at(row, 1) = zCell(static_cast<uint8_t>(row));
    }
    const std::string path = makeTempDir() + "/device.tga";
    ASSERT_TRUE(itw::saveIT(module, path));
    FMUSIC_MODULE* song = FMUSIC_LoadSong(path.c_str());
    ASSERT_NE(song, nullptr);
    FMUSIC_SetZxxCallback(song, noteArrival);

    ASSERT_TRUE(startMonitorRecording());
    sleepMs(500);
    clearArrivals();
    FMUSIC_PlaySong(song);
    // Long enough for the whole song and its first rows again, once the server plays.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (arrivals().size() < 12 && std::chrono::steady_clock::now() < giveUp) {
        sleepMs(10);
    }
    FMUSIC_StopSong(song);
    const int64_t stoppedNs = nowNs();
    sleepMs(300);
    const MonitorRecording recording = stopMonitorRecording();
    FMUSIC_FreeSong(song);
    FSOUND_Close();

    const std::vector<Arrival> got = arrivals();
    ASSERT_GE(got.size(), 12u);
    ASSERT_TRUE(recording.fitted);
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].parameter, static_cast<int>(i % 8) * 4) << "event " << i;
    }

    // Each event arrives within 40 ms of a click's onset: when its row is heard.
    const std::vector<int64_t> onsets = findOnsets(recording, SOUND, QUIET_FRAMES);
    std::vector<int64_t> eventFrames;
    for (const Arrival& arrival : got) {
        eventFrames.push_back(frameAt(recording, arrival.ns));
    }
    for (size_t i = 0; i < eventFrames.size(); ++i) {
        const auto nearest = std::min_element(onsets.begin(), onsets.end(), [&](int64_t a, int64_t b) {
            return std::llabs(a - eventFrames[i]) < std::llabs(b - eventFrames[i]);
        });
        ASSERT_NE(nearest, onsets.end());
        EXPECT_LE(std::llabs(*nearest - eventFrames[i]), BOUND_FRAMES)
            << "event " << i << " arrived " << (eventFrames[i] - *nearest) * 1000.0 / MONITOR_RATE
            << " ms from its row's onset";
    }

    // The music plays: a click on each event row and no sound that no row made;
    // silence through the song's silent half, and after Stop.
    const int64_t first = eventFrames.front();
    const int64_t stopped = frameAt(recording, stoppedNs);
    const auto heard = std::count_if(onsets.begin(), onsets.end(),
                                     [&](int64_t onset) { return onset > first - BOUND_FRAMES && onset < stopped + BOUND_FRAMES; });
    EXPECT_EQ(static_cast<size_t>(heard), got.size());
    EXPECT_LT(peakBetween(recording, 0, first - BOUND_FRAMES), SILENCE);
    EXPECT_LT(peakBetween(recording, eventFrames[7] + 2 * ROW_FRAMES, eventFrames[8] - BOUND_FRAMES), SILENCE);
    EXPECT_LT(peakBetween(recording, stopped + 2 * ROW_FRAMES, static_cast<int64_t>(recording.frames.size())),
              SILENCE);
}
