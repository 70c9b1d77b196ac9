// The browser's output for the module player's front end (player_front.cpp), with no threads.
// The page's main loop (glut_web.cpp) steps it: it renders the song ahead of the output and
// queues it to Web Audio (web_library.js), and releases each Zxx event when its row is heard:
// the song frame's audio context time, turned into a performance.now() time through the
// context's output timestamp. Without a context that starts, the song plays silently against
// performance.now() from the start click.
//
// When the running context stops (the browser or the system suspends or interrupts it, an
// output device goes away), the song goes on silently on the timeline it was heard on, so the
// picture keeps following the music; when the context runs again, the music rejoins at the
// song's current position.
#include <emscripten.h>

#include <algorithm>

#include "platform/player_front.h"
#include "platform/player_output.h"
#include "platform/web/web.h"

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
void k3lNoteOutput(int audio);
}

namespace {

constexpr int CHUNK_FRAMES = 2048;           // frames rendered and queued at a time
constexpr double AHEAD_SECONDS = 1.5;        // seconds of song kept rendered ahead of the output
constexpr double START_LIMIT_MS = 2000.0;    // milliseconds a context may take to start before the song plays silently
constexpr double START_POLL_MS = 10.0;       // milliseconds between looks at a context that is starting
constexpr double STOPPED_POLL_MS = 50.0;     // milliseconds between looks at a context that stopped
constexpr int STOPPED_LEAD_FRAMES = 2 * CHUNK_FRAMES;  // frames a stopped output keeps rendered past now, at most
constexpr double NEVER = 1e300;              // a performance.now() time nothing reaches
constexpr double LAG_SMOOTHING_MS = 1000.0;  // milliseconds over which the audio clock's lag is averaged

// The output: waiting for the context to start, playing on it, silent from the start, or
// silent since the running context stopped (it may run again).
enum class Output { none, waiting, audio, silent, stopped };

// The sample rate: written by openOutput, read when the song renders.
int mixRate = DEFAULT_MIX_RATE;
// The output: written by startWebPlayer, stepWebPlayer and closeOutput; read by the step.
Output output = Output::none;
// performance.now() of the start click: written by startWebPlayer, read while the context starts.
double startAskedMs = 0.0;
// The song's rendering and its heard timeline: written by outputSongStarted and the step.
struct Timeline {
    int64_t renderedFrames = 0;  // frames of the song rendered (and queued, on the audio output)
    double contextOrigin = 0.0;  // context time (seconds) at which song frame 0 plays, on the audio output
    double silentOriginMs = 0.0; // performance.now() at which song frame 0 is heard, on a silent output
};
Timeline timeline;
// The output timestamp's offset when the audio output started, the audio clock's smoothed lag
// behind performance.now() since, the time it was last updated, and the last offset read:
// written by the step, read by audioClockLagMs.
double startOffsetMs = 0.0;
double lagMs = 0.0;
double lagUpdatedMs = -1.0;
double lastOffsetMs = 0.0;
// Scratch for one chunk: the step's alone.
float chunk[CHUNK_FRAMES * MODULE_CHANNELS];

// Milliseconds per frame at the mixing rate.
double msPerFrame()
{
    return 1000.0 / mixRate;
}

// When song frame `frame` is heard, performance.now() milliseconds.
double heardMsOf(int64_t frame)
{
    if (output == Output::audio) {
        return (timeline.contextOrigin + static_cast<double>(frame) / mixRate) * 1000.0 + lastOffsetMs;
    }
    return timeline.silentOriginMs + frame * msPerFrame();
}

// Renders the song up to frame `until` and queues it to the audio output when it plays.
void renderUntil(int64_t until)
{
    while (playingSong != nullptr && timeline.renderedFrames < until) {
        const int64_t first = timeline.renderedFrames;
        renderPlayingSong(chunk, CHUNK_FRAMES, first);
        if (output == Output::audio) {
            // The queue places the chunk after the last one, or later when it ran dry.
            const double start = k3lAudioQueue(chunk, CHUNK_FRAMES, mixRate);
            timeline.contextOrigin = start - static_cast<double>(first) / mixRate;
        }
        timeline.renderedFrames += CHUNK_FRAMES;
    }
}

// Starts measuring the audio clock's lag afresh, keeping the lag it had.
void followContext(double nowMs)
{
    startOffsetMs = k3lAudioOutputOffset() - lagMs;
    lastOffsetMs = k3lAudioOutputOffset();
    lagUpdatedMs = nowMs;
}

// Decides the output once the context has started, or has had its time.
void settleOutput(double nowMs)
{
    if (k3lAudioRunning()) {
        output = Output::audio;
        lagMs = 0.0;
        followContext(nowMs);
    } else if (nowMs - startAskedMs > START_LIMIT_MS) {
        k3lAudioClose();
        output = Output::silent;
    } else {
        return;
    }
    timeline = Timeline{};
    timeline.silentOriginMs = nowMs;
    clearEvents(songEvents);
    k3lNoteOutput(output == Output::audio);
}

// The running context stopped: what it was still to play is dropped, and the song goes on
// silently on the timeline it was heard on.
void contextStopped()
{
    timeline.silentOriginMs = heardMsOf(0);
    output = Output::stopped;
    k3lAudioStop();
    k3lNoteOutput(0);
}

// The context runs again: once the silent song has caught up with what was rendered for the
// context before it stopped (what is rendered is no further ahead than the stopped output
// renders), the music rejoins there.
void contextRunning(double nowMs)
{
    if (heardMsOf(timeline.renderedFrames) > nowMs + STOPPED_LEAD_FRAMES * msPerFrame()) {
        return;
    }
    output = Output::audio;
    followContext(nowMs);
    // The next chunk is queued as soon as it can play, and the timeline follows where it goes.
    timeline.contextOrigin = k3lAudioTime() - static_cast<double>(timeline.renderedFrames) / mixRate;
    k3lNoteOutput(1);
}

// Calls the handler for every event whose row has been heard by `nowMs`; returns when the next
// one known is heard, or NEVER.
double releaseHeard(double nowMs)
{
    while (playingSong != nullptr) {
        const PendingEvent* next = peekEvent(songEvents);
        if (next == nullptr) {
            break;
        }
        const double heardMs = heardMsOf(next->frame);
        if (heardMs > nowMs) {
            return heardMs;
        }
        const PendingEvent event = *next;
        popEvent(songEvents);
        const double outputMs = output == Output::audio ? heardMs - lastOffsetMs : heardMs;
        k3lNoteEvent(event.parameter, outputMs, heardMs, nowMs);
        releaseEvent(event);
    }
    return NEVER;
}

}  // namespace

void startWebPlayer()
{
    startAskedMs = emscripten_get_now();
    output = k3lAudioStart(mixRate) ? Output::waiting : Output::silent;
    timeline = Timeline{};
    timeline.silentOriginMs = startAskedMs;
}

double stepWebPlayer(double nowMs)
{
    if (output == Output::waiting) {
        settleOutput(nowMs);
    } else if (output == Output::audio && !k3lAudioRunning()) {
        contextStopped();
    }
    if (output == Output::stopped && k3lAudioRunning()) {
        releaseHeard(nowMs);  // on the silent timeline, before the audio one takes over
        contextRunning(nowMs);
    }
    if (playingSong == nullptr || output == Output::none || output == Output::waiting) {
        return output == Output::waiting ? nowMs + START_POLL_MS : NEVER;
    }
    if (output == Output::audio) {
        lastOffsetMs = k3lAudioOutputOffset();
        const double weight = std::min(1.0, (nowMs - lagUpdatedMs) / LAG_SMOOTHING_MS);
        lagMs += (lastOffsetMs - startOffsetMs - lagMs) * weight;
        lagUpdatedMs = nowMs;
        renderUntil(static_cast<int64_t>((k3lAudioTime() + AHEAD_SECONDS - timeline.contextOrigin) * mixRate));
    } else if (output == Output::silent) {
        renderUntil(static_cast<int64_t>((nowMs + AHEAD_SECONDS * 1000.0 - timeline.silentOriginMs) / msPerFrame()));
    } else {
        // Stopped: one chunk past now, so less than STOPPED_LEAD_FRAMES: the music can rejoin where the song stands.
        renderUntil(static_cast<int64_t>((nowMs - timeline.silentOriginMs) / msPerFrame()) + CHUNK_FRAMES);
    }
    const double next = releaseHeard(nowMs);
    return output == Output::stopped ? std::min(next, nowMs + STOPPED_POLL_MS) : next;
}

double audioClockLagMs()
{
    return output == Output::audio || output == Output::stopped ? lagMs : 0.0;
}

void openOutput(int rate)
{
    mixRate = rate;
}

void closeOutput()
{
    k3lAudioClose();
    output = Output::none;
}

bool outputLoops()
{
    return true;
}

void outputSongStarted()
{
    clearEvents(songEvents);
    timeline = Timeline{};
    timeline.silentOriginMs = emscripten_get_now();
}

void outputSongStopped()
{
    clearEvents(songEvents);
    k3lAudioStop();
}

void waitForOutputHandlers() {}
