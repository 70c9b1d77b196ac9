#pragma once
// The studio's sound: the song as the capture hears it, from its take (song_take.h), played on
// the default audio device from the playhead (PortAudio). The device times every buffer it takes,
// and the picture follows what it hears.
#include <cstdint>

#include "studio/song_take.h"

// One stretch of play: where it starts and the loop it goes round, in virtual counts.
struct PlayRun {
    int64_t from = 0;      // the count play starts at
    int64_t loopIn = 0;    // where play goes back to on reaching loopOut
    int64_t loopOut = -1;  // no loop unless above loopIn; a run starting at or after it plays on
};

// Whether a run goes round its loop: the loop is set and the run starts before its out point.
bool runLoops(const PlayRun& run);

// The count a run has reached `elapsed` counts after its start: past the loop's out point it
// goes round the loop, if it started before that point.
int64_t runCount(const PlayRun& run, int64_t elapsed);

// Plays from the take's frames (what it has rendered) from now on. Opens the device the first
// time; false when there is none (silence then).
bool setStudioSound(const SongTake* take);

// The take the sound plays from, or null.
const SongTake* studioSoundTake();

// Plays `run` from its start on, or holds silent when `playing` is false.
void playStudioSound(const PlayRun& run, bool playing);

// The counts of the run heard by `now` (monotonic nanoseconds; negative before its first frame
// is heard), as the device's timing of its buffers says; false while there is none for this run
// (no device, silent, or its buffers not yet in step).
bool studioSoundHeard(int64_t now, int64_t& elapsed);

// Seconds between a frame handed to the device and its being heard; 0 without a device.
double studioSoundLatency();
