#pragma once
// When the show's next tick falls, asked of its own frame timer: for every program that moves
// the show's clock itself (the stepper on the virtual clock, the page on its pinned clock). The
// idle handler ticks at the first clock count at which the frame timer reads strictly more than
// TICK_MS; the timer's float arithmetic decides that count, so it is found by reading the timer
// with the clock pinned at candidate counts, never computed from TICK_MS.
#include <cstdint>

// What the search last found: written and read by nextTickCount alone.
struct TickSearch {
    int64_t timerStart = INT64_MIN;  // the frame timer's start the count below belongs to
    int64_t due = 0;                 // the clock count of the tick after that start
};

// The first clock count after the frame timer's start at which the idle handler ticks, or
// `limit` counts after the start when none comes before. `pin` sets the clock the timer reads
// (the caller puts its clock back after). Remembered until the timer restarts.
int64_t nextTickCount(TickSearch& search, void (*pin)(int64_t count), int64_t limit);
