#pragma once
// The show at any moment, exactly as the capture draws it: the show's own code stepped on the
// virtual clock from its start by the capture's stepper, its events from a take of the song
// (song_take.h), with snapshots of everything that carries from one moment to the next so that
// a seek replays at most SNAPSHOT_SECONDS.
//
// The snapshots are made by a recording pass through the show, which goes on in the background
// (recordReplay, in slices between the window's inputs) and on demand (a seek past what is
// recorded waits for the recording to get there, and no further). The recording and the picture
// are two runs of the one show: each keeps its state while the other has the show's variables.
// A new module replaces what it changes only: its take is held against the last one, and the
// recording goes back to the last snapshot before the first event that differs.
#include <cstdint>
#include <string>
#include <vector>

#include "studio/song_take.h"

constexpr double SNAPSHOT_SECONDS = 0.5;  // seconds of show time between two snapshots

// Where a scene starts showing, in virtual counts.
struct SceneStart {
    int64_t count;
    int32_t scene;
};

// The replay's tables, for the timeline and the status line: written by the replay, read by the front end.
struct ReplayTables {
    std::vector<SongEvent> events;    // the song's events, as far as its take has rendered
    std::vector<SongRow> rows;        // where its rows start, as far
    std::vector<SceneStart> scenes;   // the scene of every drawn frame, where it changes, as far as recorded
    std::vector<int64_t> ticks;       // the count of every tick, as far as recorded
    int64_t endCount = 0;             // where the show ends: once recorded, the song's end or the tick that
                                      // quits; before, the song's end or length as known so far
    int64_t recorded = 0;             // the count up to which the show is recorded for the song it plays
    bool complete = false;            // recorded to its end
};

// The tables: written by the replay, read by anyone.
extern ReplayTables replayTables;

// Starts the take of the module at `path` (named the show's way) and stands before the show's
// first moment, nothing recorded. Call once the show has loaded. False with `error` when the
// module cannot be loaded.
bool startReplay(const char* path, std::string& error);

// Records the show on for about `nanoseconds` (some of it at least); whether more is left to do.
bool recordReplay(int64_t nanoseconds);

// Whether the picture at `count` can be had without more recording.
bool replayReaches(int64_t count);

// How a reload of the module went.
enum class SongReload { Failed, Unchanged, Started };

// Takes the module at `path` as the song: the same bytes change nothing; other bytes start their
// take, held against the last as it renders (replayReloaded tells when the picture has it).
SongReload reloadReplaySong(const char* path, std::string& error);

// Whether the last reload's song is what the picture shows (its take has passed the position,
// or the recording has gone back and come to it again).
bool replayReloaded();

// Waits until the last reload's song is what the picture shows.
void finishReplayReload();

// The take the song's sound and timeline come from.
SongTake& replaySongTake();

// Ends the takes the sound no longer plays (all but the current one).
void releaseOldTakes();

// Reads image `index` of IMAGE_SLOTS again from its file; the picture follows with the next
// refreshReplay. False when it cannot be loaded: the previous image stays.
bool reloadReplayImage(int index);

// Replays the show to where it stands, after images were reloaded (the recording from its start
// when an image that was missing came, since its texture's filters depend on what the scenes did before).
void refreshReplay();

// Brings the show to virtual count `count` (every moment at or before it done): forward from
// where it stands, or from the last snapshot before it, recording first as far as it needs.
// Clamped to [0, endCount].
void seekReplay(int64_t count);

// The count the show stands at.
int64_t replayPosition();

// The count of the next moment after the position at which the show does something (an event
// or a tick); the show's end when none is left.
int64_t replayNextMoment();

// The count of the picture's next tick.
int64_t replayNextTick();

// Reads the picture back when the show drew a frame since the last call; whether it did.
bool updateReplayPicture();

// The picture the show stands at, as last read back: BGR, top row first, at the window's size.
const std::vector<uint8_t>& replayPicture();

// The last event at or before the position, or -1.
int replayLastEvent();

// Bytes the snapshots take.
size_t replaySnapshotBytes();
