#pragma once
// What an audio output gives the module player's front end (player_front.cpp): one body per
// program, linked in: the live device with its silent stand-in (player_live.cpp), the
// capture's offline renderer, the browser's Web Audio output.

// Starts the output at `rate` Hz (FSOUND_Init).
void openOutput(int rate);

// Stops the output and everything it started (FSOUND_Close); no song plays by then.
void closeOutput();

// Whether songs start over at their end on this output.
bool outputLoops();

// A song has started (playingSong set) or stopped (playingSong null) and the playback
// generation moved on. Called under playerRenderLock.
void outputSongStarted();
void outputSongStopped();

// After a stop: returns once no handler of the stopped playback runs, unless called from inside one.
void waitForOutputHandlers();
