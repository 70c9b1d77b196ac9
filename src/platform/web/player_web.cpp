// The module player of fmod.h for the browser, over the shared module renderer, with no
// threads. The page's main loop (glut_web.cpp) steps it: it renders the song ahead of
// the output and queues it to Web Audio (web_library.js), and keeps each Zxx event with
// the time its row will be heard: its audio context time, turned into a performance.now()
// time through the context's output timestamp when the event is due. Without a context
// that starts, the song plays silently against performance.now() from the start click.
#include <emscripten.h>

#include <algorithm>
#include <utility>

#include "platform/fmod.h"
#include "platform/module_render.h"
#include "platform/web/web.h"

struct FMUSIC_MODULE {
    ModuleRender render;                 // the decoder and where it stands
    FMUSIC_CALLBACK callback = nullptr;  // the song's Zxx handler
};

// The page's side (web_library.js).
extern "C" {
int k3lAudioStart(int rate);
int k3lAudioRunning();
double k3lAudioTime();
double k3lAudioOutputOffset();
double k3lAudioQueue(const float* frames, int count, int rate);
void k3lAudioStop();
void k3lAudioClose();
void k3lNoteEvent(int parameter, double outputMs, double heardMs, double releasedMs);
}

namespace {

constexpr int CHUNK_FRAMES = 2048;           // frames rendered and queued at a time
constexpr double AHEAD_SECONDS = 1.5;        // seconds of song kept rendered ahead of the output
constexpr double START_LIMIT_MS = 2000.0;    // milliseconds a context may take to start before the song plays silently
constexpr double START_POLL_MS = 10.0;       // milliseconds between looks at a context that is starting
constexpr double NEVER = 1e300;              // a performance.now() time nothing reaches
constexpr int EVENT_CAPACITY = 256;          // events one chunk can hold
constexpr int PENDING_CAPACITY = 4096;       // events rendered and not yet heard
constexpr double LAG_SMOOTHING_MS = 1000.0;  // milliseconds over which the audio clock's lag is averaged

enum class Output { none, waiting, audio, silent };

// An event rendered and not yet heard: `at` is its row's audio context time (seconds)
// on the audio output, its performance.now() time (milliseconds) on the silent one.
struct PendingEvent {
    double at;
    uint8_t parameter;
};

// The sample rate asked for at FSOUND_Init: written there, read when songs load and render.
int mixRate = DEFAULT_MIX_RATE;
// The output: written by startWebPlayer, stepWebPlayer and FSOUND_Close; read by the player's calls.
Output output = Output::none;
// performance.now() of the start click: written by startWebPlayer, read while the context starts.
double startAskedMs = 0.0;
// The song playing, or null: written by PlaySong, StopSong, Close; read by the step.
FMUSIC_MODULE* playing = nullptr;
// Where the song's rendering stands: written by PlaySong and the step, read by the step.
double renderedUntil = 0.0;      // output time (as PendingEvent::at) up to which the song is queued
int64_t silentFrames = 0;        // frames rendered on the silent output
double silentStartMs = 0.0;      // performance.now() of the silent output's first frame
// The output timestamp's offset when the audio output started, and the audio clock's smoothed lag
// behind performance.now() since, with the time it was last updated: written by the step, read by audioClockLagMs.
double startOffsetMs = 0.0;
double lagMs = 0.0;
double lagUpdatedMs = -1.0;
// Rendered events, a ring: written by the step's rendering and PlaySong, read by its release.
PendingEvent pending[PENDING_CAPACITY];
int pendingFirst = 0;
int pendingCount = 0;
// Scratch for one chunk and its events: the step's alone.
float chunk[CHUNK_FRAMES * MODULE_CHANNELS];
ModuleEvent chunkEvents[EVENT_CAPACITY];

// Forgets the rendering of the song playing: it starts again from its first frame.
void resetPlayback()
{
    pendingFirst = 0;
    pendingCount = 0;
    renderedUntil = 0.0;
    silentFrames = 0;
    silentStartMs = emscripten_get_now();
}

// Keeps the events of the chunk just rendered, its first frame at output time `start`.
void keepEvents(int count, double start, double unitsPerFrame)
{
    for (int i = 0; i < count && pendingCount < PENDING_CAPACITY; ++i) {
        pending[(pendingFirst + pendingCount) % PENDING_CAPACITY] =
            PendingEvent{start + chunkEvents[i].frame * unitsPerFrame, chunkEvents[i].parameter};
        ++pendingCount;
    }
}

// Renders the song until `until` (output time) and queues it to the output.
void renderAhead(double until)
{
    while (playing != nullptr && renderedUntil < until) {
        const int events = renderModule(playing->render, chunk, CHUNK_FRAMES, chunkEvents, EVENT_CAPACITY);
        if (output == Output::audio) {
            // The queue places the chunk after the last one, or later when it ran dry.
            const double start = k3lAudioQueue(chunk, CHUNK_FRAMES, mixRate);
            keepEvents(events, start, 1.0 / mixRate);
            renderedUntil = start + static_cast<double>(CHUNK_FRAMES) / mixRate;
        } else {
            const double msPerFrame = 1000.0 / mixRate;
            keepEvents(events, silentStartMs + silentFrames * msPerFrame, msPerFrame);
            silentFrames += CHUNK_FRAMES;
            renderedUntil = silentStartMs + silentFrames * msPerFrame;
        }
    }
}

// Decides the output once the context has started, or has had its time.
void settleOutput(double nowMs)
{
    if (k3lAudioRunning()) {
        output = Output::audio;
        startOffsetMs = k3lAudioOutputOffset();
        lagMs = 0.0;
        lagUpdatedMs = nowMs;
    } else if (nowMs - startAskedMs > START_LIMIT_MS) {
        k3lAudioClose();
        output = Output::silent;
    } else {
        return;
    }
    resetPlayback();
}

}  // namespace

void startWebPlayer()
{
    startAskedMs = emscripten_get_now();
    output = k3lAudioStart(mixRate) ? Output::waiting : Output::silent;
    resetPlayback();
}

double stepWebPlayer(double nowMs)
{
    if (output == Output::waiting) {
        settleOutput(nowMs);
    }
    if (playing == nullptr || (output != Output::audio && output != Output::silent)) {
        return output == Output::waiting ? nowMs + START_POLL_MS : NEVER;
    }
    // Heard time = output time mapped to performance.now(): context seconds through the output timestamp.
    const bool audio = output == Output::audio;
    const double offsetMs = audio ? k3lAudioOutputOffset() : 0.0;
    const double scale = audio ? 1000.0 : 1.0;
    if (audio) {
        const double weight = std::min(1.0, (nowMs - lagUpdatedMs) / LAG_SMOOTHING_MS);
        lagMs += (offsetMs - startOffsetMs - lagMs) * weight;
        lagUpdatedMs = nowMs;
    }
    renderAhead(audio ? k3lAudioTime() + AHEAD_SECONDS : nowMs + AHEAD_SECONDS * 1000.0);
    while (playing != nullptr && pendingCount > 0) {
        const PendingEvent event = pending[pendingFirst];
        const double heardMs = event.at * scale + offsetMs;
        if (heardMs > nowMs) {
            return heardMs;
        }
        pendingFirst = (pendingFirst + 1) % PENDING_CAPACITY;
        --pendingCount;
        k3lNoteEvent(event.parameter, event.at * scale, heardMs, nowMs);
        if (playing->callback != nullptr) {
            playing->callback(playing, event.parameter);
        }
    }
    return NEVER;
}

double audioClockLagMs()
{
    return output == Output::audio ? lagMs : 0.0;
}

signed char FSOUND_Init(int mixrate, int, unsigned int)
{
    mixRate = mixRateFor(mixrate);
    return 1;
}

void FSOUND_Close()
{
    FMUSIC_StopSong(playing);
    k3lAudioClose();
    output = Output::none;
}

FMUSIC_MODULE* FMUSIC_LoadSong(const char* name)
{
    FMUSIC_MODULE* module = new FMUSIC_MODULE;
    if (!loadModuleFile(module->render, name, mixRate, true)) {
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
    FMUSIC_StopSong(playing);
    if (module->render.framesRendered != 0 || module->render.ended) {
        restartModule(module->render);
    }
    playing = module;
    resetPlayback();
    return 1;
}

signed char FMUSIC_StopSong(FMUSIC_MODULE* module)
{
    if (module == nullptr) {
        return 0;
    }
    if (playing == module) {
        playing = nullptr;
        pendingCount = 0;
        k3lAudioStop();
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
