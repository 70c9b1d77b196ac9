#pragma once
// What the browser platform's pieces share: the page's main loop (glut_web.cpp)
// runs the module player (player_web.cpp) and sets the show's clock (clock_web.cpp).
#include <cstdint>

constexpr double NANOSECONDS_PER_MS = 1e6;  // show clock counts per millisecond

// The show's clock in nanoseconds: performance.now() less the time the page spent
// waiting for its start click, unless the main loop has pinned it.
int64_t showClockCount();

// The show's clock count at the given performance.now() time (milliseconds).
int64_t showClockCountAt(double performanceMs);

// The performance.now() time (milliseconds) of a show clock count.
double performanceMsOf(int64_t count);

// Pins the show's clock at `count` until unpinShowClock: the main loop runs each tick
// at the moment it was due, which performance.now()'s 0.1 ms steps cannot tell.
void pinShowClock(int64_t count);

// Lets the show's clock follow performance.now() again.
void unpinShowClock();

// Lets the show's clock follow the music's clock over time: `lagMs` is how far the audio
// output's clock has fallen behind performance.now() since the song started. The clock
// takes it up at most 25 % faster or slower than real time, so it never runs backwards.
void followAudioClock(double nowMs, double lagMs);

// Holds the show's clock from now on (the page waits for its start click) or lets it
// run on from where it was held.
void holdShowClock(bool hold);

// Starts the song's output (the page's start click): Web Audio when a context can
// start, else a silent output that plays the song against performance.now().
void startWebPlayer();

// Renders the song ahead of its output and calls the Zxx handler for every event whose
// row has been heard by `nowMs` (performance.now()). Returns the performance.now() time
// of the next event known, or a time far in the future.
double stepWebPlayer(double nowMs);

// How far the audio output's clock has fallen behind performance.now() since the song
// started (milliseconds, smoothed over about a second); 0 without an audio output.
double audioClockLagMs();
