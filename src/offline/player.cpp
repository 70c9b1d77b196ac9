// The capture's output for the module player's front end (player_front.cpp): no audio device
// and no threads. The capture's main loop asks where the next Zxx event falls
// (nextPlayerStop), moves the virtual clock there and plays up to it (playUntil); the audio
// heard on the way goes to the sink.
#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cstring>

#include "offline/player.h"
#include "offline/virtual_clock.h"
#include "platform/player_front.h"
#include "platform/player_output.h"

namespace {

constexpr int RENDER_FRAMES = 512;   // frames rendered at a time
constexpr int AHEAD_FRAMES = 32768;  // frames the player may hold rendered but not yet heard

// Where the heard music goes: written by setAudioSink, read by playUntil.
AudioSink audioSink = nullptr;
// Mixing rate in Hz: written by openOutput, read by play.
int mixRate = DEFAULT_MIX_RATE;

// Where the playing song stands: written by outputSongStarted, renderAhead and playUntil.
struct Playback {
    int64_t startCount = 0;      // virtual count of the song's first frame
    int64_t heardFrames = 0;     // frames handed to the sink
    int64_t renderedFrames = 0;  // frames rendered (heard, then the lookahead)
    int64_t endFrame = -1;       // frame where the song ran out, to the read; -1 while it plays
};
Playback playback;

// Rendered frames not yet heard, from heardFrames on: the loop's calls alone.
float ahead[AHEAD_FRAMES * MODULE_CHANNELS];

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
    const bool endedBefore = playingSong->render.ended;
    renderPlayingSong(ahead + held * MODULE_CHANNELS, frames, playback.renderedFrames);
    playback.renderedFrames += frames;
    if (!endedBefore && playingSong->render.ended && playback.endFrame < 0) {
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
    return playingSong != nullptr;
}

int64_t nextPlayerStop(int64_t limit)
{
    while (playingSong != nullptr) {
        if (const PendingEvent* event = peekEvent(songEvents)) {
            const int64_t count = frameCount(event->frame);
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
    if (playingSong == nullptr) {
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
    while (playingSong != nullptr) {
        const PendingEvent* next = peekEvent(songEvents);
        if (next == nullptr || frameCount(next->frame) > now) {
            break;
        }
        const PendingEvent event = *next;
        popEvent(songEvents);
        releaseEvent(event);
    }
}

int64_t songEndCount()
{
    return playingSong != nullptr && playback.endFrame >= 0 ? frameCount(playback.endFrame) : -1;
}

double songSeconds()
{
    if (playingSong == nullptr || playingSong->render.decoder == nullptr) {
        return 0.0;
    }
    return openmpt_module_get_duration_seconds(playingSong->render.decoder);
}

void openOutput(int rate)
{
    mixRate = rate;
}

void closeOutput() {}

bool outputLoops()
{
    // No looping: the capture ends with the show, or with the song when nothing ends the show sooner.
    return false;
}

void outputSongStarted()
{
    clearEvents(songEvents);
    playback = Playback{};
    playback.startCount = virtualCount();
}

void outputSongStopped()
{
    clearEvents(songEvents);
}

void waitForOutputHandlers() {}
