#include "offline/tick_search.h"

#include "app/demo.h"
#include "app/frame_timer.h"

namespace {

// Whether the frame timer reads strictly more than a tick's length with the clock at `count`.
bool tickDueAt(void (*pin)(int64_t), int64_t count)
{
    pin(count);
    return frameTimer.elapsedMs() > TICK_MS;
}

}  // namespace

// Found by doubling, then halving, the distance from the timer's start over which it is read:
// the timer's reading only grows with the count.
int64_t nextTickCount(TickSearch& search, void (*pin)(int64_t), int64_t limit)
{
    const int64_t start = frameTimer.startCount;
    if (search.timerStart == start) {
        return search.due;
    }
    int64_t notYet = start;
    int64_t distance = 1;
    while (!tickDueAt(pin, start + distance)) {
        notYet = start + distance;
        if (distance >= limit) {
            search = TickSearch{start, start + limit};
            return search.due;
        }
        distance *= 2;
    }
    int64_t due = start + distance;
    while (due - notYet > 1) {
        const int64_t middle = notYet + (due - notYet) / 2;
        if (tickDueAt(pin, middle)) {
            due = middle;
        } else {
            notYet = middle;
        }
    }
    search = TickSearch{start, due};
    return due;
}
