// The live player: on its silent output (no sound server to reach), and on the test sound server's
// null sink recorded through its monitor. Events must arrive in row order, on the player's thread,
// when their rows are heard. (The show's roads out of the process are tests/show's.)
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>
#include <thread>
#include <time.h>
#include <vector>

#include "arrival_log.h"
#include "monitor_recorder.h"
#include "platform/clock.h"
#include "platform/fmod.h"
#include "platform/player_live.h"
#include "player_modules.h"
#include "support/process.h"

namespace {

constexpr int64_t ROW_NS = 50000000;      // a row at speed 3, tempo 150: 2205 frames, exactly 50 ms
constexpr int64_t BOUND_NS = 40000000;    // how far one arrival may stray from its row's time
constexpr double MEDIAN_BOUND_MS = 1.5;   // how far the middle arrival may stray: a late wake-up here and there aside
const char* const NO_SERVER = "PULSE_SERVER=unix:/nonexistent/k3l-no-sound-server";

void sleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// The middle of the errors, in milliseconds.
double medianMs(std::vector<int64_t> errorsNs)
{
    std::sort(errorsNs.begin(), errorsNs.end());
    return errorsNs.empty() ? 1e9 : static_cast<double>(errorsNs[errorsNs.size() / 2]) / 1e6;
}

// Rows of 50 ms. Row 1: Z01. Row 4: Z on all four channels. Rows 8-9 play twice (pattern
// loop) with Z08, Z09. Row 15: Z0F. The song then starts over: 18 rows, 900 ms.
std::string writeSyncSong(const std::string& dir)
{
    itw::Module song = blankModule(1, 16, 4, 3, 150);
    itw::Pattern& pattern = song.patterns[0];
    pattern.at(1, 3) = zCell(0x01);
    for (int channel = 0; channel < 4; ++channel) {
        pattern.at(4, channel) = zCell(static_cast<uint8_t>(0x40 + channel));
    }
    pattern.at(8, 0) = itw::Cell{itw::NOTE_NONE, 0, itw::VOLUME_NONE, 'S', 0xB0};
    pattern.at(8, 3) = zCell(0x08);
    pattern.at(9, 0) = itw::Cell{itw::NOTE_NONE, 0, itw::VOLUME_NONE, 'S', 0xB1};
    pattern.at(9, 3) = zCell(0x09);
    pattern.at(15, 3) = zCell(0x0F);
    const std::string path = dir + "/sync.tga";
    itw::saveIT(song, path);
    return path;
}

class SilentPlayer : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        putenv(const_cast<char*>(NO_SERVER));
        dir = new ScratchDir;
        songPath = writeSyncSong(dir->path);
        FSOUND_Init(44100, 32, 0);
    }
    static void TearDownTestSuite()
    {
        FSOUND_Close();
        delete dir;
        unsetenv("PULSE_SERVER");
    }
    void SetUp() override
    {
        ASSERT_EQ(playerOutput(), PLAYER_OUTPUT_SILENT);
        clearArrivals();
    }

    static ScratchDir* dir;
    static std::string songPath;
};
ScratchDir* SilentPlayer::dir = nullptr;
std::string SilentPlayer::songPath;

TEST_F(SilentPlayer, EventsArriveInRowOrderWhenTheirRowsPlay)
{
    FMUSIC_MODULE* song = FMUSIC_LoadSong(songPath.c_str());
    ASSERT_NE(song, nullptr);
    ASSERT_EQ(FMUSIC_SetZxxCallback(song, noteArrival), 1);
    const int64_t start = nowNs();
    ASSERT_EQ(FMUSIC_PlaySong(song), 1);
    sleepMs(1030);  // the song, and row 1 of its second time round
    ASSERT_EQ(FMUSIC_StopSong(song), 1);
    const std::vector<std::pair<int, int>> expected = {{0x01, 1}, {0x40, 4}, {0x41, 4}, {0x42, 4},
                                                       {0x43, 4}, {0x08, 8}, {0x09, 9}, {0x08, 10},
                                                       {0x09, 11}, {0x0F, 17}, {0x01, 19}};
    const std::vector<Arrival> got = arrivals();
    ASSERT_EQ(got.size(), expected.size());
    std::vector<int64_t> errors;
    for (size_t i = 0; i < got.size(); ++i) {
        errors.push_back(got[i].ns - start - expected[i].second * ROW_NS);
        EXPECT_EQ(got[i].parameter, expected[i].first) << "event " << i;
        EXPECT_LE(std::llabs(errors.back()), BOUND_NS) << "event " << i;
        EXPECT_EQ(got[i].module, song);
        EXPECT_FALSE(got[i].onCallerThread) << "handlers run on the player's thread";
    }
    EXPECT_LE(std::fabs(medianMs(errors)), MEDIAN_BOUND_MS);
    EXPECT_EQ(FMUSIC_FreeSong(song), 1);
}

TEST_F(SilentPlayer, NothingArrivesOnStopOrAfterItAndStopWaitsForARunningHandler)
{
    FMUSIC_MODULE* song = FMUSIC_LoadSong(songPath.c_str());
    ASSERT_NE(song, nullptr);
    FMUSIC_SetZxxCallback(song, noteArrival);
    EXPECT_EQ(FMUSIC_StopSong(song), 1);  // stop without play
    FMUSIC_PlaySong(song);
    sleepMs(230);  // Z01 and row 4's four have come; Z08 is due at 400 ms
    FMUSIC_StopSong(song);
    EXPECT_EQ(arrivals().size(), 5u);
    sleepMs(400);
    EXPECT_EQ(arrivals().size(), 5u);

    static std::atomic<int64_t> returnedAt{0};
    FMUSIC_SetZxxCallback(song, [](FMUSIC_MODULE* module, unsigned char parameter) {
        noteArrival(module, parameter);
        if (returnedAt.load() == 0) {
            sleepMs(150);
            returnedAt.store(nowNs());
        }
    });
    clearArrivals();
    FMUSIC_PlaySong(song);
    while (arrivals().empty()) {
        sleepMs(1);
    }
    FMUSIC_StopSong(song);
    EXPECT_GE(nowNs(), returnedAt.load());
    EXPECT_NE(returnedAt.load(), 0);
    sleepMs(300);
    EXPECT_EQ(arrivals().size(), 1u) << "row 4's events were due while Stop waited; none may follow it";
    FMUSIC_FreeSong(song);
}

TEST_F(SilentPlayer, NullFreedAndClosedHandlesDoNothingAndPlayingStartsOver)
{
    EXPECT_EQ(FMUSIC_LoadSong(nullptr), nullptr);
    EXPECT_EQ(FMUSIC_LoadSong((dir->path + "\\missing.tga").c_str()), nullptr);
    EXPECT_EQ(FMUSIC_SetZxxCallback(nullptr, noteArrival), 0);
    EXPECT_EQ(FMUSIC_PlaySong(nullptr), 0);
    EXPECT_EQ(FMUSIC_StopSong(nullptr), 0);
    EXPECT_EQ(FMUSIC_FreeSong(nullptr), 0);

    // Playing again starts over: Z01 comes 50 ms after each start.
    FMUSIC_MODULE* song = FMUSIC_LoadSong((dir->path + "\\sync.tga").c_str());
    ASSERT_NE(song, nullptr);
    FMUSIC_SetZxxCallback(song, noteArrival);
    std::vector<int64_t> starts;
    for (int time = 0; time < 2; ++time) {
        starts.push_back(nowNs());
        FMUSIC_PlaySong(song);
        sleepMs(120);
    }
    // Freeing a playing song stops it; a freed handle does nothing.
    EXPECT_EQ(FMUSIC_FreeSong(song), 1);
    EXPECT_EQ(FMUSIC_PlaySong(song), 0);
    EXPECT_EQ(FMUSIC_StopSong(song), 0);
    EXPECT_EQ(FMUSIC_FreeSong(song), 0);
    sleepMs(200);
    std::vector<Arrival> got = arrivals();
    ASSERT_EQ(got.size(), 2u);
    for (int time = 0; time < 2; ++time) {
        EXPECT_NEAR(static_cast<double>(got[time].ns - starts[time]), ROW_NS, BOUND_NS);
    }

    // Closed with a song playing: nothing plays until the sound system starts again, then from the start.
    song = FMUSIC_LoadSong(songPath.c_str());
    FMUSIC_SetZxxCallback(song, noteArrival);
    clearArrivals();
    FMUSIC_PlaySong(song);
    sleepMs(30);
    FSOUND_Close();
    FSOUND_Close();
    EXPECT_EQ(playerOutput(), PLAYER_OUTPUT_NONE);
    EXPECT_EQ(FMUSIC_PlaySong(song), 0);
    sleepMs(100);
    EXPECT_TRUE(arrivals().empty());
    EXPECT_EQ(FSOUND_Init(44100, 32, 0), 1);
    EXPECT_EQ(FSOUND_Init(44100, 32, 0), 1);
    EXPECT_EQ(playerOutput(), PLAYER_OUTPUT_SILENT);
    const int64_t third = nowNs();
    EXPECT_EQ(FMUSIC_PlaySong(song), 1);
    sleepMs(100);
    EXPECT_EQ(FMUSIC_FreeSong(song), 1);
    got = arrivals();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_NEAR(static_cast<double>(got[0].ns - third), ROW_NS, BOUND_NS);
}

// A handler may call the player: stop its song, or close and restart the sound system (the
// dispatcher it runs on then ends and another takes over the queue).
TEST_F(SilentPlayer, HandlersMayCallThePlayer)
{
    static FMUSIC_MODULE* song = nullptr;
    song = FMUSIC_LoadSong(songPath.c_str());
    ASSERT_NE(song, nullptr);
    FMUSIC_SetZxxCallback(song, [](FMUSIC_MODULE* module, unsigned char parameter) {
        noteArrival(module, parameter);
        if (parameter == 0x40) {
            FMUSIC_StopSong(module);
        }
    });
    FMUSIC_PlaySong(song);
    sleepMs(400);
    ASSERT_EQ(arrivals().size(), 2u) << "row 4's other events were queued when the handler stopped the song";

    static std::atomic<int> restarts{0};
    FMUSIC_SetZxxCallback(song, [](FMUSIC_MODULE* module, unsigned char parameter) {
        noteArrival(module, parameter);
        if (parameter == 0x01 && restarts.fetch_add(1) < 3) {
            FSOUND_Close();
            FSOUND_Init(44100, 32, 0);
            FMUSIC_PlaySong(module);
        }
    });
    clearArrivals();
    FMUSIC_PlaySong(song);
    // Three restarts at row 1 (each starts the sound system anew), then row 4.
    waitFor([] { return arrivals().size() >= 8; }, 5000);
    FMUSIC_StopSong(song);
    std::vector<int> parameters;
    for (const Arrival& arrival : arrivals()) {
        parameters.push_back(arrival.parameter);
        EXPECT_FALSE(arrival.onCallerThread);
    }
    EXPECT_EQ(parameters, (std::vector<int>{0x01, 0x01, 0x01, 0x01, 0x40, 0x41, 0x42, 0x43}));
    EXPECT_EQ(playerOutput(), PLAYER_OUTPUT_SILENT);
    FMUSIC_FreeSong(song);
}

// On the test server's null sink (the test environment's, which CTest brings up): the music really
// plays, and each event arrives when the click of its row is heard in the sink's monitor.
TEST(DevicePlayer, PlaysTheSongAndEventsArriveWhenTheirRowsAreHeard)
{
    constexpr int64_t ROW_FRAMES = 2205;    // 50 ms
    constexpr int64_t BOUND_FRAMES = 1764;  // 40 ms
    constexpr float SILENCE = 0.005f;       // a level nothing in a silent stretch reaches
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
    ScratchDir dir;
    ASSERT_TRUE(itw::saveIT(module, dir / "device.tga"));
    FMUSIC_MODULE* song = FMUSIC_LoadSong((dir / "device.tga").c_str());
    ASSERT_NE(song, nullptr);
    FMUSIC_SetZxxCallback(song, noteArrival);
    ASSERT_TRUE(startMonitorRecording());
    sleepMs(500);
    clearArrivals();
    FMUSIC_PlaySong(song);
    waitFor([] { return arrivals().size() >= 12; }, 10000);  // the whole song and its first rows again
    FMUSIC_StopSong(song);
    const int64_t stoppedNs = nowNs();
    sleepMs(300);
    const MonitorRecording recording = stopMonitorRecording();
    FMUSIC_FreeSong(song);
    FSOUND_Close();

    const std::vector<Arrival> got = arrivals();
    ASSERT_GE(got.size(), 12u);
    ASSERT_TRUE(recording.fitted);
    const std::vector<int64_t> onsets = findOnsets(recording, 0.05f, 441);
    std::vector<int64_t> eventFrames;
    std::vector<int64_t> errors;
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].parameter, static_cast<int>(i % 8) * 4) << "event " << i;
        const int64_t frame = heardFrame(recording, got[i].ns);
        const auto nearest = std::min_element(onsets.begin(), onsets.end(), [&](int64_t a, int64_t b) {
            return std::llabs(a - frame) < std::llabs(b - frame);
        });
        ASSERT_NE(nearest, onsets.end());
        EXPECT_LE(std::llabs(*nearest - frame), BOUND_FRAMES) << "event " << i;
        errors.push_back((frame - *nearest) * 1000000000 / MONITOR_RATE);
        eventFrames.push_back(frame);
    }
    EXPECT_LE(std::fabs(medianMs(errors)), 5.0) << "events arrive off the moment their rows are heard";

    // A click for each event row and no sound that no row made: silence before, through the
    // song's silent half, and after Stop.
    const int64_t stopped = heardFrame(recording, stoppedNs);
    EXPECT_EQ(std::count_if(onsets.begin(), onsets.end(),
                            [&](int64_t onset) {
                                return onset > eventFrames.front() - BOUND_FRAMES && onset < stopped + BOUND_FRAMES;
                            }),
              static_cast<long>(got.size()));
    EXPECT_LT(peakBetween(recording, 0, eventFrames.front() - BOUND_FRAMES), SILENCE);
    EXPECT_LT(peakBetween(recording, eventFrames[7] + 2 * ROW_FRAMES, eventFrames[8] - BOUND_FRAMES), SILENCE);
    EXPECT_LT(peakBetween(recording, stopped + 2 * ROW_FRAMES, static_cast<int64_t>(recording.frames.size())),
              SILENCE);
}

// The live machine's clock, which the frame timer reads: its counter and its tick count keep the
// time of the kernel's raw monotonic clock (which the live clock does not read) over a sleep.
TEST(LiveClock, CounterAndTickCountKeepTheRawClocksTime)
{
    const auto rawMs = [] { timespec t{}; clock_gettime(CLOCK_MONOTONIC_RAW, &t); return t.tv_sec * 1e3 + t.tv_nsec / 1e6; };
    LARGE_INTEGER frequency, before, after;
    ASSERT_EQ(QueryPerformanceFrequency(&frequency), 1);
    QueryPerformanceCounter(&before);
    const uint32_t ticksBefore = GetTickCount();
    const double start = rawMs();
    sleepMs(200);
    QueryPerformanceCounter(&after);
    const uint32_t ticksAfter = GetTickCount();
    const double elapsedMs = rawMs() - start;
    EXPECT_NEAR(static_cast<double>(after.QuadPart - before.QuadPart) * 1000.0 / frequency.QuadPart, elapsedMs, 5.0);
    EXPECT_NEAR(static_cast<double>(ticksAfter - ticksBefore), elapsedMs, 5.0);
}

}  // namespace
