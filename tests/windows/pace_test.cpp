// The live player on a device that plays but never settles (pace_device.cpp, with the
// timing of Windows' MME output): the song waits a while for the device to settle, then
// starts all the same, and its events arrive in order, about as far apart as their rows.
#include <cstdio>
#include <thread>

#include "arrival_log.h"
#include "platform/fmod.h"
#include "platform/player_live.h"
#include "player_modules.h"

namespace {
constexpr int ROWS = 32;
constexpr int EVENT_ROWS[] = {0, 8, 16, 24};
constexpr double ROW_MS = 120.0;     // speed 6, tempo 125
constexpr double SPACING_MS = 100.0;  // how far the arrivals' spacing may stray: the device's jumps, and a busy machine
constexpr double WAITED_MS = 1000.0;  // the song waits at least this long for the device to settle
constexpr int WAIT_S = 12;           // seconds to wait for every event

int failures = 0;

// Counts and reports a failed check.
void check(bool ok, const char* what)
{
    if (!ok) {
        std::printf("FAIL: %s\n", what);
        ++failures;
    }
}
}  // namespace

int main()
{
    itw::Module song = blankModule(1, ROWS, 2, 6, 125);
    for (int i = 0; i < 4; ++i) {
        song.patterns[0].at(EVENT_ROWS[i], 1) = zCell(static_cast<uint8_t>(i + 1));
    }
    const std::string path = makeTempDir() + "/pace.it";
    check(itw::saveIT(song, path), "the module is written");

    FSOUND_Init(TEST_RATE, 32, 0);
    check(playerOutput() == PLAYER_OUTPUT_DEVICE, "the player plays on the stand-in device");
    FMUSIC_MODULE* module = FMUSIC_LoadSong(path.c_str());
    check(module != nullptr, "the module loads");
    FMUSIC_SetZxxCallback(module, noteArrival);
    clearArrivals();
    const int64_t start = nowNs();
    FMUSIC_PlaySong(module);
    while (arrivals().size() < 4 && nowNs() - start < WAIT_S * 1000000000LL) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    FMUSIC_FreeSong(module);
    FSOUND_Close();

    const std::vector<Arrival> got = arrivals();
    std::printf("%zu events; first %.0f ms after PlaySong\n", got.size(), got.empty() ? 0.0 : (got[0].ns - start) / 1e6);
    check(got.size() >= 4, "every event arrives: the song started");
    check(!got.empty() && (got[0].ns - start) / 1e6 >= WAITED_MS, "the song waited for the device to settle first");
    for (size_t i = 0; i < got.size() && i < 4; ++i) {
        check(got[i].parameter == static_cast<int>(i + 1), "the events come in the song's order");
        const double spacing = (got[i].ns - got[0].ns) / 1e6;
        const double rows = (EVENT_ROWS[i] - EVENT_ROWS[0]) * ROW_MS;
        std::printf("event %zu: %+.1f ms from its row's place\n", i, spacing - rows);
        check(spacing > rows - SPACING_MS && spacing < rows + SPACING_MS, "the events are as far apart as their rows");
    }
    return failures == 0 ? 0 : 1;
}
