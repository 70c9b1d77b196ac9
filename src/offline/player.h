#pragma once
// The capture's side of the module player of fmod.h: the song is rendered offline,
// in step with the virtual clock, and each Zxx effect reaches the song's handler
// on the main thread at the virtual count where its row starts.
#include <cstdint>

// Receives the music as it is heard: `count` interleaved stereo float frames.
typedef void (*AudioSink)(const float* frames, int count);

// Sets where the heard music goes.
void setAudioSink(AudioSink sink);

// Whether a song is playing.
bool songPlaying();

// The virtual count of the next Zxx event if it comes at or before `limit`, or the
// first count at which the player needs another look (the song's end, a full
// lookahead); -1 when nothing comes up to `limit`. Renders ahead as needed.
int64_t nextPlayerStop(int64_t limit);

// Plays the song up to `now`: hands every frame that starts before `now` to the
// sink, then calls the handler for every Zxx event whose row starts at or before `now`.
void playUntil(int64_t now);

// The virtual count where the song ran out, or -1 while it plays on.
int64_t songEndCount();

// The playing song's length in seconds, by its decoder; 0 without a song.
double songSeconds();
