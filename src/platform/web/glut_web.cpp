// GLUT for the browser. emscripten's GLUT (its library_glut.js) makes the canvas's
// WebGL context, reads the keyboard and runs the display handler on animation
// frames; this file replaces the calls the browser needs done its own way:
//  - glutMainLoop cannot loop (the page must get control back): it shows the page's
//    "click to start" screen and hands control to the browser for good, so main never
//    returns. The click (the user gesture the browser wants for sound and full screen)
//    starts the song and the main loop below. The show's clock stands still meanwhile.
//  - glutIdleFunc: the main loop calls the idle handler itself, woken when something
//    falls due (a Zxx event heard, the show's next tick, the audio to render ahead)
//    rather than every 4 ms, and runs each tick with the show's clock pinned at the
//    count it fell due: performance.now() comes in 0.1 ms steps, and a tick that
//    always read a little late would drift against the music (the clock itself follows
//    the music's clock: clock_web.cpp). After a stall of the
//    page (a long frame, a shader compiled) the missed ticks follow at once, up to ten;
//    a longer stall is dropped, as the desktop drops it.
//  - glutFullScreen: full screen needs the click, so it is remembered: at the click the
//    canvas fills the page and the page asks for full screen.
//  - glutKeyboardFunc: the page passes the keys on as emscripten's GLUT would, but from
//    a callback that takes the show's exit as the end of the show, not as an error.
//  - ShowCursor and the window: the pointer hidden over the canvas.
//  - glutDisplayFunc: the display handler is not called while the browser has taken the GL
//    context away; the page keeps the GL state the show set and makes it again when the
//    context comes back (web_library.js), then the picture is drawn at once.
//  - While the page is hidden the browser throttles its timers: the loop's wake-ups then come
//    from a worker's timer (web_library.js), so that ticks and events keep their pace.
// The show's exit (quitDemo's exit(0)) stops the loop and shows the page's end screen
// (web_library.js).
#include <GL/glut.h>
#include <emscripten.h>

#include <algorithm>

#include "app/demo.h"
#include "app/frame_timer.h"
#include "offline/tick_search.h"
#include "platform/pointer_count.h"
#include "platform/web/web.h"

// The page's side (web_library.js).
extern "C" {
void k3lPageReady(int fullScreen);
void k3lLoopWake(double delayMs);
void k3lRoundPoints();
void k3lKeepGraphics();
void k3lSetDisplay(void (*draw)());
void k3lNoteTick(double dueMs, double ranMs);
}

namespace {

constexpr double REFILL_MS = 50.0;        // milliseconds the loop sleeps at most: the player renders ahead then
constexpr int64_t TICK_SEARCH_LIMIT = 60000000000;  // clock counts: a tick later than this is not looked for
constexpr int64_t TICK_COUNTS = static_cast<int64_t>(TICK_MS * NANOSECONDS_PER_MS);  // clock counts in a tick
constexpr int64_t CATCH_UP_LIMIT = 10 * TICK_COUNTS;  // clock counts: a tick later than this runs at its real time

// The show's idle handler: written by glutIdleFunc, called by the main loop.
void (*idleHandler)() = nullptr;
// The show's display handler: written by glutDisplayFunc, called by drawFrame.
void (*displayHandler)() = nullptr;
// Whether the browser has taken the GL context away: written by k3lGraphicsLost (the page), read by drawFrame.
bool graphicsLost = false;
// The show's keyboard handler: written by glutKeyboardFunc, called by k3lKey.
void (*keyboardHandler)(unsigned char, int, int) = nullptr;
// Whether the show asked for full screen: written by glutFullScreen, read when the page gets ready.
bool fullScreenAsked = false;
// The show's window, 0 until created: written by createPointerWindow, read by ShowCursor.
int pointerWindow = 0;
// Where the next tick falls: written and read by nextTickCount.
TickSearch tickSearch;

// Shows or hides the pointer over the canvas as the display count says.
void applyPointer()
{
    glutSetCursor(pointerShown() ? GLUT_CURSOR_INHERIT : GLUT_CURSOR_NONE);
}

// Draws the show's picture on an animation frame, unless the GL context is lost (nothing could be drawn).
void drawFrame()
{
    if (!graphicsLost && displayHandler != nullptr) {
        displayHandler();
    }
}

// The first clock count at which the idle handler ticks, asked of the frame timer itself
// (the stepper's search, on the show's clock pinned).
int64_t nextTickCount()
{
    const int64_t due = ::nextTickCount(tickSearch, pinShowClock, TICK_SEARCH_LIMIT);
    unpinShowClock();
    return due;
}

}  // namespace

// One turn of the main loop: the player's due events, the idle handler (at the tick's own
// count when one is due), then how long until the next turn, in milliseconds.
extern "C" EMSCRIPTEN_KEEPALIVE double k3lLoopStep()
{
    const double now = emscripten_get_now();
    const double nextEvent = stepWebPlayer(now);
    followAudioClock(now, audioClockLagMs());
    const int64_t nowCount = showClockCountAt(now);
    const int64_t tickCount = nextTickCount();
    const bool tickDue = tickCount <= nowCount && nowCount - tickCount < CATCH_UP_LIMIT;
    pinShowClock(tickDue ? tickCount : nowCount);
    const int64_t timerBefore = frameTimer.startCount;
    if (idleHandler != nullptr) {
        idleHandler();
    }
    unpinShowClock();
    if (frameTimer.startCount != timerBefore) {
        k3lNoteTick(performanceMsOf(frameTimer.startCount), now);
    }
    const double nextTick = performanceMsOf(nextTickCount());
    return std::min({nextEvent, nextTick, now + REFILL_MS}) - now;
}

// The page's start click: the show's clock runs, the song starts, the loop turns.
extern "C" EMSCRIPTEN_KEEPALIVE void k3lStart()
{
    holdShowClock(false);
    startWebPlayer();
    glutPostRedisplay();
    k3lLoopWake(0.0);
}

// A key pressed over the page, as GLUT gives it: its character and the pointer's position.
extern "C" EMSCRIPTEN_KEEPALIVE void k3lKey(int key, int x, int y)
{
    if (keyboardHandler != nullptr) {
        keyboardHandler(static_cast<unsigned char>(key), x, y);
    }
}

// The browser took the GL context away (1) or gave it back, made again as the show left it (0): the
// picture is drawn again at the next animation frame.
extern "C" EMSCRIPTEN_KEEPALIVE void k3lGraphicsLost(int lost)
{
    graphicsLost = lost != 0;
    if (!graphicsLost) {
        glutPostRedisplay();
    }
}

// The canvas took a new size (in pixels): the picture stretches over all of it, as
// freeglut's default reshape does.
extern "C" EMSCRIPTEN_KEEPALIVE void k3lResize(int width, int height)
{
    glViewport(0, 0, width, height);
    glutPostRedisplay();
}

int ShowCursor(bool visible)
{
    const int count = countPointer(visible);
    if (pointerWindow != 0) {
        applyPointer();
    }
    return count;
}

int createPointerWindow(const char* title)
{
    pointerWindow = glutCreateWindow(title);
    if (pointerWindow != 0) {
        k3lRoundPoints();
        k3lKeepGraphics();
        applyPointer();
    }
    return pointerWindow;
}

// Keeps the idle handler for the main loop.
void glutIdleFunc(void (*handler)())
{
    idleHandler = handler;
}

// Keeps the display handler for the page's animation frames (drawFrame).
void glutDisplayFunc(void (*handler)())
{
    displayHandler = handler;
    k3lSetDisplay(drawFrame);
}

// Keeps the keyboard handler for the page's keys (k3lKey).
void glutKeyboardFunc(void (*handler)(unsigned char, int, int))
{
    keyboardHandler = handler;
}

// Remembers the wish: the page fills itself with the canvas and asks for full screen at the click.
void glutFullScreen()
{
    fullScreenAsked = true;
}

// Shows the start screen and gives control back to the browser for good (see the top of this file).
void glutMainLoop()
{
    holdShowClock(true);
    k3lPageReady(fullScreenAsked ? 1 : 0);
    emscripten_exit_with_live_runtime();
}
