// GLUT for the capture: its start, its window (the offscreen context at the capture's
// size, offline_glut.h) and a main loop that runs the show in virtual time.
//
// How time advances. The virtual counter (virtual_clock.h) runs at 44.1 MHz, 1000
// counts per audio sample, and stands still while the show loads, ticks and draws.
// The loop jumps it from one moment where something can happen to the next:
//   - a Zxx event: the count where its row starts (the player knows it ahead);
//   - a tick: the first count at which the show's frame timer reads strictly more
//     than TICK_MS (found by asking the timer itself);
//   - a video frame: frame n at n * 44100000 / fps counts;
//   - the end of --seconds or of the song.
// At each such moment, in this order: the events due reach the show's handler,
// the idle handler runs, the display handler draws if a redisplay was asked for,
// and if it is a video frame's moment the last frame drawn goes to the outputs.
// Calling the idle handler only at these moments is the same as calling it all
// the time: between them it finds the timer short of its deadline and does
// nothing. The timer restarts at each tick's exact count, so ticks fall on a
// fixed grid from the moment the show loaded (count 0, where the song starts
// too): every 2425501 counts, 55.000023 ms, the first count past 55.0 ms in the
// timer's own float arithmetic; 3768 ticks over the whole show drift by 0.09 ms
// from a 55 ms grid.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "capture/offline_glut.h"
#include "capture/player.h"
#include "capture/progress.h"
#include "capture/session.h"
#include "capture/video_writer.h"
#include "capture/virtual_clock.h"
#include "platform/glut.h"
#include "sync/show_state.h"

namespace {

// The count of video frame `index`.
int64_t videoFrameCount(int64_t index, int fps)
{
    return index * VIRTUAL_COUNTS_PER_SECOND / fps;
}

}  // namespace

// Starts the capture with the command line: options, output files, encoder.
void glutInit(int* argc, char** argv)
{
    startCapture(*argc, argv);
    // The options are the capture's own, as GLUT takes its own out of the command line.
    *argc = 1;
}

// The show's window: the offscreen context at the capture's size.
int createPointerWindow(const char*)
{
    const CaptureOptions& options = captureOptions();
    if (!openOfflineWindow(options.width, options.height)) {
        failCapture("no offscreen OpenGL context (Mesa's EGL surfaceless platform; Debian package libegl-mesa0)");
    }
    return offlineGlut.windowId;
}

// Runs the show in virtual time until it exits (see the top of this file).
void glutMainLoop()
{
    if (!songPlaying()) {
        failCapture("the show's music, data/zelto-07.tga, could not be loaded");
    }
    if (offlineGlut.display == nullptr || offlineGlut.idle == nullptr || offlineGlut.windowId == 0) {
        failCapture("the show set up no window, display or idle handler");
    }
    const CaptureOptions& options = captureOptions();
    beginCaptureOutput();
    const int64_t origin = virtualCount();
    int64_t end = options.seconds > 0.0
                      ? origin + static_cast<int64_t>(options.seconds * static_cast<double>(VIRTUAL_COUNTS_PER_SECOND) + 0.5)
                      : INT64_MAX;
    const int64_t to = captureToCount();
    if (to >= 0) {
        end = std::min(end, origin + to);
    }
    // The first frame at or after --from; the ones before are drawn all the same, and not written.
    int64_t frameIndex = (captureFromCount() * options.fps + VIRTUAL_COUNTS_PER_SECOND - 1) / VIRTUAL_COUNTS_PER_SECOND;
    int64_t frameAt = origin + videoFrameCount(frameIndex, options.fps);
    int64_t framesRead = 0;
    const uint8_t* pixels = nullptr;
    int drawnScene = show.scene.load();

    // A window is drawn once when it first shows, before anything else happens.
    offlineGlut.redisplayRequested = true;
    int64_t now = origin;
    for (;;) {
        if (captureInterrupted()) {
            failCapture("interrupted");
        }
        playUntil(now);
        const int64_t songEnd = songEndCount();
        if (songEnd >= 0 && songEnd < end) {
            end = std::max(songEnd, now);
        }
        if (now >= end) {
            std::exit(0);
        }
        offlineGlut.idle();
        if (offlineGlut.redisplayRequested) {
            offlineGlut.redisplayRequested = false;
            drawnScene = show.scene.load();
            offlineGlut.display();
            if (now - origin < captureFromCount()) {
                updateProgress(0, countSeconds(now - origin));  // the lead-in to --from is played too
            }
        }
        if (now == frameAt) {
            const bool fresh = offlineGlut.framesSwapped != framesRead || pixels == nullptr;
            if (fresh) {
                uint8_t* buffer = newFrameBuffer();
                readFrame(buffer, options.width, options.height);
                pixels = buffer;
                framesRead = offlineGlut.framesSwapped;
            }
            outputFrame(frameIndex, now - origin, pixels, fresh, drawnScene);
            ++frameIndex;
            frameAt = origin + videoFrameCount(frameIndex, options.fps);
        }
        int64_t next = std::min({frameAt, end, nextTickCount(now)});
        const int64_t event = nextPlayerStop(next);
        if (event > now && event < next) {
            next = event;
        }
        setVirtualCount(next);
        now = next;
    }
}
