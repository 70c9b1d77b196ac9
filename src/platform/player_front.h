#pragma once
// The module player's front end: the calls of fmod.h, written once for every program, over
// the one audio output the program links in (player_output.h). It keeps the songs loaded, the
// one playing with its playback generation, and the one ring of its rendered events; outputs
// render the playing song through it and release its events when their rows are heard.
#include <atomic>
#include <cstdint>
#include <mutex>

#include "platform/event_ring.h"
#include "platform/fmod.h"
#include "platform/module_render.h"

struct FMUSIC_MODULE {
    ModuleRender render;                             // under playerRenderLock once played; before, the loading call's
    std::atomic<FMUSIC_CALLBACK> callback{nullptr};  // written by FMUSIC_SetZxxCallback, read by the renderer
    bool atStart = true;                             // whether the decoder has not played yet: under playerRenderLock
};

// Serialises rendering with the start and stop of songs: an output holds it while it renders, the front end while it switches songs.
extern std::mutex playerRenderLock;
// The song being rendered, or null: written by the front end, read by the output, under playerRenderLock.
extern FMUSIC_MODULE* playingSong;
// The playing song's rendered events: pushed by renderPlayingSong, popped by the output that releases them.
extern EventRing songEvents;

// The mixing rate in Hz chosen by FSOUND_Init.
int playerMixRate();

// The generation events are rendered with now: advanced whenever a song starts or stops.
uint32_t playbackGeneration();

// Renders the next `frames` frames of the playing song into `out` and queues the Zxx events of
// the rows that start inside them, each placed at `firstFrame` plus its offset in the buffer.
// Caller holds playerRenderLock and a song plays. Returns the events queued; allocates nothing.
int renderPlayingSong(float* out, int frames, int64_t firstFrame);

// Calls the event's handler unless its playback was stopped or restarted since it was rendered.
void releaseEvent(const PendingEvent& event);
