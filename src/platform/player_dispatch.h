#pragma once
// Delivery of Zxx events at the moment their row is heard. The thread that
// renders the song queues each event in the front end's ring (songEvents) with its
// song frame; a small dispatcher thread sleeps until the output hears that frame
// and calls the song's handler. Events carry the generation of the playback that
// rendered them: stopping or restarting a song advances the generation, and events
// of an older one are dropped unseen.
#include <cstdint>

#include "shared/monotonic_clock.h"  // the clock of every due time

// Puts the calling thread under real-time scheduling, at the lowest real-time
// priority, where the system allows it (else it stays as it is): the player's
// threads then wake on time on a machine whose cores are all busy.
void useRealTimeScheduling();

// Starts the dispatcher thread with an empty queue; false if it cannot be started.
bool startDispatcher();

// Ends the dispatcher thread, dropping what is queued, and waits for it, unless
// called from inside a handler it runs (it then ends once that handler returns).
void stopDispatcher();

// Tells the dispatcher that events were queued or that their times changed. Safe on an audio
// device's thread: takes no lock.
void wakeDispatcher();

// The output's side: when song frame `frame` is heard, in monotonic nanoseconds, or -1 while the
// output does not consume the song (its events then wait).
int64_t heardNsOfFrame(int64_t frame);

// Returns once no handler is running, so that none of an older generation runs
// after it. Returns at once when called from inside a handler.
void waitForHandlers();
