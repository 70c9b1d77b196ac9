// The studio: the show's own program (its main, loading, ticks, events and scenes) over GLUT
// calls of its own (offline_glut.h, options.cpp), with a main loop that plays, pauses, seeks and
// loops the show on the capture's virtual clock (replay.h, transport.h) and shows it in a window
// with a timeline (view.h). Without a display it runs a script of the same commands (script.h).
#include <cstdlib>
#include <string>

#include "platform/glut.h"
#include "shared/monotonic_clock.h"
#include "studio/edits.h"
#include "studio/options.h"
#include "studio/render.h"
#include "studio/replay.h"
#include "studio/script.h"
#include "studio/transport.h"
#include "studio/view.h"

namespace {

constexpr int64_t STATUS_NS = 40000000;    // nanoseconds between two redraws for the status line alone
constexpr int64_t BACKGROUND_WAIT_NS = 0;  // nanoseconds the loop waits for input while the replay records: it only looks

}  // namespace

// Runs the studio: the replay, then the window's loop or the script.
void glutMainLoop()
{
    startStudio();
    if (!studioOptions.script.empty()) {
        runScript();
    }
    takeSound();
    anchor();
    std::string error;
    if (!openView(studioOptions.width, studioOptions.height, error)) {
        say(error);
        std::exit(1);
    }
    watchFiles();
    int64_t drawn = 0;  // when the view was last drawn, on the monotonic clock
    for (;;) {
        const ViewInput input = nextViewInput(recordingBudget() > 0 ? BACKGROUND_WAIT_NS : untilNextMoment());
        if (input.kind == ViewInput::Close || (input.kind == ViewInput::Key && !pressKey(input.keysym, input.shift))) {
            std::exit(0);
        }
        if (input.kind == ViewInput::Seek) {
            seekTo(input.count);
        }
        takeChanges();
        checkRender();
        if (const int64_t budget = recordingBudget(); budget > 0) {
            recordReplay(budget);
        }
        checkReload();
        swapSound();
        landSeek();
        follow();
        // The view is drawn for a new picture or an input, and for a new status at most every STATUS_NS.
        const int64_t now = k3l::monotonicNanoseconds();
        const bool moved = viewState.position != replayPosition() || viewState.paused != transport.paused ||
                           viewState.looping != transport.looping || viewState.loopIn != transport.loopIn ||
                           viewState.loopOut != transport.loopOut || viewState.message != transport.message ||
                           viewState.recorded != replayTables.recorded;
        if (updateReplayPicture() || input.kind != ViewInput::Nothing || (moved && now - drawn >= STATUS_NS)) {
            viewState.position = replayPosition();
            keepInView(viewState.position);
            viewState.loopIn = transport.loopIn;
            viewState.loopOut = transport.loopOut;
            viewState.looping = transport.looping;
            viewState.paused = transport.paused;
            viewState.recorded = replayTables.recorded;
            statusLine(viewState.status);
            viewState.message = transport.message;
            drawView(replayPicture().data(), viewState);
            drawn = now;
        }
    }
}
