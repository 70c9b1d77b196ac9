// The live player's calls on its silent output (the test runs with no sound
// server to reach and this machine has no sound card): events arrive on the
// player's own thread, in row order, when their rows play.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "arrival_log.h"
#include "platform/fmod.h"
#include "platform/player_live.h"
#include "player_modules.h"

namespace {

constexpr int64_t ROW_NS = 50000000;  // a row at speed 3, tempo 150: 2205 frames, exactly 50 ms
constexpr int64_t BOUND_NS = 40000000;  // how far an arrival may stray from its row's time in these tests

// Sleeps the calling thread.
void sleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Rows of 50 ms. Row 1: Z01. Row 4: Z on all four channels. Rows 8-9 play twice
// (pattern loop) with Z08, Z09. Row 15: Z0F. The song then starts over: 18 rows, 900 ms.
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
        dir = makeTempDir();
        songPath = writeSyncSong(dir);
        FSOUND_Init(44100, 32, 0);
    }

    void SetUp() override
    {
        if (playerOutput() != PLAYER_OUTPUT_SILENT) {
            GTEST_SKIP() << "an audio device was opened: this machine has a sound card or server";
        }
        clearArrivals();
    }

    static std::string dir;
    static std::string songPath;
};

std::string SilentPlayer::dir;
std::string SilentPlayer::songPath;

// Expects the arrivals to be exactly `expected` (parameter, row) from `start`, each within BOUND_NS of its row's time.
void expectArrivals(const std::vector<Arrival>& got, int64_t start, const std::vector<std::pair<int, int>>& expected,
                    FMUSIC_MODULE* song)
{
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].parameter, expected[i].first) << "event " << i;
        EXPECT_NEAR(static_cast<double>(got[i].ns - start), static_cast<double>(expected[i].second * ROW_NS),
                    static_cast<double>(BOUND_NS))
            << "event " << i << " (Z" << std::hex << expected[i].first << ")";
        EXPECT_EQ(got[i].module, song);
        EXPECT_FALSE(got[i].onCallerThread) << "handlers run on the player's thread";
    }
}

}  // namespace

TEST_F(SilentPlayer, EventsArriveInRowOrderWhenTheirRowsPlay)
{
    FMUSIC_MODULE* song = FMUSIC_LoadSong(songPath.c_str());
    ASSERT_NE(song, nullptr);
    ASSERT_EQ(FMUSIC_SetZxxCallback(song, noteArrival), 1);
    const int64_t start = nowNs();
    ASSERT_EQ(FMUSIC_PlaySong(song), 1);
    sleepMs(1030);  // the song, and row 1 of its second time round
    ASSERT_EQ(FMUSIC_StopSong(song), 1);
    expectArrivals(arrivals(), start,
                   {{0x01, 1}, {0x40, 4}, {0x41, 4}, {0x42, 4}, {0x43, 4}, {0x08, 8}, {0x09, 9}, {0x08, 10},
                    {0x09, 11}, {0x0F, 17}, {0x01, 19}},
                   song);
    EXPECT_EQ(FMUSIC_FreeSong(song), 1);
}

TEST_F(SilentPlayer, NothingArrivesOnStopOrAfterIt)
{
    FMUSIC_MODULE* song = FMUSIC_LoadSong(songPath.c_str());
    ASSERT_NE(song, nullptr);
    FMUSIC_SetZxxCallback(song, noteArrival);
    FMUSIC_PlaySong(song);
    sleepMs(230);  // Z01 and row 4's four have come; Z08 is due at 400 ms
    FMUSIC_StopSong(song);
    const size_t atStop = arrivals().size();
    EXPECT_EQ(atStop, 5u);
    sleepMs(400);
    EXPECT_EQ(arrivals().size(), atStop);

    // A handler still running when Stop is called: Stop returns only after it.
    static std::atomic<int> phase{0};       // 1 while the handler runs, 2 once it returned
    static std::atomic<int64_t> returnedAt{0};
    phase.store(0);
    FMUSIC_SetZxxCallback(song, [](FMUSIC_MODULE* module, unsigned char parameter) {
        noteArrival(module, parameter);
        if (phase.load() == 0) {
            phase.store(1);
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            returnedAt.store(nowNs());
            phase.store(2);
        }
    });
    clearArrivals();
    FMUSIC_PlaySong(song);
    while (phase.load() == 0) {
        sleepMs(1);
    }
    FMUSIC_StopSong(song);
    const int64_t stopped = nowNs();
    EXPECT_EQ(phase.load(), 2);
    EXPECT_GE(stopped, returnedAt.load());
    sleepMs(300);
    EXPECT_EQ(arrivals().size(), 1u) << "row 4's events were due while Stop waited; none may follow it";
    FMUSIC_FreeSong(song);
}

TEST_F(SilentPlayer, NullAndFreedHandlesDoNothing)
{
    EXPECT_EQ(FMUSIC_LoadSong(nullptr), nullptr);
    EXPECT_EQ(FMUSIC_LoadSong((dir + "/missing.tga").c_str()), nullptr);
    ASSERT_TRUE(writeFile(dir + "/noise.tga", std::vector<uint8_t>(3000, 0xA5)));
    EXPECT_EQ(FMUSIC_LoadSong((dir + "\\noise.tga").c_str()), nullptr);
    EXPECT_EQ(FMUSIC_SetZxxCallback(nullptr, noteArrival), 0);
    EXPECT_EQ(FMUSIC_PlaySong(nullptr), 0);
    EXPECT_EQ(FMUSIC_StopSong(nullptr), 0);
    EXPECT_EQ(FMUSIC_FreeSong(nullptr), 0);

    FMUSIC_MODULE* song = FMUSIC_LoadSong((dir + "\\sync.tga").c_str());
    ASSERT_NE(song, nullptr);
    FMUSIC_SetZxxCallback(song, noteArrival);
    EXPECT_EQ(FMUSIC_FreeSong(song), 1);
    EXPECT_EQ(FMUSIC_PlaySong(song), 0);
    EXPECT_EQ(FMUSIC_StopSong(song), 0);
    EXPECT_EQ(FMUSIC_FreeSong(song), 0);
    sleepMs(100);
    EXPECT_TRUE(arrivals().empty());
}

TEST_F(SilentPlayer, CallsInAnyOrderAreSafe)
{
    FMUSIC_MODULE* song = FMUSIC_LoadSong(songPath.c_str());
    ASSERT_NE(song, nullptr);
    FMUSIC_SetZxxCallback(song, noteArrival);
    EXPECT_EQ(FMUSIC_StopSong(song), 1);  // stop without play

    // Playing again starts over: Z01 comes 50 ms after each start.
    const int64_t first = nowNs();
    FMUSIC_PlaySong(song);
    sleepMs(120);
    const int64_t second = nowNs();
    FMUSIC_PlaySong(song);
    sleepMs(120);
    FMUSIC_StopSong(song);
    const std::vector<Arrival> got = arrivals();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_NEAR(static_cast<double>(got[0].ns - first), ROW_NS, BOUND_NS);
    EXPECT_NEAR(static_cast<double>(got[1].ns - second), ROW_NS, BOUND_NS);

    // Freeing a playing song stops it.
    FMUSIC_PlaySong(song);
    sleepMs(30);
    EXPECT_EQ(FMUSIC_FreeSong(song), 1);
    clearArrivals();
    sleepMs(200);
    EXPECT_TRUE(arrivals().empty());

    // Closing with a song loaded and playing, then freeing it; no play without a sound system.
    song = FMUSIC_LoadSong(songPath.c_str());
    FMUSIC_SetZxxCallback(song, noteArrival);
    FMUSIC_PlaySong(song);
    sleepMs(30);
    FSOUND_Close();
    FSOUND_Close();
    EXPECT_EQ(playerOutput(), PLAYER_OUTPUT_NONE);
    EXPECT_EQ(FMUSIC_PlaySong(song), 0);
    sleepMs(100);
    EXPECT_TRUE(arrivals().empty());

    // Started again, the same song plays from the start.
    EXPECT_EQ(FSOUND_Init(44100, 32, 0), 1);
    EXPECT_EQ(FSOUND_Init(44100, 32, 0), 1);
    EXPECT_EQ(playerOutput(), PLAYER_OUTPUT_SILENT);
    const int64_t third = nowNs();
    EXPECT_EQ(FMUSIC_PlaySong(song), 1);
    sleepMs(100);
    EXPECT_EQ(FMUSIC_FreeSong(song), 1);
    ASSERT_EQ(arrivals().size(), 1u);
    EXPECT_NEAR(static_cast<double>(arrivals()[0].ns - third), ROW_NS, BOUND_NS);
}

// A handler may call the player: stop its song, or close and restart the sound
// system (the dispatcher it runs on then ends and another takes over the queue).
TEST_F(SilentPlayer, HandlersMayCallThePlayer)
{
    static FMUSIC_MODULE* song = nullptr;
    song = FMUSIC_LoadSong(songPath.c_str());
    ASSERT_NE(song, nullptr);
    FMUSIC_SetZxxCallback(song, [](FMUSIC_MODULE* module, unsigned char parameter) {
        noteArrival(module, parameter);
        FMUSIC_StopSong(module);
    });
    FMUSIC_PlaySong(song);
    sleepMs(400);
    ASSERT_EQ(arrivals().size(), 1u) << "row 4's events were queued when the handler stopped the song";

    static std::atomic<int> restarts{0};
    restarts.store(0);
    FMUSIC_SetZxxCallback(song, [](FMUSIC_MODULE* module, unsigned char parameter) {
        noteArrival(module, parameter);
        if (parameter == 0x01 && restarts.load() < 3) {
            restarts.fetch_add(1);
            FSOUND_Close();
            FSOUND_Init(44100, 32, 0);
            FMUSIC_PlaySong(module);
        }
    });
    clearArrivals();
    FMUSIC_PlaySong(song);
    for (int waited = 0; waited < 5000 && arrivals().size() < 8; waited += 5) {
        sleepMs(5);  // three restarts at row 1 (each starts the sound system anew), then row 4
    }
    FMUSIC_StopSong(song);
    const std::vector<Arrival> got = arrivals();
    const std::vector<int> expected = {0x01, 0x01, 0x01, 0x01, 0x40, 0x41, 0x42, 0x43};
    ASSERT_GE(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_FALSE(got[i].onCallerThread);
        if (i < expected.size()) {
            EXPECT_EQ(got[i].parameter, expected[i]) << "event " << i;
        } else {
            EXPECT_NE(got[i].parameter, 0x01) << "event " << i << ": delivered twice?";
        }
        if (i > 0) {
            EXPECT_GE(got[i].ns, got[i - 1].ns);
        }
    }
    EXPECT_EQ(playerOutput(), PLAYER_OUTPUT_SILENT);
    FMUSIC_FreeSong(song);
}
