// GLUT for the capture: the calls the show makes, over an offscreen OpenGL
// context at the capture's size instead of a window, and a main loop that runs
// the show in virtual time.
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
#include <GL/gl.h>

#include <algorithm>
#include <cstring>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "app/demo.h"
#include "app/frame_timer.h"
#include "capture/player.h"
#include "capture/session.h"
#include "platform/glut.h"
#include "platform/offscreen_gl.h"
#include "platform/pointer_count.h"
#include "capture/video_writer.h"
#include "capture/virtual_clock.h"
#include "sync/show_state.h"

namespace {

constexpr int64_t TICK_SEARCH_LIMIT = 60 * VIRTUAL_COUNTS_PER_SECOND;  // counts: a tick later than this is not looked for
constexpr GLenum PACK_INVERT = 0x8758;  // GL_PACK_INVERT_MESA: glReadPixels hands rows over top row first

// The show's handlers: written by glut*Func, called by the main loop.
void (*displayHandler)() = nullptr;
void (*idleHandler)() = nullptr;
// Kept as GLUT would; nobody types at a capture, so the loop never calls it.
void (*keyboardHandler)(unsigned char, int, int) = nullptr;

// Whether the show asked for a redisplay: set by glutPostRedisplay, cleared by the loop when it draws.
bool redisplayRequested = false;
// Frames the show finished (glutSwapBuffers): written there, read by the loop.
int64_t framesSwapped = 0;
// The window's id, 0 before it exists: written by createPointerWindow.
int windowId = 0;
// Whether the context reads rows back top first (GL_MESA_pack_invert): written by createPointerWindow.
bool readsTopDown = false;
// One row of pixels, for turning a frame upside down without that: sized by createPointerWindow.
std::vector<uint8_t> rowScratch;

// Whether the show's frame timer reads strictly more than a tick's length at `count`.
bool tickDueAt(int64_t count)
{
    setVirtualCount(count);
    return frameTimer.elapsedMs() > TICK_MS;
}

// The first count after `now` at which the idle handler will tick: found by
// doubling, then halving, the distance over which the frame timer is asked.
int64_t nextTickCount(int64_t now)
{
    int64_t notYet = now;
    int64_t distance = 1;
    while (!tickDueAt(now + distance)) {
        notYet = now + distance;
        if (distance >= TICK_SEARCH_LIMIT) {
            setVirtualCount(now);
            return now + TICK_SEARCH_LIMIT;
        }
        distance *= 2;
    }
    int64_t due = now + distance;
    while (due - notYet > 1) {
        const int64_t middle = notYet + (due - notYet) / 2;
        if (tickDueAt(middle)) {
            due = middle;
        } else {
            notYet = middle;
        }
    }
    setVirtualCount(now);
    return due;
}

// Copies the colour buffer into `bgr` as the encoder takes it: BGR, top row first.
void readFrame(uint8_t* bgr, int width, int height)
{
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    if (readsTopDown) {
        glPixelStorei(PACK_INVERT, GL_TRUE);
    }
    glReadPixels(0, 0, width, height, GL_BGR, GL_UNSIGNED_BYTE, bgr);
    if (readsTopDown) {
        glPixelStorei(PACK_INVERT, GL_FALSE);
    } else {
        for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
            std::memcpy(rowScratch.data(), bgr + top * rowBytes, rowBytes);
            std::memcpy(bgr + top * rowBytes, bgr + bottom * rowBytes, rowBytes);
            std::memcpy(bgr + bottom * rowBytes, rowScratch.data(), rowBytes);
        }
    }
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
}

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

// The offscreen buffer is single, RGBA and the capture's size: display mode, window size
// and position have nothing to set.
void glutInitDisplayMode(unsigned int) {}

// See glutInitDisplayMode.
void glutInitWindowSize(int, int) {}

// See glutInitDisplayMode.
void glutInitWindowPosition(int, int) {}

// The show's window: the offscreen context at the capture's size.
int createPointerWindow(const char*)
{
    const CaptureOptions& options = captureOptions();
    if (!createOffscreenGL(options.width, options.height)) {
        failCapture("no offscreen OpenGL context (Mesa's EGL surfaceless platform; Debian package libegl-mesa0)");
    }
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    readsTopDown = extensions != nullptr && std::strstr(extensions, "GL_MESA_pack_invert") != nullptr;
    rowScratch.assign(static_cast<size_t>(options.width) * 3, 0);
    windowId = 1;
    return windowId;
}

// Keeps the pointer's display count, as the live show does; there is no pointer to show.
int ShowCursor(bool visible)
{
    return countPointer(visible);
}

// Registers the display handler.
void glutDisplayFunc(void (*handler)())
{
    displayHandler = handler;
}

// Registers the keyboard handler.
void glutKeyboardFunc(void (*handler)(unsigned char, int, int))
{
    keyboardHandler = handler;
}

// Registers the idle handler.
void glutIdleFunc(void (*handler)())
{
    idleHandler = handler;
}

// Asks the main loop to draw once more.
void glutPostRedisplay()
{
    redisplayRequested = true;
}

// Marks the end of a picture: the colour buffer holds a new frame.
void glutSwapBuffers()
{
    ++framesSwapped;
}

// The colour buffer already fills the picture: the canvas stretches over all of it.
void glutFullScreen() {}

// Runs the show in virtual time until it exits (see the top of this file).
void glutMainLoop()
{
    if (!songPlaying()) {
        failCapture("the show's music, data/zelto-07.tga, could not be loaded");
    }
    if (displayHandler == nullptr || idleHandler == nullptr || windowId == 0) {
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
    redisplayRequested = true;
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
        idleHandler();
        if (redisplayRequested) {
            redisplayRequested = false;
            drawnScene = show.scene.load();
            displayHandler();
        }
        if (now == frameAt) {
            const bool fresh = framesSwapped != framesRead || pixels == nullptr;
            if (fresh) {
                uint8_t* buffer = newFrameBuffer();
                readFrame(buffer, options.width, options.height);
                pixels = buffer;
                framesRead = framesSwapped;
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
