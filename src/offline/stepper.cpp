#include "offline/stepper.h"

#include <algorithm>

#include "offline/offline_glut.h"
#include "offline/virtual_clock.h"
#include "sync/show_state.h"

namespace {

constexpr int64_t TICK_SEARCH_LIMIT = 60 * VIRTUAL_COUNTS_PER_SECOND;  // counts: a tick later than this is not looked for

// Does the moment at `count` (see stepper.h), noting the show's end when it comes there.
void doMoment(Stepper& stepper, int64_t count)
{
    const bool ticks = count >= stepperNextTick(stepper);
    setVirtualCount(count);
    stepper.events.deliver(count);
    stepper.position = count;
    const int64_t song = stepper.events.songEnd();
    ShowEnd end = ShowEnd::Running;
    if (ticks && show.quitRequested.load()) {
        end = ShowEnd::Quit;
    } else if (song >= 0 && count >= song) {
        end = ShowEnd::SongEnd;
    } else if (count >= stepper.limit) {
        end = ShowEnd::Limit;
    }
    if (end != ShowEnd::Running) {
        stepper.end = end;
        stepper.endCount = count;
        return;
    }
    if (ticks && stepper.beforeTick != nullptr) {
        stepper.beforeTick(count);
    }
    offlineGlut.idle();
    if (offlineGlut.redisplayRequested) {
        offlineGlut.redisplayRequested = false;
        if (stepper.beforeFrame != nullptr) {
            stepper.beforeFrame(count);
        }
        offlineGlut.display();
    }
}

}  // namespace

int64_t stepperNextTick(Stepper& stepper)
{
    const int64_t now = virtualCount();
    const int64_t due = nextTickCount(stepper.ticks, setVirtualCount, TICK_SEARCH_LIMIT);
    setVirtualCount(now);
    return due;
}

int64_t stepperNextMoment(Stepper& stepper, int64_t count)
{
    if (stepper.position < 0) {
        return 0;  // the show starts at count 0, where it loaded and its song starts
    }
    if (stepper.end != ShowEnd::Running) {
        return stepper.endCount;
    }
    int64_t next = std::min({count, stepper.limit, stepperNextTick(stepper)});
    const int64_t song = stepper.events.songEnd();
    if (song > stepper.position) {
        next = std::min(next, song);
    }
    const int64_t stop = stepper.events.next(next);
    if (stop > stepper.position && stop < next) {
        next = stop;
    }
    return next;
}

bool advanceStepper(Stepper& stepper, int64_t count)
{
    while (stepper.end == ShowEnd::Running && stepper.position < count) {
        doMoment(stepper, stepperNextMoment(stepper, count));
    }
    return stepper.end == ShowEnd::Running;
}
