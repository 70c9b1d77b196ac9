#include "studio/replay.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdlib>

#include "assets/textures.h"
#include "offline/carried.h"
#include "offline/offline_glut.h"
#include "offline/player.h"
#include "offline/stepper.h"
#include "offline/virtual_clock.h"
#include "platform/fmod.h"
#include "sync/music.h"
#include "sync/show_state.h"

ReplayTables replayTables;

namespace {

constexpr int64_t SNAPSHOT_COUNTS = static_cast<int64_t>(SNAPSHOT_SECONDS * VIRTUAL_COUNTS_PER_SECOND);  // counts
constexpr int64_t PLAY_STEP = VIRTUAL_COUNTS_PER_SECOND;  // counts the offline player is asked ahead at a time

// Everything that carries from one moment to the next, at the tick at `count`.
struct Snapshot {
    int64_t count;
    CarriedState carried;
    size_t nextEvent;
};

// Where the replay stands: written by the replay's calls alone.
struct Replay {
    Stepper stepper;                  // the show stepped on the virtual clock, its events from replayTables
    std::vector<Snapshot> snapshots;  // in count order, the first before the show's first moment
    size_t nextEvent = 0;             // the first event not yet applied
    int64_t songEnd = 0;              // where the song ran out when it was played offline
    bool drew = false;                // a frame was drawn since updateReplayPicture last looked
    std::vector<uint8_t> picture;     // the picture last read back: sized by startReplay
    bool recording = false;           // the first pass: the snapshots and tables are being made
    int64_t shownDraw = 0;            // the moment whose frame is shown: the frames before it draw into one pixel
    GLint viewport[4] = {0, 0, 0, 0}; // the picture's viewport, as the show's window has it
    bool stale = false;               // the snapshots must be made again (an image that was missing came)
};
Replay replay;

// The events heard while the song is played offline: written by recordEvent, read by recordSong.
std::vector<SongEvent>* recorded = nullptr;

// The song's frames heard while it is played offline: written by keepAudio, moved out by takeReplaySongAudio.
std::vector<float> songAudio;

// The offline player's audio sink: keeps the frames.
void keepAudio(const float* frames, int count)
{
    songAudio.insert(songAudio.end(), frames, frames + static_cast<size_t>(count) * 2);
}

// The song's handler while it is played offline: notes the event at the count it is heard.
void recordEvent(FMUSIC_MODULE*, unsigned char parameter)
{
    recorded->push_back(SongEvent{virtualCount(), parameter});
}

// Plays the song offline from its start and returns its events; `end` gets where it ran out.
std::vector<SongEvent> recordSong(int64_t& end)
{
    std::vector<SongEvent> events;
    recorded = &events;
    songAudio.clear();
    setAudioSink(keepAudio);
    FMUSIC_SetZxxCallback(song, recordEvent);
    setVirtualCount(0);
    FMUSIC_PlaySong(song);
    int64_t now = 0;
    for (;;) {
        playUntil(now);
        if (songEndCount() >= 0 || !songPlaying()) {
            break;
        }
        const int64_t stop = nextPlayerStop(now + PLAY_STEP);
        setVirtualCount(now = stop > now ? stop : now + PLAY_STEP);
    }
    end = songEndCount() >= 0 ? songEndCount() : now;
    FMUSIC_StopSong(song);
    setAudioSink(nullptr);
    FMUSIC_SetZxxCallback(song, onSyncEvent);
    recorded = nullptr;
    return events;
}

// Hands the show every event of the table at or before `count`.
void deliverEvents(int64_t count)
{
    const std::vector<SongEvent>& events = replayTables.events;
    while (replay.nextEvent < events.size() && events[replay.nextEvent].count <= count) {
        onSyncEvent(song, events[replay.nextEvent].parameter);
        ++replay.nextEvent;
    }
}

// The count of the table's next event if it comes at or before `limit`, else -1.
int64_t nextEvent(int64_t limit)
{
    const std::vector<SongEvent>& events = replayTables.events;
    return replay.nextEvent < events.size() && events[replay.nextEvent].count <= limit
               ? events[replay.nextEvent].count
               : -1;
}

// Where the song ran out when it was played offline.
int64_t songEnd()
{
    return replay.songEnd;
}

// Takes a snapshot of everything at the tick at `count`, on the first pass, every SNAPSHOT_COUNTS.
void beforeTick(int64_t count)
{
    if (!replay.recording) {
        return;
    }
    if (count >= static_cast<int64_t>(replay.snapshots.size()) * SNAPSHOT_COUNTS) {
        replay.snapshots.push_back(Snapshot{count, {}, replay.nextEvent});
        saveCarried(replay.snapshots.back().carried);
    }
    replayTables.ticks.push_back(count);
}

// A frame that will not be seen changes the show's state all the same (its random draws, its GL
// state, the overlay's phase, scene 6's hand-over) but need not fill the picture: no drawing call
// of the show reads its pixels or its viewport back. The first pass notes where scenes change.
void beforeFrame(int64_t count)
{
    if (count < replay.shownDraw) {
        glViewport(0, 0, 1, 1);
    } else {
        glViewport(replay.viewport[0], replay.viewport[1], replay.viewport[2], replay.viewport[3]);
    }
    replay.drew = true;
    if (replay.recording && (replayTables.scenes.empty() || replayTables.scenes.back().scene != show.scene)) {
        replayTables.scenes.push_back(SceneStart{count, show.scene.load()});
    }
}

// Puts everything back as the snapshot has it; the replay then stands just before its moment.
void restoreSnapshot(const Snapshot& shot)
{
    loadCarried(shot.carried);
    replay.nextEvent = shot.nextEvent;
    replay.stepper.position = shot.count - 1;
    replay.stepper.end = ShowEnd::Running;
    setVirtualCount(std::max<int64_t>(0, replay.stepper.position));
}

// Replays the whole show from its first snapshot, making the snapshots and the tables.
void recordShow()
{
    restoreSnapshot(replay.snapshots.front());
    replay.snapshots.resize(1);
    replayTables.scenes.clear();
    replayTables.ticks.clear();
    replay.recording = true;
    replay.shownDraw = INT64_MAX;
    advanceStepper(replay.stepper, replay.songEnd);
    replayTables.endCount = replay.stepper.position;
    replay.recording = false;
    replay.stale = false;
}

// Brings the show to `count` (clamped to the show): forward from where it stands, or from the
// last snapshot at or before it when it lies behind, further than a snapshot ahead, or `again`.
void moveTo(int64_t count, bool again)
{
    count = std::clamp<int64_t>(count, 0, replayTables.endCount);
    const std::vector<int64_t>& ticks = replayTables.ticks;
    const auto shown = std::upper_bound(ticks.begin(), ticks.end(), count);  // after the last tick at or before it
    replay.shownDraw = shown == ticks.begin() ? 0 : *(shown - 1);
    if (again || count < replay.stepper.position || count - replay.stepper.position > SNAPSHOT_COUNTS) {
        auto after = std::upper_bound(replay.snapshots.begin(), replay.snapshots.end(), count,
                                      [](int64_t at, const Snapshot& shot) { return at < shot.count; });
        const Snapshot& shot = *(after - 1);
        if (again || count < replay.stepper.position || shot.count - 1 > replay.stepper.position) {
            restoreSnapshot(shot);
        }
    }
    advanceStepper(replay.stepper, count);
}

}  // namespace

void startReplay()
{
    glGetIntegerv(GL_VIEWPORT, replay.viewport);
    replay.picture.assign(static_cast<size_t>(replay.viewport[2]) * replay.viewport[3] * 3, 0);
    replayTables.events = recordSong(replay.songEnd);
    replay.stepper.events = StepEvents{deliverEvents, nextEvent, songEnd};
    replay.stepper.beforeTick = beforeTick;
    replay.stepper.beforeFrame = beforeFrame;
    setVirtualCount(0);
    offlineGlut.redisplayRequested = true;  // a window is drawn once when it first shows
    replay.snapshots.push_back(Snapshot{0, {}, 0});
    saveCarried(replay.snapshots.back().carried);
    recordShow();
    seekReplay(0);
}

bool takeReplaySong(const char* path, std::string& error)
{
    FMUSIC_MODULE* fresh = FMUSIC_LoadSong(path);
    if (fresh == nullptr) {
        error = std::string("cannot load the module ") + path;
        return false;
    }
    FMUSIC_FreeSong(song);
    song = fresh;
    return true;
}

bool reloadReplaySong(const char* path, std::string& error)
{
    if (!takeReplaySong(path, error)) {
        error += "; the previous one plays on";
        return false;
    }
    const int64_t position = replay.stepper.position;
    replayTables.events = recordSong(replay.songEnd);
    recordShow();
    seekReplay(position);
    return true;
}

bool reloadReplayImage(int index)
{
    const ImageSlot& image = IMAGE_SLOTS[index];
    TextureImage fresh{};
    if (!loadTGA(&fresh, image.path)) {
        return false;
    }
    // The snapshots name the texture that was bound; the new one takes the old one's place there.
    const GLuint old = image.slot->texName;
    for (Snapshot& shot : replay.snapshots) {
        if (old != 0 && shot.carried.gl.texture == static_cast<GLint>(old)) {
            shot.carried.gl.texture = static_cast<GLint>(fresh.texName);
        }
    }
    if (old != 0) {
        glDeleteTextures(1, &old);
    }
    std::free(image.slot->pixels);
    *image.slot = fresh;
    replay.stale = replay.stale || old == 0;
    return true;
}

void refreshReplay()
{
    const int64_t position = replay.stepper.position;
    if (replay.stale) {
        recordShow();
    }
    moveTo(position, true);
}

std::vector<float> takeReplaySongAudio()
{
    return std::move(songAudio);
}

void seekReplay(int64_t count)
{
    moveTo(count, false);
}

int64_t replayPosition()
{
    return replay.stepper.position;
}

int64_t replayNextMoment()
{
    return std::min(stepperNextMoment(replay.stepper, INT64_MAX), replayTables.endCount);
}

bool updateReplayPicture()
{
    if (!replay.drew) {
        return false;
    }
    replay.drew = false;
    readFrame(replay.picture.data(), replay.viewport[2], replay.viewport[3]);
    return true;
}

const std::vector<uint8_t>& replayPicture()
{
    return replay.picture;
}

int replayLastEvent()
{
    return replay.nextEvent == 0 ? -1 : replayTables.events[replay.nextEvent - 1].parameter;
}

size_t replaySnapshotBytes()
{
    return replay.snapshots.capacity() * sizeof(Snapshot);
}
