#include "studio/replay.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdlib>

#include "assets/textures.h"
#include "offline/carried.h"
#include "offline/offline_glut.h"
#include "offline/stepper.h"
#include "offline/virtual_clock.h"
#include "shared/monotonic_clock.h"
#include "sync/music.h"
#include "sync/show_state.h"

ReplayTables replayTables;

namespace {

constexpr int64_t SNAPSHOT_COUNTS = static_cast<int64_t>(SNAPSHOT_SECONDS * VIRTUAL_COUNTS_PER_SECOND);  // counts
constexpr int64_t RECORD_STEP = VIRTUAL_COUNTS_PER_SECOND / 20;  // counts the recording goes between two looks at the clock

// Everything that carries from one moment to the next, at the tick at `count` (its events delivered).
struct Snapshot {
    int64_t count;
    CarriedState carried;
    size_t nextEvent;
};

// One run of the show: its stepper, its place in the events table, and its state while the other
// run has the show's variables.
struct Run {
    Stepper stepper;
    size_t nextEvent = 0;
    CarriedState carried;
};

// Where the replay stands: written by the replay's calls alone.
struct Replay {
    Run recording;                    // goes through the show once, making the snapshots and tables
    Run picture;                      // the picture's, at the position
    Run* active = nullptr;            // the run whose state the show's variables hold
    std::vector<Snapshot> snapshots;  // in count order, the first before the show's first moment
    SongTake* take = nullptr;         // the song's take
    std::vector<SongTake*> oldTakes;  // earlier takes, until the sound lets them go
    TakeComparison comparison;        // the last reload's
    int64_t known = 0;                // the count before which the table has every event of the take (pullTake)
    int64_t pictureAgain = -1;        // a position the picture must be brought to again once recorded; -1 none
    bool drew = false;                // the picture's run drew a frame since updateReplayPicture last looked
    std::vector<uint8_t> pixels;      // the picture last read back: sized by startReplay
    int64_t shownDraw = 0;            // the picture's moment whose frame is shown: its frames before draw into one pixel
    GLint viewport[4] = {0, 0, 0, 0}; // the picture's viewport, as the show's window has it
};
Replay replay;

// Hands the show every event of the table at or before `count`, for the active run.
void deliverEvents(int64_t count)
{
    const std::vector<SongEvent>& events = replayTables.events;
    size_t& next = replay.active->nextEvent;
    while (next < events.size() && events[next].count <= count) {
        onSyncEvent(song, events[next].parameter);
        ++next;
    }
}

// The count of the table's next event for the active run if it comes at or before `limit`, else -1.
int64_t nextEvent(int64_t limit)
{
    const std::vector<SongEvent>& events = replayTables.events;
    const size_t next = replay.active->nextEvent;
    return next < events.size() && events[next].count <= limit ? events[next].count : -1;
}

// Where the song runs out, once its take knows.
int64_t songEnd()
{
    return takeEndCount(*replay.take);
}

// The recording takes a snapshot at its tick at `count`, every SNAPSHOT_COUNTS, and notes the tick.
void beforeTick(int64_t count)
{
    if (replay.active != &replay.recording) {
        return;
    }
    if (count >= static_cast<int64_t>(replay.snapshots.size()) * SNAPSHOT_COUNTS) {
        replay.snapshots.push_back(Snapshot{count, {}, replay.recording.nextEvent});
        saveCarried(replay.snapshots.back().carried);
    }
    replayTables.ticks.push_back(count);
}

// A frame that will not be seen changes the show's state all the same (its random draws, its GL
// state, the overlay's phase, scene 6's hand-over) but need not fill the picture: no drawing call
// of the show reads its pixels or its viewport back. The recording draws every frame so, and
// notes where scenes change; the picture's run draws the frame that is shown in full.
void beforeFrame(int64_t count)
{
    if (replay.active == &replay.recording) {
        glViewport(0, 0, 1, 1);
        if (replayTables.scenes.empty() || replayTables.scenes.back().scene != show.scene) {
            replayTables.scenes.push_back(SceneStart{count, show.scene.load()});
        }
        return;
    }
    if (count < replay.shownDraw) {
        glViewport(0, 0, 1, 1);
    } else {
        glViewport(replay.viewport[0], replay.viewport[1], replay.viewport[2], replay.viewport[3]);
    }
    replay.drew = true;
}

// Gives the show's variables to `run`, keeping the other run's state.
void activate(Run& run)
{
    if (replay.active == &run) {
        return;
    }
    if (replay.drew) {
        updateReplayPicture();  // the recording's frames clear the colour buffer
    }
    saveCarried(replay.active->carried);
    loadCarried(run.carried);
    replay.active = &run;
    setVirtualCount(std::max<int64_t>(0, run.stepper.position));
}

// Puts `run` where the snapshot stands: just before its moment.
void restoreSnapshot(Run& run, const Snapshot& shot)
{
    activate(run);
    loadCarried(shot.carried);
    run.nextEvent = shot.nextEvent;
    run.stepper.position = shot.count - 1;
    run.stepper.end = ShowEnd::Running;
    setVirtualCount(std::max<int64_t>(0, run.stepper.position));
}

// The count before which the table has every event of the song: all of them once its take has finished.
int64_t knownCount()
{
    return replay.known;
}

// The count up to which the recording holds for the song: where it stands, or the known part of it.
int64_t recordedUpTo()
{
    const int64_t frontier = replay.recording.stepper.end != ShowEnd::Running ? INT64_MAX
                                                                              : replay.recording.stepper.position;
    return std::min(frontier, knownCount() - 1);
}

// Where the show ends, as far as known: the recording's end, the song's, or its length as the decoder says.
void noteEnd()
{
    if (replay.recording.stepper.end != ShowEnd::Running) {
        replayTables.endCount = replay.recording.stepper.endCount;
    } else if (takeEndCount(*replay.take) >= 0) {
        replayTables.endCount = takeEndCount(*replay.take);
    } else {
        replayTables.endCount = std::max(replay.take->lengthCount, takeKnownCount(*replay.take));
    }
    replayTables.complete = replay.recording.stepper.end != ShowEnd::Running && !replay.comparison.running;
    replayTables.recorded = std::min(recordedUpTo(), replayTables.endCount);
}

// Takes the recording back to its last snapshot before `count`: what comes after is recorded again.
void recordAgainFrom(int64_t count)
{
    while (replay.snapshots.size() > 1 && replay.snapshots.back().count >= count) {
        replay.snapshots.pop_back();
    }
    std::vector<int64_t>& ticks = replayTables.ticks;
    ticks.erase(std::lower_bound(ticks.begin(), ticks.end(), replay.snapshots.back().count), ticks.end());
    std::vector<SceneStart>& scenes = replayTables.scenes;
    scenes.erase(std::find_if(scenes.begin(), scenes.end(),
                              [](const SceneStart& at) { return at.count >= replay.snapshots.back().count; }),
                 scenes.end());
    restoreSnapshot(replay.recording, replay.snapshots.back());
    if (replay.picture.stepper.position >= count) {
        replay.pictureAgain = replay.picture.stepper.position;
    }
}

// Holds the new take's events against the last take's: at the first that differs (or a different
// end) the recording goes back; alike to the end, nothing changes.
void compareTakes()
{
    const int64_t differs =
        firstDifference(replay.comparison, replayTables.events, knownCount(), takeEndCount(*replay.take));
    if (differs != INT64_MAX) {
        replay.comparison = TakeComparison{};
        recordAgainFrom(differs);
    } else if (knownCount() == INT64_MAX) {
        replay.comparison = TakeComparison{};  // alike to the end: nothing is recorded again
    }
}

// Takes what the song's take has rendered since the last look, and holds it against the last take.
void pullTake()
{
    replay.known = copyTake(*replay.take, replayTables.events, replayTables.rows);
    if (replay.comparison.running) {
        compareTakes();
    }
    noteEnd();
}

// Records on up to `count` as far as the song is known; whether the recording moved.
bool recordStep(int64_t count)
{
    const int64_t to = std::min(count, knownCount() - 1);
    if (replay.recording.stepper.end != ShowEnd::Running || to <= replay.recording.stepper.position) {
        return false;
    }
    activate(replay.recording);
    advanceStepper(replay.recording.stepper, to);
    return true;
}

// Records until the picture at `count` can be had, waiting for the song's take where it must.
void recordUpTo(int64_t count)
{
    for (pullTake(); !replayReaches(count); pullTake()) {
        if (!recordStep(count)) {
            waitForTake(*replay.take, knownCount() + 1);
        }
    }
}

// Brings the picture's run to `count` (clamped to the show): forward from where it stands, or from
// the last snapshot at or before it when it lies behind, further than a snapshot ahead, or `again`.
void moveTo(int64_t count, bool again)
{
    recordUpTo(std::max<int64_t>(0, count));
    count = std::clamp<int64_t>(count, 0, replayTables.endCount);
    Run& picture = replay.picture;
    activate(picture);
    const std::vector<int64_t>& ticks = replayTables.ticks;
    const auto shown = std::upper_bound(ticks.begin(), ticks.end(), count);  // after the last tick at or before it
    replay.shownDraw = shown == ticks.begin() ? 0 : *(shown - 1);
    if (again || count < picture.stepper.position || count - picture.stepper.position > SNAPSHOT_COUNTS) {
        auto after = std::upper_bound(replay.snapshots.begin(), replay.snapshots.end(), count,
                                      [](int64_t at, const Snapshot& shot) { return at < shot.count; });
        const Snapshot& shot = *(after - 1);
        if (again || count < picture.stepper.position || shot.count - 1 > picture.stepper.position) {
            restoreSnapshot(picture, shot);
        }
    }
    advanceStepper(picture.stepper, count);
}

// Brings the picture again to the position it must be shown at once more, recorded anew.
void showAgain()
{
    const int64_t position = replay.pictureAgain;
    replay.pictureAgain = -1;
    moveTo(position, true);
}

// Starts the comparison of a new take with the current one, which becomes the last.
void beginComparison(SongTake* fresh)
{
    pullTake();
    if (replay.comparison.running) {
        recordAgainFrom(recordedUpTo() + 1);  // what the last new take had not yet confirmed
        replay.comparison = TakeComparison{};
    }
    TakeComparison& comparison = replay.comparison;
    comparison.running = true;
    comparison.previous = std::move(replayTables.events);
    comparison.previousKnown = knownCount();
    comparison.previousEnd = takeEndCount(*replay.take);
    replayTables.events.clear();
    replayTables.rows.clear();
    replay.oldTakes.push_back(replay.take);
    replay.take = fresh;
    pullTake();
}

// Stops every take's worker as the process ends, before the state the workers write goes.
void endTakes()
{
    releaseOldTakes();
    endSongTake(replay.take);
    replay.take = nullptr;
}

}  // namespace

bool startReplay(const char* path, std::string& error)
{
    std::vector<uint8_t> bytes;
    replay.take = readModuleFile(path, bytes) ? startSongTake(std::move(bytes), error) : nullptr;
    if (replay.take == nullptr) {
        error = std::string("cannot load the module ") + path;
        return false;
    }
    glGetIntegerv(GL_VIEWPORT, replay.viewport);
    replay.pixels.assign(static_cast<size_t>(replay.viewport[2]) * replay.viewport[3] * 3, 0);
    for (Run* run : {&replay.recording, &replay.picture}) {
        run->stepper.events = StepEvents{deliverEvents, nextEvent, songEnd};
        run->stepper.beforeTick = beforeTick;
        run->stepper.beforeFrame = beforeFrame;
    }
    setVirtualCount(0);
    offlineGlut.redisplayRequested = true;  // a window is drawn once when it first shows
    replay.snapshots.push_back(Snapshot{0, {}, 0});
    saveCarried(replay.snapshots.back().carried);
    replay.recording.carried = replay.picture.carried = replay.snapshots.back().carried;
    replay.active = &replay.picture;
    std::atexit(endTakes);
    pullTake();
    return true;
}

bool recordReplay(int64_t nanoseconds)
{
    const int64_t until = k3l::monotonicNanoseconds() + nanoseconds;
    do {
        pullTake();
        if (!recordStep(replay.recording.stepper.position + RECORD_STEP)) {
            break;
        }
    } while (k3l::monotonicNanoseconds() < until);
    pullTake();
    if (replay.pictureAgain >= 0 && replayReaches(replay.pictureAgain)) {
        showAgain();
    }
    activate(replay.picture);
    return !replayTables.complete;
}

bool replayReaches(int64_t count)
{
    return std::min(count, replayTables.endCount) <= recordedUpTo();
}

SongReload reloadReplaySong(const char* path, std::string& error)
{
    std::vector<uint8_t> bytes;
    if (!readModuleFile(path, bytes)) {
        error = std::string("cannot load the module ") + path;
        return SongReload::Failed;
    }
    if (bytes == replay.take->bytes) {
        return SongReload::Unchanged;
    }
    SongTake* fresh = startSongTake(std::move(bytes), error);
    if (fresh == nullptr) {
        error = std::string("cannot load the module ") + path;
        return SongReload::Failed;
    }
    beginComparison(fresh);
    activate(replay.picture);
    return SongReload::Started;
}

bool replayReloaded()
{
    return replay.pictureAgain < 0 &&
           (!replay.comparison.running || replay.picture.stepper.position < knownCount());
}

void finishReplayReload()
{
    while (!replayReloaded()) {
        if (replay.pictureAgain >= 0) {
            showAgain();
        } else {
            waitForTake(*replay.take, replay.picture.stepper.position + 1);
            pullTake();
        }
    }
    pullTake();
    activate(replay.picture);
}

SongTake& replaySongTake()
{
    return *replay.take;
}

void releaseOldTakes()
{
    for (SongTake* take : replay.oldTakes) {
        endSongTake(take);
    }
    replay.oldTakes.clear();
}

bool reloadReplayImage(int index)
{
    const ImageSlot& image = IMAGE_SLOTS[index];
    TextureImage fresh{};
    if (!loadTGA(&fresh, image.path)) {
        return false;
    }
    // The snapshots and the runs name the texture that was bound; the new one takes the old one's place.
    const GLuint old = image.slot->texName;
    const auto rename = [old, &fresh](CarriedState& carried) {
        if (old != 0 && carried.gl.texture == static_cast<GLint>(old)) {
            carried.gl.texture = static_cast<GLint>(fresh.texName);
        }
    };
    for (Snapshot& shot : replay.snapshots) {
        rename(shot.carried);
    }
    rename(replay.recording.carried);
    rename(replay.picture.carried);
    if (old != 0) {
        glDeleteTextures(1, &old);
    }
    std::free(image.slot->pixels);
    *image.slot = fresh;
    if (old == 0) {
        recordAgainFrom(0);  // its filters depend on what the scenes did before
        activate(replay.picture);
    }
    return true;
}

void refreshReplay()
{
    moveTo(replay.picture.stepper.position, true);
    replay.pictureAgain = -1;
}

void seekReplay(int64_t count)
{
    moveTo(count, false);
}

int64_t replayPosition()
{
    return std::max<int64_t>(0, replay.picture.stepper.position);
}

int64_t replayNextMoment()
{
    activate(replay.picture);
    return std::min(stepperNextMoment(replay.picture.stepper, INT64_MAX), replayTables.endCount);
}

int64_t replayNextTick()
{
    activate(replay.picture);
    return std::min(stepperNextTick(replay.picture.stepper), replayTables.endCount);
}

bool updateReplayPicture()
{
    if (!replay.drew) {
        return false;
    }
    replay.drew = false;
    readFrame(replay.pixels.data(), replay.viewport[2], replay.viewport[3]);
    return true;
}

const std::vector<uint8_t>& replayPicture()
{
    return replay.pixels;
}

int replayLastEvent()
{
    const size_t next = replay.picture.nextEvent;
    return next == 0 || next > replayTables.events.size() ? -1 : replayTables.events[next - 1].parameter;
}

size_t replaySnapshotBytes()
{
    return replay.snapshots.capacity() * sizeof(Snapshot);
}
