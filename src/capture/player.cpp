// The module player of fmod.h for the capture: no audio device and no threads.
// The capture's main loop asks where the next Zxx event falls (nextPlayerStop),
// moves the virtual clock there and plays up to it (playUntil); the audio heard
// on the way goes to the sink.
#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "capture/player.h"
#include "platform/fmod.h"
#include "platform/module_render.h"
#include "capture/virtual_clock.h"

struct FMUSIC_MODULE {
    ModuleRender render;                // the decoder and where it stands
    FMUSIC_CALLBACK callback = nullptr; // the song's Zxx handler
};

namespace {

constexpr int RENDER_FRAMES = 512;      // frames rendered at a time
constexpr int AHEAD_FRAMES = 32768;     // frames the player may hold rendered but not yet heard
constexpr int EVENT_CAPACITY = 256;     // events one render may bring
constexpr int PENDING_CAPACITY = 4096;  // events rendered but not yet delivered

// A Zxx event rendered and not yet delivered.
struct PendingEvent {
    int64_t frame;      // frames since the song started, where the row starts
    uint8_t parameter;  // the effect's byte xx
};

// Where the heard music goes: written by setAudioSink, read by playUntil.
AudioSink audioSink = nullptr;
// Mixing rate in Hz: written by FSOUND_Init, read by load and play.
int mixRate = DEFAULT_MIX_RATE;
// The song playing, or null: written by Play/Stop/Free/Close, read by the loop's calls.
FMUSIC_MODULE* playing = nullptr;

// Where the playing song stands: written by PlaySong, renderAhead and playUntil.
struct Playback {
    int64_t startCount = 0;      // virtual count of the song's first frame
    int64_t heardFrames = 0;     // frames handed to the sink
    int64_t renderedFrames = 0;  // frames rendered (heard, then the lookahead)
    int64_t endFrame = -1;       // frame where the song ran out, to the read; -1 while it plays
    int pendingFirst = 0;        // index of the oldest pending event
    int pendingCount = 0;        // pending events
};
Playback playback;

// Rendered frames not yet heard, from heardFrames on: the loop's calls alone.
float ahead[AHEAD_FRAMES * MODULE_CHANNELS];
// Events waiting for their count, a ring: the loop's calls alone.
PendingEvent pending[PENDING_CAPACITY];
// The events of one render: renderAhead alone.
ModuleEvent renderEvents[EVENT_CAPACITY];

// The virtual count at which frame `frame` of the song starts.
int64_t frameCount(int64_t frame)
{
    return playback.startCount + frame * VIRTUAL_COUNTS_PER_SECOND / mixRate;
}

// Frames of the song that start before the count `count`.
int64_t framesBefore(int64_t count)
{
    const int64_t since = count - playback.startCount;
    if (since <= 0) {
        return 0;
    }
    return (since * mixRate + VIRTUAL_COUNTS_PER_SECOND - 1) / VIRTUAL_COUNTS_PER_SECOND;
}

// Renders the next stretch of the song into the lookahead and queues its events;
// false when the lookahead is full.
bool renderAhead()
{
    const int64_t held = playback.renderedFrames - playback.heardFrames;
    const int frames = static_cast<int>(std::min<int64_t>(RENDER_FRAMES, AHEAD_FRAMES - held));
    if (frames <= 0) {
        return false;
    }
    const bool endedBefore = playing->render.ended;
    const int events = renderModule(playing->render, ahead + held * MODULE_CHANNELS, frames, renderEvents,
                                    EVENT_CAPACITY);
    for (int i = 0; i < events && playback.pendingCount < PENDING_CAPACITY; ++i) {
        const int slot = (playback.pendingFirst + playback.pendingCount) % PENDING_CAPACITY;
        pending[slot] = PendingEvent{playback.renderedFrames + renderEvents[i].frame, renderEvents[i].parameter};
        ++playback.pendingCount;
    }
    playback.renderedFrames += frames;
    if (!endedBefore && playing->render.ended && playback.endFrame < 0) {
        playback.endFrame = playback.renderedFrames;
    }
    return true;
}

// Hands the first `frames` frames of the lookahead to the sink and drops them.
void hear(int64_t frames)
{
    const int64_t held = playback.renderedFrames - playback.heardFrames;
    if (audioSink != nullptr) {
        audioSink(ahead, static_cast<int>(frames));
    }
    std::memmove(ahead, ahead + frames * MODULE_CHANNELS,
                 static_cast<size_t>(held - frames) * MODULE_CHANNELS * sizeof(float));
    playback.heardFrames += frames;
}

}  // namespace

void setAudioSink(AudioSink sink)
{
    audioSink = sink;
}

bool songPlaying()
{
    return playing != nullptr;
}

int64_t nextPlayerStop(int64_t limit)
{
    while (playing != nullptr) {
        if (playback.pendingCount > 0) {
            const int64_t count = frameCount(pending[playback.pendingFirst].frame);
            return count <= limit ? count : -1;
        }
        if (playback.endFrame >= 0) {
            const int64_t count = frameCount(playback.endFrame);
            return count <= limit ? count : -1;
        }
        if (frameCount(playback.renderedFrames) > limit) {
            return -1;
        }
        if (!renderAhead()) {
            return frameCount(playback.renderedFrames);
        }
    }
    return -1;
}

void playUntil(int64_t now)
{
    if (playing == nullptr) {
        return;
    }
    const int64_t target = framesBefore(now);
    while (playback.heardFrames < target) {
        if (playback.renderedFrames == playback.heardFrames) {
            renderAhead();
        }
        hear(std::min(target, playback.renderedFrames) - playback.heardFrames);
    }
    // The rows starting at `now` itself must be known too (the song's first row, at once).
    while (frameCount(playback.renderedFrames) <= now && renderAhead()) {
    }
    while (playing != nullptr && playback.pendingCount > 0 &&
           frameCount(pending[playback.pendingFirst].frame) <= now) {
        const PendingEvent event = pending[playback.pendingFirst];
        playback.pendingFirst = (playback.pendingFirst + 1) % PENDING_CAPACITY;
        --playback.pendingCount;
        if (playing->callback != nullptr) {
            playing->callback(playing, event.parameter);
        }
    }
}

int64_t songEndCount()
{
    return playing != nullptr && playback.endFrame >= 0 ? frameCount(playback.endFrame) : -1;
}

double songSeconds()
{
    if (playing == nullptr || playing->render.decoder == nullptr) {
        return 0.0;
    }
    return openmpt_module_get_duration_seconds(playing->render.decoder);
}

signed char FSOUND_Init(int mixrate, int, unsigned int)
{
    mixRate = mixRateFor(mixrate);
    return 1;
}

void FSOUND_Close()
{
    playing = nullptr;
}

FMUSIC_MODULE* FMUSIC_LoadSong(const char* name)
{
    FMUSIC_MODULE* module = new FMUSIC_MODULE;
    // No looping: the capture ends with the show, or with the song when nothing ends the show sooner.
    if (!loadModuleFile(module->render, name, mixRate, false)) {
        delete module;
        return nullptr;
    }
    return module;
}

signed char FMUSIC_SetZxxCallback(FMUSIC_MODULE* module, FMUSIC_CALLBACK callback)
{
    if (module == nullptr) {
        return 0;
    }
    module->callback = callback;
    return 1;
}

signed char FMUSIC_PlaySong(FMUSIC_MODULE* module)
{
    if (module == nullptr) {
        return 0;
    }
    if (module->render.framesRendered != 0 || module->render.ended) {
        restartModule(module->render);
    }
    playing = module;
    playback = Playback{};
    playback.startCount = virtualCount();
    return 1;
}

signed char FMUSIC_StopSong(FMUSIC_MODULE* module)
{
    if (module == nullptr) {
        return 0;
    }
    if (playing == module) {
        playing = nullptr;
    }
    return 1;
}

signed char FMUSIC_FreeSong(FMUSIC_MODULE* module)
{
    if (module == nullptr) {
        return 0;
    }
    FMUSIC_StopSong(module);
    unloadModule(module->render);
    delete module;
    return 1;
}
