#pragma once
// The virtual clock: the counter the show's frame timer reads, moved only by the
// stepper (and by the studio's replay when it goes back to a snapshot). Time stands
// still while the show loads, ticks or draws, as it would on an ideal machine.
#include <cstdint>

constexpr int64_t VIRTUAL_COUNTS_PER_SECOND = 44100000;  // counts per second: 1000 per sample at 44.1 kHz

// The counter's value now.
int64_t virtualCount();

// Moves the counter to `count` (the stepper only moves it forward, except while it
// asks the frame timer where the next tick falls, and puts it back after).
void setVirtualCount(int64_t count);

// Seconds of show time at a count.
double countSeconds(int64_t count);

// The count nearest to `seconds` of show time.
int64_t secondsCount(double seconds);
