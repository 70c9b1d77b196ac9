#include "studio/transport.h"

#include <X11/keysym.h>
#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "offline/virtual_clock.h"
#include "platform/module_render.h"
#include "shared/monotonic_clock.h"
#include "studio/edits.h"
#include "studio/options.h"
#include "studio/render.h"
#include "studio/replay.h"
#include "studio/view.h"
#include "sync/show_state.h"

Transport transport;

namespace {

constexpr int64_t SECOND = VIRTUAL_COUNTS_PER_SECOND;     // counts
constexpr int64_t PLAYING_WAIT_NS = 20000000;              // nanoseconds the loop waits for input at most while playing
constexpr int64_t PAUSED_WAIT_NS = 50000000;               // the same while paused
constexpr int64_t TIMING_WAIT_NS = 250000000;              // nanoseconds play waits for the device to time its sound
constexpr int64_t RECORD_SLICE_NS = 8000000;               // nanoseconds the replay records at most between two looks at the window
constexpr int64_t STILL_SLICE_NS = 30000000;               // the same while the picture stands still (paused, or a seek waiting)
constexpr int64_t MOMENT_MARGIN_NS = 2000000;              // nanoseconds the recording leaves free before the picture's next moment
constexpr int64_t PREVIEW_NS = 250000000;                  // nanoseconds between two looks at where the recording stands
constexpr int64_t SOUND_LEAD = 2 * SECOND;                 // counts a new take must have rendered past what plays

// A decoder of the module for positions: written by mapSong, read by statusLine.
openmpt_module* songMap = nullptr;

// The counts of the run heard now: on the device's own timing of its sound (until it has one,
// for a quarter of a second at most, held at the run's start); without it, on the clock less
// the device's latency.
int64_t heardElapsed()
{
    const int64_t now = clockNow();
    int64_t elapsed = 0;
    if (transport.sound) {
        if (studioSoundHeard(now, elapsed)) {
            return elapsed;
        }
        if (now - transport.runClock < TIMING_WAIT_NS) {
            return 0;
        }
    }
    const double latency = transport.sound ? studioSoundLatency() : 0.0;
    return static_cast<int64_t>(
        (static_cast<double>(now - transport.runClock) / k3l::NANOSECONDS_PER_SECOND - latency) * SECOND);
}

// The first entry of a sorted list after (or, backwards, before) `count`.
int64_t neighbour(const std::vector<int64_t>& counts, int64_t count, bool forward)
{
    if (forward) {
        const auto after = std::upper_bound(counts.begin(), counts.end(), count);
        return after == counts.end() ? replayTables.endCount : *after;
    }
    const auto before = std::lower_bound(counts.begin(), counts.end(), count);
    return before == counts.begin() ? 0 : *(before - 1);
}

}  // namespace

int64_t clockNow()
{
    return studioOptions.script.empty() ? k3l::monotonicNanoseconds() : transport.scriptClock;
}

void startStudio()
{
    std::string error;
    if (!startReplay(studioOptions.module.c_str(), error)) {
        say(error);
        std::exit(1);
    }
    mapSong();
    transport.loopIn = studioOptions.loopIn;
    transport.loopOut = studioOptions.loopOut;
    transport.looping = transport.loopOut > transport.loopIn;
    seekTo(transport.looping ? transport.loopIn : studioOptions.start);
}

void mapSong()
{
    ModuleRender render;
    if (!loadModuleFile(render, studioOptions.module.c_str(), DEFAULT_MIX_RATE, false)) {
        return;
    }
    if (songMap != nullptr) {
        openmpt_module_destroy(songMap);
    }
    songMap = render.decoder;
    render.decoder = nullptr;
    viewState.orderStarts.clear();
    const int orders = openmpt_module_get_num_orders(songMap);
    for (int order = 0; order < orders; ++order) {
        const double at = openmpt_module_set_position_order_row(songMap, order, 0);
        if (openmpt_module_get_current_order(songMap) == order) {
            viewState.orderStarts.push_back(secondsCount(at));
        }
    }
    std::sort(viewState.orderStarts.begin(), viewState.orderStarts.end());
}

void anchor()
{
    transport.run = PlayRun{replayPosition(), std::max<int64_t>(0, transport.loopIn),
                            transport.looping ? transport.loopOut : -1};
    transport.runClock = clockNow();
    transport.runElapsed = 0;
    if (transport.sound) {
        playStudioSound(transport.run, !transport.paused);
    }
}

void takeSound()
{
    if (studioOptions.script.empty()) {
        transport.sound = setStudioSound(&replaySongTake());
        if (!transport.sound) {
            transport.message = "no audio device: the studio plays silent";
        }
    }
}

void swapSound()
{
    SongTake& take = replaySongTake();
    if (transport.sound && studioSoundTake() != &take) {
        const bool rendered = takeEndCount(take) >= 0 && takeSoundCount(take) >= takeEndCount(take);
        if (!rendered && takeSoundCount(take) < replayPosition() + SOUND_LEAD) {
            return;  // the last take plays on meanwhile: the two are alike up to where the songs differ
        }
        setStudioSound(&take);
    }
    releaseOldTakes();
}

void seekTo(int64_t count)
{
    transport.pending = -1;
    if (studioOptions.script.empty() && !replayReaches(count)) {
        transport.pending = count;
        transport.previewed = 0;
    } else {
        seekReplay(count);
    }
    anchor();
}

void landSeek()
{
    if (transport.pending < 0) {
        return;
    }
    if (replayReaches(transport.pending)) {
        seekTo(transport.pending);
        return;
    }
    const int64_t now = k3l::monotonicNanoseconds();
    if (now - transport.previewed >= PREVIEW_NS) {
        seekReplay(replayTables.recorded);
        transport.previewed = now;
    }
}

void follow()
{
    if (transport.paused || transport.pending >= 0) {
        return;
    }
    transport.runElapsed = std::max(transport.runElapsed, heardElapsed());
    seekReplay(runCount(transport.run, transport.runElapsed));
}

int64_t untilNextMoment()
{
    if (transport.paused || transport.pending >= 0) {
        return PAUSED_WAIT_NS;
    }
    const int64_t at = replayPosition();
    int64_t next = replayNextMoment();
    if (runLoops(transport.run)) {
        next = std::min(next, transport.run.loopOut);
    }
    if (next <= at) {
        return PLAYING_WAIT_NS;  // the show's end: nothing more is due
    }
    return std::min(PLAYING_WAIT_NS, static_cast<int64_t>(countSeconds(next - at) * k3l::NANOSECONDS_PER_SECOND));
}

int64_t recordingBudget()
{
    if (replayTables.complete && replayReloaded() && transport.pending < 0) {
        return 0;
    }
    if (transport.paused || transport.pending >= 0) {
        return STILL_SLICE_NS;
    }
    return std::clamp<int64_t>(untilNextMoment() - MOMENT_MARGIN_NS, 0, RECORD_SLICE_NS);
}

bool pressKey(unsigned long key, bool shift)
{
    const int64_t at = replayPosition();
    switch (key) {
    case XK_Escape:
        return false;
    case XK_space:
        transport.paused = !transport.paused;
        anchor();
        break;
    case XK_Left:
    case XK_Right:
        seekTo(at + (key == XK_Right ? 1 : -1) * (shift ? 10 : 1) * SECOND);
        break;
    case XK_Prior:
    case XK_Next: {
        std::vector<int64_t> eventCounts;
        for (const SongEvent& event : replayTables.events) {
            eventCounts.push_back(event.count);
        }
        seekTo(neighbour(eventCounts, at, key == XK_Next));
        break;
    }
    case XK_bracketleft:
    case XK_bracketright:
        seekTo(neighbour(viewState.orderStarts, at, key == XK_bracketright));
        break;
    case XK_Home:
        seekTo(0);
        break;
    case XK_comma:
    case XK_period:
        if (transport.paused) {
            seekTo(key == XK_period ? replayNextTick() : neighbour(replayTables.ticks, at, false));
        }
        break;
    case XK_i:
    case XK_o:
        (key == XK_i ? transport.loopIn : transport.loopOut) = at;
        if (transport.looping) {
            anchor();  // the run goes round the new loop
        }
        break;
    case XK_l:
        transport.looping = !transport.looping && transport.loopOut > std::max<int64_t>(0, transport.loopIn);
        if (transport.looping && (at < transport.loopIn || at >= transport.loopOut)) {
            seekReplay(std::max<int64_t>(0, transport.loopIn));
        }
        anchor();
        break;
    case XK_r:
        reloadAll();
        break;
    case XK_c:
        renderRange();
        break;
    case XK_plus:
    case XK_equal:
    case XK_KP_Add:
        zoomView(ZOOM_STEP, at);
        break;
    case XK_minus:
    case XK_KP_Subtract:
        zoomView(1.0 / ZOOM_STEP, at);
        break;
    case XK_question:
    case XK_slash:
        viewState.keys = !viewState.keys;
        break;
    default:
        break;
    }
    return true;
}

void statusLine(std::string& status)
{
    const int64_t at = replayPosition();
    char line[200];
    int order = -1, row = -1;
    if (songMap != nullptr) {
        openmpt_module_set_position_seconds(songMap, countSeconds(at));
        order = openmpt_module_get_current_order(songMap);
        row = openmpt_module_get_current_row(songMap);
    }
    std::snprintf(line, sizeof line, "%s %7.3f s  %02d:%02d  scene %d  tick %d  pulse %.2f  event %d%s",
                  transport.paused ? "||" : ">", countSeconds(at), order, row, show.scene.load(), show.tick.load(),
                  show.pulse.load(), replayLastEvent(), transport.looping ? "  loop" : "");
    status.assign(line);
    if (transport.pending >= 0) {
        std::snprintf(line, sizeof line, "  replaying to %.1f s", countSeconds(transport.pending));
        status.append(line);
    }
}
