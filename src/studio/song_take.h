#pragma once
// A take of the song: the module rendered offline from its start, as the capture's offline player
// renders it (44.1 kHz, no loop, 512 frames at a time), on two threads of its own: the sync pass,
// every channel muted, finds its Zxx events at the virtual counts where their rows start, where its
// rows start and where it ends, many times faster than the sound pass renders its sound and its
// loudness. Readers take what is ready of each while the rest renders.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/module_render.h"

constexpr int TAKE_RATE = 44100;          // Hz
constexpr int64_t LOUDNESS_FRAMES = 441;  // frames each loudness value covers: 10 ms

// One Zxx event of the song, at the virtual count where its row starts.
struct SongEvent {
    int64_t count;
    uint8_t parameter;
};

// Where a row of the song starts, in virtual counts, and whether it starts a beat.
struct SongRow {
    int64_t count;
    bool beat;
};

// One take. The worker writes; everyone else reads what `ready` says is there.
struct SongTake {
    std::vector<uint8_t> bytes;           // the module file, as read
    int rowsPerBeat = 4;                  // the file's row highlight (IT), else 4
    int64_t lengthCount = 0;              // the song's length in virtual counts, as its decoder reckons it
    std::vector<float> sound;             // interleaved stereo, sized at the start: written below `ready` only
    std::vector<float> loudness;          // RMS of each LOUDNESS_FRAMES frames, sized at the start
    std::atomic<int64_t> ready{0};        // frames of sound rendered (and their loudness blocks): the sound pass's
    std::atomic<int64_t> synced{0};       // frames the sync pass has gone through: every row starting before is known
    std::atomic<int64_t> endFrame{-1};    // the frame where the song ran out, -1 while the sync pass plays on
    std::atomic<bool> finished{false};    // the sync pass is done: the end found, stopped, or out of room
    std::atomic<bool> stop{false};        // asks both passes to stop
    std::mutex lock;                      // guards events and rows, and wakes waiters
    std::condition_variable progressed;   // signalled after every stretch of the sync pass
    std::vector<SongEvent> events;        // under lock
    std::vector<SongRow> rows;            // under lock
    std::thread syncPass;
    std::thread soundPass;
};

// The virtual count at which frame `frame` of a take starts.
constexpr int64_t takeFrameCount(int64_t frame)
{
    return frame * 1000;  // 1000 virtual counts a frame at 44.1 kHz
}

// Starts the take of the module file's bytes; null with `error` when libopenmpt cannot load them.
SongTake* startSongTake(std::vector<uint8_t>&& bytes, std::string& error);

// Stops the take's passes and frees it.
void endSongTake(SongTake* take);

// The virtual count up to which the sync pass has gone: every row starting before it is known.
int64_t takeKnownCount(const SongTake& take);

// The virtual count up to which the sound is rendered.
int64_t takeSoundCount(const SongTake& take);

// The virtual count where the song ran out, or -1 while it plays on.
int64_t takeEndCount(const SongTake& take);

// Appends the take's events and rows beyond those in `events` and `rows`; returns the virtual count
// before which they are all there (INT64_MAX once the sync pass has finished).
int64_t copyTake(SongTake& take, std::vector<SongEvent>& events, std::vector<SongRow>& rows);

// Waits until the sync pass has gone up to virtual count `count`, or finished.
void waitForTake(SongTake& take, int64_t count);

// A new take held against the last one as its sync pass goes, until they differ or agree to the end.
struct TakeComparison {
    bool running = false;               // a new take is being held against the last
    std::vector<SongEvent> previous;    // the last take's events
    int64_t previousKnown = INT64_MAX;  // the count before which they were all known (INT64_MAX: all of them)
    int64_t previousEnd = -1;           // where the last take's song ran out, -1 if not known
    size_t compared = 0;                // events found alike so far
};

// The first virtual count at which the new take's events (`fresh`, all known before `known`; its
// song's end `end`, -1 while unknown) differ from the last take's, a different end included; INT64_MAX
// while they are alike as far as both are known.
int64_t firstDifference(TakeComparison& comparison, const std::vector<SongEvent>& fresh, int64_t known, int64_t end);
