#pragma once
// What the three parts of the live audio output share (player_live.cpp tells how they work together):
//   player_lookahead.cpp  the song rendered ahead of what the output consumed, and its heard timeline
//   player_device.cpp     the audio device through PortAudio: its stream, its pace, the device thread
//   player_live.cpp       the output thread (the device watched, the silent output), start and stop
#include <semaphore.h>

#include <atomic>
#include <cstdint>

#include "shared/monotonic_clock.h"

constexpr unsigned long DEVICE_BUFFER_FRAMES = 512;  // frames per device callback, 11.6 ms at 44.1 kHz
constexpr int64_t DEVICE_LOSS_NS = 250000000;        // nanoseconds without a buffer asked for before a running device counts as lost
constexpr int64_t WATCH_NS = 20000000;               // nanoseconds between two looks of the output thread
constexpr int64_t HOLD_NS = DEVICE_LOSS_NS + 3 * WATCH_NS;  // nanoseconds without consumption after which events wait for the output

// Who consumes the playing song.
enum class Consumer { none, device, silent };

// The output's state: the consumer, under playerRenderLock; read by tools without it.
extern std::atomic<Consumer> consumer;
// Tells the output and device threads to end: written by openOutput and closeOutput, read by the threads.
extern std::atomic<bool> outputQuit;
// Posted when a device was lost and to stop: the output thread and closeOutput post, the device thread waits.
extern sem_t deviceWake;

// The lookahead and the heard timeline (player_lookahead.cpp). Callers hold playerRenderLock but
// for outputRate and framesToNs.

// Sizes the lookahead for songs mixed at `rate` Hz and empties it (openOutput, before any thread plays).
void prepareLookahead(int rate);

// Empties the lookahead for a song that starts: nothing consumed, its heard timeline not set.
void restartLookahead();

// The mixing rate in Hz.
int outputRate();

// Nanoseconds that `frames` frames last at the mixing rate (exact, and without overflow for centuries).
int64_t framesToNs(int64_t frames);

// Takes the next `frames` frames of the playing song, heard from `firstHeardNs` on: copied to
// `out` unless null, and the heard timeline set from them. A song plays.
void consumeSong(float* out, int64_t frames, int64_t firstHeardNs, int64_t now);

// Consumes, unheard, every frame of the song the heard timeline reaches before `untilNs`. A song
// plays and is timed.
void passOverUntil(int64_t untilNs, int64_t now);

// Whether the playing song's heard timeline is set (its consumption began).
bool songTimed();

// Moves the heard timeline `ns` nanoseconds later: the song waits for time the process stood still.
void delayTimeline(int64_t ns);

// The song is not consumed (it waits for its output), and its events wait with it.
void holdSongEvents();

// The device (player_device.cpp).

// Set by the output thread (under playerRenderLock) when it gave the open device up, so that its
// callback plays no more of the song; the device thread closes it and clears it.
extern std::atomic<bool> deviceLost;
// When the device last asked for a buffer, nanoseconds: written by its callback, read by the output thread.
extern std::atomic<int64_t> lastCallbackNs;
// Whether the open device has run at its pace for a while: written by its callback, read by the output thread.
extern std::atomic<bool> deviceRan;
// Set by PortAudio when the stream ends by itself (its host failed): read by the output thread.
extern std::atomic<bool> deviceFinished;
// Devices opened again after a loss or a start without one: written by the device thread and openOutput, read by tools.
extern std::atomic<int64_t> reopenCount;
// When the last device opened again took the song over, nanoseconds, 0 if none did: written by
// the device's callback and openOutput, read by tools.
extern std::atomic<int64_t> takenBackAtNs;

// Whether a device stream is open.
bool deviceOpen();

// Opens and starts the platform's preferred audio device that accepts the stream. False if none does.
bool openDevice();

// Stops and closes the device at once, dropping what it still holds.
void closeDevice();

// The device thread: closes a device given up for lost, and while none is open tries the
// platform's preferred device (started and joined by player_live.cpp).
void* runDevice(void*);
