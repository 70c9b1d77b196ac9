#pragma once
// Delivery of Zxx events at the moment their row is heard. The thread that
// renders the song queues each event with its due time; a small dispatcher
// thread sleeps until that time and calls the song's handler. Events carry the
// generation of the playback that rendered them: stopping or restarting a song
// advances the generation, and events of an older one are dropped unseen.
#include <cstdint>

#include "platform/fmod.h"

// A Zxx effect waiting for its row to be heard.
struct PendingEvent {
    int64_t due;               // nanoseconds on the monotonic clock
    FMUSIC_MODULE* module;     // passed to the handler as given
    FMUSIC_CALLBACK callback;  // the song's handler when the row was rendered
    uint32_t generation;       // playback generation when the row was rendered
    uint8_t parameter;         // the effect's byte xx
};

// Nanoseconds on the monotonic clock (the clock of every due time).
int64_t monotonicNs();

// Puts the calling thread under real-time scheduling, at the lowest real-time
// priority, where the system allows it (else it stays as it is): the player's
// threads then wake on time on a machine whose cores are all busy.
void useRealTimeScheduling();

// Starts the dispatcher thread with an empty queue; false if it cannot be started.
bool startDispatcher();

// Ends the dispatcher thread, dropping what is queued, and waits for it, unless
// called from inside a handler it runs (it then ends once that handler returns).
void stopDispatcher();

// Queues an event; false when the queue is full. Only one thread, the song's renderer, queues.
bool queueEvent(const PendingEvent& event);

// Tells the dispatcher that events were queued. Safe on an audio device's thread: takes no lock.
void wakeDispatcher();

// The generation events are queued with now.
uint32_t playbackGeneration();

// Moves to a new generation: every event queued so far will be dropped.
void advancePlaybackGeneration();

// Returns once no handler is running, so that none of an older generation runs
// after it. Returns at once when called from inside a handler.
void waitForHandlers();

// Events dropped because the queue was full, since the program started.
int64_t droppedQueueEvents();
