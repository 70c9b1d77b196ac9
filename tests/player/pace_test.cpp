// The live player on a device that plays but never settles (pace_device.cpp in place of
// PortAudio, with the timing of Windows' MME output): the song waits a while for the device to
// settle, then starts all the same, and its events arrive in order, as far apart as their rows;
// a device that goes away hands the song to the silent output and takes it back on one timeline.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "arrival_log.h"
#include "pace_device.h"
#include "platform/fmod.h"
#include "platform/player_live.h"
#include "player_modules.h"
#include "support/process.h"

namespace {
constexpr int EVENT_ROWS[] = {0, 8, 16, 24};
constexpr double ROW_MS = 120.0;      // speed 6, tempo 125
constexpr double SPACING_MS = 100.0;  // how far the arrivals' spacing may stray: the device's jumps, and a busy machine
constexpr double WAITED_MS = 1000.0;  // the song waits at least this long for the device to settle
constexpr int WAIT_MS = 12000;  // how long to wait for every event
constexpr int JITTERY_MS = 600;           // milliseconds the settling stand-in asks for jittery pairs
constexpr double AGREEING_MS = 40.0;      // how long the player waits for agreeing buffers (its STEADY_NS)
constexpr double HEARD_AFTER_MS = 93.0;   // the latency the stand-in reports
}  // namespace

// Plays a song of four events (at EVENT_ROWS) on the stand-in as it is set, until they have all
// arrived or WAIT_MS have passed; the time it was started goes to `start`.
std::vector<Arrival> playFourEvents(int64_t& start)
{
    ScratchDir dir;
    itw::Module song = blankModule(1, 32, 2, 6, 125);
    for (int i = 0; i < 4; ++i) {
        song.patterns[0].at(EVENT_ROWS[i], 1) = zCell(static_cast<uint8_t>(i + 1));
    }
    const std::string path = dir.path + "/pace.it";
    EXPECT_TRUE(itw::saveIT(song, path));

    FSOUND_Init(TEST_RATE, 32, 0);
    EXPECT_EQ(playerOutput(), PLAYER_OUTPUT_DEVICE);
    FMUSIC_MODULE* module = FMUSIC_LoadSong(path.c_str());
    EXPECT_NE(module, nullptr);
    FMUSIC_SetZxxCallback(module, noteArrival);
    clearArrivals();
    start = nowNs();
    FMUSIC_PlaySong(module);
    waitFor([] { return arrivals().size() >= 4; }, WAIT_MS);
    FMUSIC_FreeSong(module);
    FSOUND_Close();
    return arrivals();
}

TEST(UnsettledDevice, StartsTheSongAfterAWaitAndKeepsTheRowsApart)
{
    int64_t start = 0;
    const std::vector<Arrival> got = playFourEvents(start);
    ASSERT_EQ(got.size(), 4u) << "the song never started";
    EXPECT_GE((got[0].ns - start) / 1e6, WAITED_MS) << "the song did not wait for the device to settle";
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].parameter, static_cast<int>(i + 1));
        const double spacing = (got[i].ns - got[0].ns) / 1e6;
        EXPECT_NEAR(spacing, (EVENT_ROWS[i] - EVENT_ROWS[0]) * ROW_MS, SPACING_MS) << "event " << i;
    }
}

// A device jittery for a while and then steady: the song starts only once its buffers have agreed
// for the player's span, so its first row is heard no sooner than that span and the latency after
// the first steady buffer.
TEST(UnsettledDevice, StartsTheSongOnlyOnceTheBuffersHaveAgreedForAWhile)
{
    setDeviceSettlesAfter(JITTERY_MS);
    int64_t start = 0;
    const std::vector<Arrival> got = playFourEvents(start);
    setDeviceSettlesAfter(-1);
    ASSERT_EQ(got.size(), 4u) << "the song never started";
    ASSERT_GE(firstSteadyCallNs(), 0) << "the stand-in never turned steady";
    EXPECT_GE((got[0].ns - firstSteadyCallNs()) / 1e6, AGREEING_MS + HEARD_AFTER_MS)
        << "the song started before the buffers had agreed for a while";
}

// A device that goes away while the song plays: the song goes on on the silent output, its
// events on the timeline the device was heard on; once the device can be opened again it takes
// the song back, and the timeline still holds.
namespace {
constexpr int LOSS_ROWS = 200;         // rows of the song (speed 3, tempo 150: 50 ms each, 10 s)
constexpr int LOSS_EVERY = 4;          // rows between two events
constexpr int64_t LOSS_ROW_NS = 50000000;
constexpr double TIMELINE_MS = 5.0;    // how far an event may be from its row on the timeline

// Plays a song of an event every fourth row on the steady stand-in, makes the device fail `how`
// once it has played for `playMs` (past the player's settling time), brings it back once the
// silent output has the song, and checks every event against one timeline; returns how the
// device came and went.
PlayerChanges playThroughLoss(DeviceFailure how, int playMs)
{
    ScratchDir dir;
    itw::Module song = blankModule(1, LOSS_ROWS, 2, 3, 150);
    for (int row = 0; row < LOSS_ROWS; row += LOSS_EVERY) {
        song.patterns[0].at(row, 1) = zCell(static_cast<uint8_t>(row / LOSS_EVERY));
    }
    const std::string path = dir.path + "/loss.it";
    EXPECT_TRUE(itw::saveIT(song, path));
    setDeviceSteady(true);
    unplugDevice(false);
    FSOUND_Init(TEST_RATE, 32, 0);
    EXPECT_EQ(playerOutput(), PLAYER_OUTPUT_DEVICE);
    FMUSIC_MODULE* module = FMUSIC_LoadSong(path.c_str());
    FMUSIC_SetZxxCallback(module, noteArrival);
    clearArrivals();
    FMUSIC_PlaySong(module);
    EXPECT_TRUE(waitFor([] { return !arrivals().empty(); }, 5000)) << "the song never started on the device";
    std::this_thread::sleep_for(std::chrono::milliseconds(playMs));
    const size_t beforeLoss = arrivals().size();
    unplugDevice(true);
    failDevice(how);
    EXPECT_TRUE(waitFor([] { return playerOutput() == PLAYER_OUTPUT_SILENT; }, 3000))
        << "the lost device still counts as playing";
    unplugDevice(false);
    EXPECT_TRUE(waitFor([] { return playerOutput() == PLAYER_OUTPUT_DEVICE; }, 6000)) << "the device was not taken back";
    const size_t beforeReturn = arrivals().size();
    EXPECT_TRUE(waitFor([&] { return arrivals().size() >= beforeReturn + 5; }, 3000)) << "no events after the return";
    const PlayerChanges changes = playerChanges();
    FMUSIC_FreeSong(module);
    FSOUND_Close();
    setDeviceSteady(false);

    const std::vector<Arrival> got = arrivals();
    EXPECT_GT(beforeReturn, beforeLoss) << "no events on the silent output";
    std::vector<double> offsets;
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].parameter, static_cast<int>(i % (LOSS_ROWS / LOSS_EVERY))) << "event " << i << " lost or doubled";
        offsets.push_back((got[i].ns - got[0].ns - static_cast<int64_t>(i) * LOSS_EVERY * LOSS_ROW_NS) / 1e6);
    }
    std::vector<double> sorted = offsets;  // the timeline: where the events stand, in the median
    std::sort(sorted.begin(), sorted.end());
    const double timeline = sorted.empty() ? 0.0 : sorted[sorted.size() / 2];
    for (size_t i = 0; i < offsets.size(); ++i) {
        EXPECT_NEAR(offsets[i], timeline, TIMELINE_MS) << "event " << i << " left the timeline";
    }
    return changes;
}
}  // namespace

TEST(LostDevice, ADeviceThatStopsCallingIsGivenUpAfterItsBoundAndTakenBack)
{
    const PlayerChanges changes = playThroughLoss(DeviceFailure::silent, 2500);
    EXPECT_EQ(changes.losses, 1);
    EXPECT_EQ(changes.reopens, 1);
    const double gapMs = (changes.takenOverAtNs - changes.lostAtNs) / 1e6;
    EXPECT_GT(gapMs, 250.0) << "given up before its bound";
    EXPECT_LT(gapMs, 400.0) << "given up long after its bound";
}

TEST(LostDevice, AStreamThatEndsIsGivenUpAtOnceAndTakenBack)
{
    const PlayerChanges changes = playThroughLoss(DeviceFailure::ended, 500);
    EXPECT_EQ(changes.losses, 1);
    EXPECT_EQ(changes.reopens, 1);
    EXPECT_LT((changes.takenOverAtNs - changes.lostAtNs) / 1e6, 100.0) << "the ended stream was not noticed at once";
}
