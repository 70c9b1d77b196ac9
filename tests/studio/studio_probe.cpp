// Linked into a build of the studio (k3lvana-studio_probed), whose calls of the show's sync
// handler are wrapped at link time (-Wl,--wrap=...): each event is noted with the moment it
// reached the show and passed on. As the process ends, the notes go to the file named by
// K3L_PROBE_REPORT, a line each: "event NANOSECONDS BYTE" (monotonic clock), in order.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "platform/fmod.h"
#include "shared/monotonic_clock.h"

namespace {

constexpr int MAX_EVENTS = 65536;  // events noted at most (the replays at start and at every seek count too)

struct Event {
    int64_t ns;
    unsigned char parameter;
};

// Written by the wrapper on the studio's main thread, read by the report at exit.
Event events[MAX_EVENTS];
int eventCount = 0;

// Writes the report once the process ends.
__attribute__((destructor)) void writeReport()
{
    const char* path = std::getenv("K3L_PROBE_REPORT");
    const int fd = path != nullptr ? open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644) : -1;
    for (int i = 0; fd >= 0 && i < eventCount; ++i) {
        dprintf(fd, "event %lld %u\n", static_cast<long long>(events[i].ns), static_cast<unsigned>(events[i].parameter));
    }
    if (fd >= 0) {
        close(fd);
    }
}

}  // namespace

void __real__Z11onSyncEventP13FMUSIC_MODULEh(FMUSIC_MODULE* module, unsigned char parameter)
    __asm__("__real__Z11onSyncEventP13FMUSIC_MODULEh");

// The show's handler: the event noted, then handed on.
extern "C" void __wrap__Z11onSyncEventP13FMUSIC_MODULEh(FMUSIC_MODULE* module, unsigned char parameter)
{
    if (eventCount < MAX_EVENTS) {
        events[eventCount++] = Event{k3l::monotonicNanoseconds(), parameter};
    }
    __real__Z11onSyncEventP13FMUSIC_MODULEh(module, parameter);
}
