#include "studio/replay.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdlib>

#include "app/demo.h"
#include "app/frame_timer.h"
#include "assets/textures.h"
#include "capture/offline_glut.h"
#include "capture/player.h"
#include "capture/virtual_clock.h"
#include "gfx/particles.h"
#include "gfx/rings.h"
#include "platform/fmod.h"
#include "shared/random.h"
#include "sync/music.h"
#include "sync/show_state.h"

ReplayTables replayTables;

namespace {

constexpr int64_t SNAPSHOT_COUNTS = static_cast<int64_t>(SNAPSHOT_SECONDS * VIRTUAL_COUNTS_PER_SECOND);  // counts
constexpr int64_t PLAY_STEP = VIRTUAL_COUNTS_PER_SECOND;  // counts the offline player is asked ahead at a time

// The OpenGL state the scenes leave behind for the next frame.
struct GlState {
    GLfloat clear[4];
    GLfloat color[4];
    GLint texture;
    GLint filters[IMAGE_COUNT][2];  // minifying and magnifying filter of each image's texture
    GLboolean blend, texture2d, cull;
    GLint blendSource, blendDestination;
    GLint matrixMode;
    GLfloat projection[16], modelview[16];
    GLfloat pointSize, lineWidth;
};

// The show state's fields, copied out of their atomics.
struct ShowValues {
    int32_t scene, tick;
    float pulse;
    uint8_t beatFlash, showVersus, wisdomAlt, spinX, spinY, spinZ, fadeActive, quitRequested;
    int32_t tickRandom;
    uint8_t fadeLevel;
    int32_t overlayMode, overlayPhase;
};

// Everything that carries from one frame to the next, before the moment at `count`.
struct Snapshot {
    int64_t count;
    ShowValues values;
    uint32_t randState;
    Particle particles[PARTICLE_COUNT];
    int32_t ringDepths[RING_COUNT];
    FrameTimer timer;
    size_t nextEvent;
    int64_t nextTick;
    bool redisplay;
    GlState gl;
};

// Where the replay stands: written by the replay's calls alone.
struct Replay {
    std::vector<Snapshot> snapshots;  // in count order, the first before the show's first moment
    int64_t position = -1;            // every moment at or before it done
    size_t nextEvent = 0;             // the first event not yet applied
    int64_t nextTick = 0;             // the count of the next tick
    bool drew = false;                // a frame was drawn since replayDrewFrame last asked
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

// Reads the OpenGL state into `gl`.
void saveGl(GlState& gl)
{
    glGetFloatv(GL_COLOR_CLEAR_VALUE, gl.clear);
    glGetFloatv(GL_CURRENT_COLOR, gl.color);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &gl.texture);
    for (int i = 0; i < IMAGE_COUNT; ++i) {
        const GLuint name = IMAGE_SLOTS[i].slot->texName;
        gl.filters[i][0] = gl.filters[i][1] = 0;
        if (name != 0) {
            glBindTexture(GL_TEXTURE_2D, name);
            glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &gl.filters[i][0]);
            glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &gl.filters[i][1]);
        }
    }
    glBindTexture(GL_TEXTURE_2D, gl.texture);
    gl.blend = glIsEnabled(GL_BLEND);
    gl.texture2d = glIsEnabled(GL_TEXTURE_2D);
    gl.cull = glIsEnabled(GL_CULL_FACE);
    glGetIntegerv(GL_BLEND_SRC, &gl.blendSource);
    glGetIntegerv(GL_BLEND_DST, &gl.blendDestination);
    glGetIntegerv(GL_MATRIX_MODE, &gl.matrixMode);
    glGetFloatv(GL_PROJECTION_MATRIX, gl.projection);
    glGetFloatv(GL_MODELVIEW_MATRIX, gl.modelview);
    glGetFloatv(GL_POINT_SIZE, &gl.pointSize);
    glGetFloatv(GL_LINE_WIDTH, &gl.lineWidth);
}

// Sets or clears one capability.
void setEnabled(GLenum capability, GLboolean on)
{
    if (on) {
        glEnable(capability);
    } else {
        glDisable(capability);
    }
}

// Puts the OpenGL state of `gl` back.
void loadGl(const GlState& gl)
{
    glClearColor(gl.clear[0], gl.clear[1], gl.clear[2], gl.clear[3]);
    glColor4fv(gl.color);
    for (int i = 0; i < IMAGE_COUNT; ++i) {
        const GLuint name = IMAGE_SLOTS[i].slot->texName;
        if (name != 0) {
            glBindTexture(GL_TEXTURE_2D, name);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, gl.filters[i][0]);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, gl.filters[i][1]);
        }
    }
    glBindTexture(GL_TEXTURE_2D, gl.texture);
    setEnabled(GL_BLEND, gl.blend);
    setEnabled(GL_TEXTURE_2D, gl.texture2d);
    setEnabled(GL_CULL_FACE, gl.cull);
    glBlendFunc(gl.blendSource, gl.blendDestination);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(gl.projection);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(gl.modelview);
    glMatrixMode(gl.matrixMode);
    glPointSize(gl.pointSize);
    glLineWidth(gl.lineWidth);
}

// Takes a snapshot of everything before the moment at `count`.
void takeSnapshot(int64_t count)
{
    Snapshot shot;
    shot.count = count;
    shot.values = ShowValues{show.scene.load(), show.tick.load(), show.pulse.load(), show.beatFlash.load(),
                             show.showVersus.load(), show.wisdomAlt.load(), show.spinX.load(), show.spinY.load(),
                             show.spinZ.load(), show.fadeActive.load(), show.quitRequested.load(), show.tickRandom,
                             show.fadeLevel, show.overlayMode, show.overlayPhase};
    shot.randState = k3l::randState;
    std::copy(particles, particles + PARTICLE_COUNT, shot.particles);
    std::copy(ringDepths, ringDepths + RING_COUNT, shot.ringDepths);
    shot.timer = frameTimer;
    shot.nextEvent = replay.nextEvent;
    shot.nextTick = replay.nextTick;
    shot.redisplay = offlineGlut.redisplayRequested;
    saveGl(shot.gl);
    replay.snapshots.push_back(shot);
}

// Puts everything back as the snapshot has it; the replay then stands just before its moment.
void restoreSnapshot(const Snapshot& shot)
{
    const ShowValues& v = shot.values;
    show.scene = v.scene;
    show.tick = v.tick;
    show.pulse = v.pulse;
    show.beatFlash = v.beatFlash;
    show.showVersus = v.showVersus;
    show.wisdomAlt = v.wisdomAlt;
    show.spinX = v.spinX;
    show.spinY = v.spinY;
    show.spinZ = v.spinZ;
    show.fadeActive = v.fadeActive;
    show.quitRequested = v.quitRequested;
    show.tickRandom = v.tickRandom;
    show.fadeLevel = v.fadeLevel;
    show.overlayMode = v.overlayMode;
    show.overlayPhase = v.overlayPhase;
    k3l::randState = shot.randState;
    std::copy(shot.particles, shot.particles + PARTICLE_COUNT, particles);
    std::copy(shot.ringDepths, shot.ringDepths + RING_COUNT, ringDepths);
    frameTimer = shot.timer;
    replay.nextEvent = shot.nextEvent;
    replay.nextTick = shot.nextTick;
    offlineGlut.redisplayRequested = shot.redisplay;
    loadGl(shot.gl);
    replay.position = shot.count - 1;
}

// Does one moment of the show as the capture's main loop does: the events due, the idle
// handler, the frame if one was asked for. False at the tick that would end the show.
bool doMoment(int64_t count)
{
    setVirtualCount(count);
    const std::vector<SongEvent>& events = replayTables.events;
    while (replay.nextEvent < events.size() && events[replay.nextEvent].count <= count) {
        onSyncEvent(song, events[replay.nextEvent].parameter);
        ++replay.nextEvent;
    }
    const bool ticks = count == replay.nextTick;
    if (ticks && show.quitRequested.load()) {
        return false;  // quitDemo would end the program here; the capture ends with it
    }
    offlineGlut.idle();
    if (offlineGlut.redisplayRequested) {
        offlineGlut.redisplayRequested = false;
        // A frame that will not be seen changes the show's state all the same (its random draws,
        // its GL state, the overlay's phase, scene 6's hand-over) but need not fill the picture:
        // no drawing call of the show reads its pixels or its viewport back.
        if (count < replay.shownDraw) {
            glViewport(0, 0, 1, 1);
        } else {
            glViewport(replay.viewport[0], replay.viewport[1], replay.viewport[2], replay.viewport[3]);
        }
        offlineGlut.display();
        replay.drew = true;
        if (replay.recording && (replayTables.scenes.empty() || replayTables.scenes.back().scene != show.scene)) {
            replayTables.scenes.push_back(SceneStart{count, show.scene.load()});
        }
    }
    if (ticks) {
        replay.nextTick = nextTickCount(count);
        if (replay.recording) {
            replayTables.ticks.push_back(count);
        }
    }
    return true;
}

// The next moment after the position: the first, the next tick or the next event.
int64_t nextMoment()
{
    const std::vector<SongEvent>& events = replayTables.events;
    int64_t moment = replay.position < 0 ? 0 : replay.nextTick;
    if (replay.nextEvent < events.size()) {
        moment = std::min(moment, std::max(events[replay.nextEvent].count, replay.position + 1));
    }
    return moment;
}

// Does every moment after the position up to `count`, taking snapshots on the first pass.
void advanceTo(int64_t count)
{
    for (;;) {
        const int64_t moment = nextMoment();
        if (moment > count || moment >= replayTables.endCount) {
            break;
        }
        if (replay.recording && moment == replay.nextTick &&
            moment >= static_cast<int64_t>(replay.snapshots.size()) * SNAPSHOT_COUNTS) {
            takeSnapshot(moment);
        }
        if (!doMoment(moment)) {
            replayTables.endCount = moment;
            break;
        }
        replay.position = moment;
    }
    replay.position = std::max(replay.position, std::min(count, replayTables.endCount));
    setVirtualCount(replay.position < 0 ? 0 : replay.position);
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
    advanceTo(replayTables.endCount);
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
    if (again || count < replay.position || count - replay.position > SNAPSHOT_COUNTS) {
        auto after = std::upper_bound(replay.snapshots.begin(), replay.snapshots.end(), count,
                                      [](int64_t at, const Snapshot& shot) { return at < shot.count; });
        const Snapshot& shot = *(after - 1);
        if (again || count < replay.position || shot.count - 1 > replay.position) {
            restoreSnapshot(shot);
        }
    }
    advanceTo(count);
}

}  // namespace

void startReplay()
{
    glGetIntegerv(GL_VIEWPORT, replay.viewport);
    replayTables.events = recordSong(replayTables.endCount);
    setVirtualCount(0);
    replay.nextTick = nextTickCount(0);
    offlineGlut.redisplayRequested = true;  // a window is drawn once when it first shows
    takeSnapshot(0);
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
    const int64_t position = replay.position;
    replayTables.events = recordSong(replayTables.endCount);
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
        if (old != 0 && shot.gl.texture == static_cast<GLint>(old)) {
            shot.gl.texture = static_cast<GLint>(fresh.texName);
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
    const int64_t position = replay.position;
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
    return replay.position;
}

int64_t replayNextMoment()
{
    return std::min(nextMoment(), replayTables.endCount);
}

bool replayDrewFrame()
{
    const bool drew = replay.drew;
    replay.drew = false;
    return drew;
}

int replayLastEvent()
{
    return replay.nextEvent == 0 ? -1 : replayTables.events[replay.nextEvent - 1].parameter;
}

size_t replaySnapshotBytes()
{
    return replay.snapshots.capacity() * sizeof(Snapshot);
}
