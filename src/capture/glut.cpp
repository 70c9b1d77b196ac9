// GLUT for the capture: its start, its window (the offscreen context at the capture's
// size, offline_glut.h) and a main loop that steps the show in virtual time (stepper.h)
// and writes a video frame at each frame's count.
//
// The virtual counter (virtual_clock.h) runs at 44.1 MHz, 1000 counts per audio sample,
// and stands still while the show loads, ticks and draws. The song starts at count 0,
// where the show loaded; its events come from the offline player as it renders the song.
// Video frame n is at n * 44100000 / fps counts: the stepper does every moment up to it
// (the events due, the idle handler, the frame drawn when asked for) and the last frame
// drawn goes to the outputs. The ticks fall on a fixed grid from count 0: every 2425501
// counts, 55.000023 ms, the first count past 55.0 ms in the frame timer's own float
// arithmetic; 3768 ticks over the whole show drift by 0.09 ms from a 55 ms grid.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "app/demo.h"
#include "capture/progress.h"
#include "capture/session.h"
#include "capture/video_writer.h"
#include "offline/offline_glut.h"
#include "offline/player.h"
#include "offline/stepper.h"
#include "offline/virtual_clock.h"
#include "platform/glut.h"
#include "sync/show_state.h"

namespace {

// The scene of the last frame the show drew: written before each frame, read when a video frame goes out.
int drawnScene = 0;

// The count of video frame `index`.
int64_t videoFrameCount(int64_t index, int fps)
{
    return index * VIRTUAL_COUNTS_PER_SECOND / fps;
}

// The capture's look before each frame the show draws: an interrupt, the scene, the lead-in's progress.
void beforeCaptureFrame(int64_t count)
{
    if (captureInterrupted()) {
        failCapture("interrupted");
    }
    drawnScene = show.scene.load();
    if (count < captureFromCount()) {
        updateProgress(0, countSeconds(count));  // the lead-in to --from is played too
    }
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

// Steps the show in virtual time until it ends, writing the video frames (see the top of this file).
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
    Stepper stepper;
    stepper.events = StepEvents{playUntil, nextPlayerStop, songEndCount};
    stepper.beforeFrame = beforeCaptureFrame;
    if (options.seconds > 0.0) {
        stepper.limit = secondsCount(options.seconds);
    }
    if (captureToCount() >= 0) {
        stepper.limit = std::min(stepper.limit, captureToCount());
    }
    drawnScene = show.scene.load();
    int64_t framesRead = 0;
    const uint8_t* pixels = nullptr;
    // A window is drawn once when it first shows, before anything else happens.
    offlineGlut.redisplayRequested = true;
    // From the first frame at or after --from; the ones before are drawn all the same, and not written.
    for (int64_t index = (captureFromCount() * options.fps + VIRTUAL_COUNTS_PER_SECOND - 1) / VIRTUAL_COUNTS_PER_SECOND;;
         ++index) {
        if (captureInterrupted()) {
            failCapture("interrupted");
        }
        const int64_t frameAt = videoFrameCount(index, options.fps);
        if (!advanceStepper(stepper, frameAt)) {
            if (stepper.end == ShowEnd::Quit) {
                quitDemo();  // the show's own exit, as the live show takes it
            }
            std::exit(0);
        }
        const bool fresh = offlineGlut.framesSwapped != framesRead || pixels == nullptr;
        if (fresh) {
            uint8_t* buffer = newFrameBuffer();
            readFrame(buffer, options.width, options.height);
            pixels = buffer;
            framesRead = offlineGlut.framesSwapped;
        }
        outputFrame(index, frameAt, pixels, fresh, drawnScene);
    }
}
