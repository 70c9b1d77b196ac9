#include "studio/song_take.h"

#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "offline/virtual_clock.h"

static_assert(takeFrameCount(TAKE_RATE) == VIRTUAL_COUNTS_PER_SECOND, "a take's frames are on the virtual clock");

namespace {

constexpr int RENDER_FRAMES = 512;          // frames rendered at a time, as the offline player does
constexpr int EVENTS_PER_RENDER = 1024;     // events one stretch may carry
constexpr double ROOM_SECONDS = 10.0;       // seconds of room beyond the decoder's idea of the song's length
constexpr int IT_HIGHLIGHT_OFFSET = 0x1E;   // bytes: the row highlight (rows a beat, rows a measure) of an IT header

// The rows a beat of the file: the IT header's highlight, else 4.
int rowsPerBeatOf(const std::vector<uint8_t>& bytes)
{
    const bool it = bytes.size() > IT_HIGHLIGHT_OFFSET && std::memcmp(bytes.data(), "IMPM", 4) == 0;
    return it && bytes[IT_HIGHLIGHT_OFFSET] > 0 ? bytes[IT_HIGHLIGHT_OFFSET] : 4;
}

// A decoder of the take's bytes for one pass; null when libopenmpt cannot load them.
ModuleRender* openPass(const std::vector<uint8_t>& bytes, bool mute)
{
    ModuleRender* render = new ModuleRender;
    render->mute = mute;
    if (!loadModule(*render, std::vector<uint8_t>(bytes), TAKE_RATE, false)) {
        delete render;
        return nullptr;
    }
    return render;
}

// The sync pass: goes through the song stretch after stretch, noting its events, its rows and its
// end, until the end, a stop, or the room runs out.
void syncTake(SongTake* take, ModuleRender* render)
{
    std::vector<ModuleRow> rows;
    render->rowLog = &rows;
    std::vector<float> silence(RENDER_FRAMES * MODULE_CHANNELS);
    ModuleEvent found[EVENTS_PER_RENDER];
    const int64_t room = static_cast<int64_t>(take->sound.size() / MODULE_CHANNELS);
    while (!take->stop.load() && !render->ended && render->framesRendered + RENDER_FRAMES <= room) {
        const int64_t first = render->framesRendered;
        const int count = renderModule(*render, silence.data(), RENDER_FRAMES, found, EVENTS_PER_RENDER);
        {
            std::lock_guard<std::mutex> hold(take->lock);
            for (int i = 0; i < count; ++i) {
                take->events.push_back(SongEvent{takeFrameCount(first + found[i].frame), found[i].parameter});
            }
            for (const ModuleRow& row : rows) {
                take->rows.push_back(SongRow{takeFrameCount(row.frame), row.row % take->rowsPerBeat == 0});
            }
            rows.clear();
            if (render->ended) {
                take->endFrame.store(first + RENDER_FRAMES);  // the end of the stretch it ran out in
            }
            take->synced.store(first + RENDER_FRAMES);
        }
        take->progressed.notify_all();
    }
    {
        std::lock_guard<std::mutex> hold(take->lock);
        if (!take->stop.load() && take->endFrame.load() < 0) {
            take->endFrame.store(take->synced.load());  // out of room: the take ends there
        }
        take->finished.store(true);
    }
    take->progressed.notify_all();
    unloadModule(*render);
    delete render;
}

// The sound pass: renders the song's sound and its loudness, until the end, a stop, or the room runs out.
void soundTake(SongTake* take, ModuleRender* render)
{
    ModuleEvent found[EVENTS_PER_RENDER];
    const int64_t room = static_cast<int64_t>(take->sound.size() / MODULE_CHANNELS);
    while (!take->stop.load() && !render->ended && render->framesRendered + RENDER_FRAMES <= room) {
        const int64_t first = render->framesRendered;
        renderModule(*render, take->sound.data() + first * MODULE_CHANNELS, RENDER_FRAMES, found, EVENTS_PER_RENDER);
        const int64_t done = first + RENDER_FRAMES;
        for (int64_t block = first / LOUDNESS_FRAMES; (block + 1) * LOUDNESS_FRAMES <= done; ++block) {
            double sum = 0.0;
            const float* at = take->sound.data() + block * LOUDNESS_FRAMES * MODULE_CHANNELS;
            for (int64_t i = 0; i < LOUDNESS_FRAMES * MODULE_CHANNELS; ++i) {
                sum += static_cast<double>(at[i]) * at[i];
            }
            take->loudness[static_cast<size_t>(block)] =
                static_cast<float>(std::sqrt(sum / (LOUDNESS_FRAMES * MODULE_CHANNELS)));
        }
        take->ready.store(done);
    }
    unloadModule(*render);
    delete render;
}

}  // namespace

SongTake* startSongTake(std::vector<uint8_t>&& bytes, std::string& error)
{
    ModuleRender* sync = openPass(bytes, true);
    ModuleRender* sound = sync != nullptr ? openPass(bytes, false) : nullptr;
    if (sound == nullptr) {
        if (sync != nullptr) {
            unloadModule(*sync);
            delete sync;
        }
        error = "not a module libopenmpt reads";
        return nullptr;
    }
    SongTake* take = new SongTake;
    take->rowsPerBeat = rowsPerBeatOf(bytes);
    take->bytes = std::move(bytes);
    const double length = openmpt_module_get_duration_seconds(sound->decoder);
    take->lengthCount = secondsCount(length);
    const int64_t frames =
        (static_cast<int64_t>((length + ROOM_SECONDS) * TAKE_RATE) / RENDER_FRAMES + 1) * RENDER_FRAMES;
    take->sound.assign(static_cast<size_t>(frames) * MODULE_CHANNELS, 0.0f);
    take->loudness.assign(static_cast<size_t>(frames / LOUDNESS_FRAMES + 1), 0.0f);
    take->syncPass = std::thread(syncTake, take, sync);
    take->soundPass = std::thread(soundTake, take, sound);
    return take;
}

void endSongTake(SongTake* take)
{
    if (take == nullptr) {
        return;
    }
    take->stop.store(true);
    take->syncPass.join();
    take->soundPass.join();
    delete take;
}

int64_t takeKnownCount(const SongTake& take)
{
    return takeFrameCount(take.synced.load());
}

int64_t takeSoundCount(const SongTake& take)
{
    return takeFrameCount(take.ready.load());
}

int64_t takeEndCount(const SongTake& take)
{
    const int64_t end = take.endFrame.load();
    return end < 0 ? -1 : takeFrameCount(end);
}

int64_t copyTake(SongTake& take, std::vector<SongEvent>& events, std::vector<SongRow>& rows)
{
    std::lock_guard<std::mutex> hold(take.lock);
    events.insert(events.end(), take.events.begin() + static_cast<std::ptrdiff_t>(events.size()), take.events.end());
    rows.insert(rows.end(), take.rows.begin() + static_cast<std::ptrdiff_t>(rows.size()), take.rows.end());
    return take.finished.load() ? INT64_MAX : takeFrameCount(take.synced.load());
}

void waitForTake(SongTake& take, int64_t count)
{
    std::unique_lock<std::mutex> hold(take.lock);
    take.progressed.wait(hold, [&] { return take.finished.load() || takeFrameCount(take.synced.load()) >= count; });
}

int64_t firstDifference(TakeComparison& comparison, const std::vector<SongEvent>& fresh, int64_t known, int64_t end)
{
    const std::vector<SongEvent>& previous = comparison.previous;
    const int64_t both = std::min(known, comparison.previousKnown);
    int64_t differs = INT64_MAX;
    for (size_t& i = comparison.compared; differs == INT64_MAX; ++i) {
        const bool inFresh = i < fresh.size() && fresh[i].count < both;
        const bool inPrevious = i < previous.size() && previous[i].count < both;
        if (!inFresh && !inPrevious) {
            break;
        }
        if (!inFresh || !inPrevious || fresh[i].count != previous[i].count ||
            fresh[i].parameter != previous[i].parameter) {
            differs = std::min(inFresh ? fresh[i].count : INT64_MAX, inPrevious ? previous[i].count : INT64_MAX);
        }
    }
    const int64_t previousEnd = comparison.previousEnd;
    if (previousEnd >= 0 && known > previousEnd && end != previousEnd) {
        differs = std::min(differs, end < 0 ? previousEnd : std::min(end, previousEnd));  // the song ends elsewhere
    } else if (end >= 0 && end != previousEnd && end < comparison.previousKnown) {
        differs = std::min(differs, end);
    }
    if (known >= comparison.previousKnown && comparison.previousKnown != INT64_MAX) {
        differs = std::min(differs, comparison.previousKnown);  // beyond what the last take knew
    }
    return differs;
}
