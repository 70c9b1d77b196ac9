#pragma once
// The show at any moment, exactly as the capture draws it: the show's own code run on the
// capture's virtual clock from its start (the song's Zxx events, found once by playing the
// song offline, reach the show's handler at their counts; the ticks fall where the frame
// timer says), with snapshots of everything that carries from one frame to the next so that
// a seek replays at most SNAPSHOT_SECONDS.
#include <cstdint>
#include <string>
#include <vector>

constexpr double SNAPSHOT_SECONDS = 0.5;  // seconds of show time between two snapshots

// One Zxx event of the song, at the virtual count where its row starts.
struct SongEvent {
    int64_t count;
    uint8_t parameter;
};

// Where a scene starts showing, in virtual counts.
struct SceneStart {
    int64_t count;
    int32_t scene;
};

// The replay's tables, for the timeline and the status line: written by the replay, read by the front end.
struct ReplayTables {
    std::vector<SongEvent> events;    // every event of the song, in order
    std::vector<SceneStart> scenes;   // the scene of every drawn frame, where it changes
    std::vector<int64_t> ticks;       // the count of every tick
    int64_t endCount = 0;             // where the show ends: the song's end or the tick that quits
};

// The tables: written by startReplay and reloadReplaySong, read by anyone.
extern ReplayTables replayTables;

// Plays the song offline for its events, replays the whole show once for its snapshots and
// tables, and stands before the first moment. Call once the show has loaded, its song playing.
void startReplay();

// Takes the module at `path` as the song in place of the show's own, before startReplay. False
// with `error` when it cannot be loaded: the previous song stays.
bool takeReplaySong(const char* path, std::string& error);

// Takes the module at `path` as the song (kept only when it loads) and replays the show
// again from its start, standing at the same position after. False with `error` when the
// module cannot be loaded: the previous song stays.
bool reloadReplaySong(const char* path, std::string& error);

// Reads image `index` of IMAGE_SLOTS again from its file; the picture follows with the next
// refreshReplay. False when it cannot be loaded: the previous image stays.
bool reloadReplayImage(int index);

// Replays the show to where it stands, after images were reloaded (from its start when an image
// that was missing came, since its texture's filters depend on what the scenes did before).
void refreshReplay();

// The song's frames as the capture hears them (interleaved stereo float, 44.1 kHz), from the last
// time the song was played offline (startReplay, reloadReplaySong); moved out.
std::vector<float> takeReplaySongAudio();

// Brings the show to virtual count `count` (every moment at or before it done): forward
// from where it stands, or from the last snapshot before it. Clamped to [0, endCount].
void seekReplay(int64_t count);

// The count the show stands at.
int64_t replayPosition();

// The count of the next moment after the position at which the show does something (an event
// or a tick); the show's end when none is left.
int64_t replayNextMoment();

// Reads the picture back when the show drew a frame since the last call; whether it did.
bool updateReplayPicture();

// The picture the show stands at, as last read back: BGR, top row first, at the window's size.
const std::vector<uint8_t>& replayPicture();

// The last event at or before the position, or -1.
int replayLastEvent();

// Bytes the snapshots take.
size_t replaySnapshotBytes();
