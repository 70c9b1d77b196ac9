// The live player on a device that plays but never settles (pace_device.cpp in place of
// PortAudio, with the timing of Windows' MME output): the song waits a while for the device to
// settle, then starts all the same, and its events arrive in order, as far apart as their rows.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "arrival_log.h"
#include "platform/fmod.h"
#include "platform/player_live.h"
#include "player_modules.h"
#include "support/process.h"

namespace {
constexpr int EVENT_ROWS[] = {0, 8, 16, 24};
constexpr double ROW_MS = 120.0;      // speed 6, tempo 125
constexpr double SPACING_MS = 100.0;  // how far the arrivals' spacing may stray: the device's jumps, and a busy machine
constexpr double WAITED_MS = 1000.0;  // the song waits at least this long for the device to settle
constexpr int64_t WAIT_NS = 12000000000;  // how long to wait for every event
}  // namespace

TEST(UnsettledDevice, StartsTheSongAfterAWaitAndKeepsTheRowsApart)
{
    ScratchDir dir;
    itw::Module song = blankModule(1, 32, 2, 6, 125);
    for (int i = 0; i < 4; ++i) {
        song.patterns[0].at(EVENT_ROWS[i], 1) = zCell(static_cast<uint8_t>(i + 1));
    }
    const std::string path = dir.path + "/pace.it";
    ASSERT_TRUE(itw::saveIT(song, path));

    FSOUND_Init(TEST_RATE, 32, 0);
    ASSERT_EQ(playerOutput(), PLAYER_OUTPUT_DEVICE);
    FMUSIC_MODULE* module = FMUSIC_LoadSong(path.c_str());
    ASSERT_NE(module, nullptr);
    FMUSIC_SetZxxCallback(module, noteArrival);
    clearArrivals();
    const int64_t start = nowNs();
    FMUSIC_PlaySong(module);
    while (arrivals().size() < 4 && nowNs() - start < WAIT_NS) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    FMUSIC_FreeSong(module);
    FSOUND_Close();

    const std::vector<Arrival> got = arrivals();
    ASSERT_EQ(got.size(), 4u) << "the song never started";
    EXPECT_GE((got[0].ns - start) / 1e6, WAITED_MS) << "the song did not wait for the device to settle";
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].parameter, static_cast<int>(i + 1));
        const double spacing = (got[i].ns - got[0].ns) / 1e6;
        EXPECT_NEAR(spacing, (EVENT_ROWS[i] - EVENT_ROWS[0]) * ROW_MS, SPACING_MS) << "event " << i;
    }
}
