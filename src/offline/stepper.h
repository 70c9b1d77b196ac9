#pragma once
// The one way the show is stepped on the virtual clock, for every program that runs it so (the
// capture, the studio): the model is a game engine's one frame function with interchangeable
// time sources. The program says up to which count to go; the stepper does every moment up to
// it. A moment is a count at which something can happen: a row with events starts, the frame
// timer ticks, the song ends, or the program wants to stand there (a video frame, a seek). At
// each moment, in this order:
//   1. the events due (their rows start at or before it) reach the show's sync handler;
//   2. if the show ends at this moment, nothing more happens (below);
//   3. the idle handler runs (it ticks when the frame timer says so);
//   4. the display handler draws, if a redisplay was asked for.
// The next moment is the earliest of the next tick, the next event, the show's end and the
// count asked for.
//
// The show's end, one rule for every program. The show ends at the first of:
//   - the tick at which the quit was asked for (event 27): its idle handler would run that
//     tick's changes and end the program through quitDemo, and none of it is ever drawn, so
//     the stepper stops before it;
//   - the song's end, when the song runs out before the quit;
//   - the program's own limit (the capture's --seconds and --to).
// What ending means is the program's: the capture ends through the show's own quitDemo (or
// exit at the song's end or its limit), as the live show would; the studio stands there.
#include <cstdint>

#include "offline/tick_search.h"

// Where the show's events come from: the offline player rendering the song as it goes (the
// capture), or a table of them found once (the studio). Its calls are plain functions.
struct StepEvents {
    void (*deliver)(int64_t count);                 // hands every event at or before `count` to the show's handler
    int64_t (*next)(int64_t limit);                 // the count of the next stop at or before `limit` (an event, or
                                                    // where the source needs another look), else -1
    int64_t (*songEnd)();                           // where the song ran out, or -1 while it plays on
};

// Why the show ended.
enum class ShowEnd { Running, Quit, SongEnd, Limit };

// One stepped show: written by the stepper's calls, and by a program restoring a snapshot.
struct Stepper {
    StepEvents events;
    int64_t limit = INT64_MAX;                  // the program's own end, in counts
    void (*beforeTick)(int64_t count) = nullptr;   // the program's look before each tick (snapshots)
    void (*beforeFrame)(int64_t count) = nullptr;  // the program's look before each frame drawn
    int64_t position = -1;                      // every moment at or before it done; -1 before the first
    ShowEnd end = ShowEnd::Running;             // set at the moment the show ends
    int64_t endCount = -1;                      // that moment
    TickSearch ticks;                           // the next tick, asked of the frame timer
};

// The count of the show's next tick (the frame timer is asked; the clock is left where it stands).
int64_t stepperNextTick(Stepper& stepper);

// The first moment after the position, at or before `count`; `count` itself when none comes
// sooner, or a later count when `count` is past the show's end and the end comes first.
int64_t stepperNextMoment(Stepper& stepper, int64_t count);

// Does every moment after the position up to `count` and stands at `count`, or at the
// moment the show ended; whether the show goes on.
bool advanceStepper(Stepper& stepper, int64_t count);
