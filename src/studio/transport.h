#pragma once
// The studio's transport: play, pause, seek and loop on the clock it runs on (the machine's, or
// a script's own), the picture following what the device plays; the keys that drive it; the
// song's layout for the keys and the status line.
#include <cstdint>
#include <string>

#include "studio/sound.h"

// What the studio does now: written by the keys, the loop and the reloads; read by the view.
struct Transport {
    bool paused = false;
    PlayRun run;                  // what plays since play last (re)started: from the position then, round the loop
    int64_t runClock = 0;         // the clock when it (re)started, in nanoseconds
    int64_t runElapsed = 0;       // counts of the run heard so far (never fewer than before)
    bool sound = false;           // a device plays the run and times it
    int64_t loopIn = -1, loopOut = -1;
    bool looping = false;
    std::string message;          // the last thing said
    int64_t scriptClock = 0;      // nanoseconds of a script's own clock
    int64_t pending = -1;         // a seek waiting for the recording to get there; -1 none
    int64_t previewed = 0;        // monotonic nanoseconds when the picture last showed how far the recording is
};
extern Transport transport;

// The clock the transport runs on, in nanoseconds: the machine's, or a script's own.
int64_t clockNow();

// Starts the studio once the show has loaded: the module asked for, the replay, the song's
// layout, the loop and the start of the command line. Exits with a message when the module
// cannot be loaded.
void startStudio();

// Loads a decoder of the module for its order starts and the row at a position.
void mapSong();

// (Re)starts play from where the show stands, round the loop when it is on (or holds, when
// paused), the sound with it.
void anchor();

// Hands the song's take to the device (the window's studio only).
void takeSound();

// Moves the sound to the song's current take once that has rendered past what plays, and lets the
// earlier takes go.
void swapSound();

// Lands a seek that waited for the recording, once it can; meanwhile shows, every so often, the
// picture where the recording stands.
void landSeek();

// Seeks and restarts the play clock there; in the window, a seek past what is recorded waits
// for the recording (landSeek) while the studio goes on.
void seekTo(int64_t count);

// Moves the show to what is heard now, round the loop.
void follow();

// Nanoseconds until the show next does something (its next moment, or the run's return to the
// loop's in point), as long as the loop may wait for input.
int64_t untilNextMoment();

// Nanoseconds the loop may give the replay's recording now (in the background), leaving the picture's
// next moment free; 0 when it has nothing to record.
int64_t recordingBudget();

// Does what a key (an X key symbol) asks for; false for Escape.
bool pressKey(unsigned long key, bool shift);

// The status line: time, order:row, scene, tick, pulse, the last event.
void statusLine(std::string& status);
