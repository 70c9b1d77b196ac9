// Linked into a build of the show (k3lvana_probed), whose calls below are wrapped at link time
// (-Wl,--wrap=...): each wrapper notes the call and passes it on, so the show runs as it always
// does. As the process ends, the notes go to the file named by K3L_PROBE_REPORT:
//   ticks N, textures N               redisplay requests (one a tick), images uploaded
//   first_tick_ns T, last_tick_ns T   monotonic clock
//   allocations N                     heap allocations by the show's own code (its executable) from
//                                     the first tick until exit is called
//   player_closed 0|1                 whether the module player was closed by the time every exit
//                                     handler had run, however the process ended
//   losses N, lost_at_ns T, taken_over_at_ns T, reopens N, taken_back_at_ns T
//                                     how the audio device came and went (playerChanges)
//   event T BYTE                      every Zxx event the show's handler was given, in order
#include <GL/gl.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "platform/fmod.h"
#include "platform/player_live.h"
#include "shared/monotonic_clock.h"

namespace {

constexpr int MAX_EVENTS = 8192;  // events noted at most; the show's music has 305

struct Event {
    int64_t ns;
    uint8_t parameter;
};

// Written by the wrappers (the main thread; events on the player's dispatcher), read by the report at exit.
std::atomic<int64_t> ticks{0}, textures{0}, firstTickNs{0}, lastTickNs{0}, allocations{0};
std::atomic<bool> counting{false};  // from the first tick until exit is called
Event events[MAX_EVENTS];
std::atomic<int> eventCount{0};
// The show's own handler: written once when the show registers it, read by the recorder.
std::atomic<FMUSIC_CALLBACK> showHandler{nullptr};

void noteAllocation()
{
    if (counting.load(std::memory_order_relaxed)) {
        allocations.fetch_add(1);
    }
}

// Notes the event, then hands it to the show.
void recordEvent(FMUSIC_MODULE* module, unsigned char parameter)
{
    const int index = eventCount.fetch_add(1);
    if (index < MAX_EVENTS) {
        events[index] = Event{k3l::monotonicNanoseconds(), parameter};
    }
    showHandler.load()(module, parameter);
}

// Writes the report, with no allocation, once every exit handler (the player's among them) has run.
__attribute__((destructor)) void writeReport()
{
    const char* path = std::getenv("K3L_PROBE_REPORT");
    const int fd = path != nullptr ? open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644) : -1;
    if (fd < 0) {
        return;
    }
    dprintf(fd, "ticks %lld\ntextures %lld\nfirst_tick_ns %lld\nlast_tick_ns %lld\nallocations %lld\n"
                "player_closed %d\n",
            static_cast<long long>(ticks.load()), static_cast<long long>(textures.load()), static_cast<long long>(firstTickNs.load()),
            static_cast<long long>(lastTickNs.load()), static_cast<long long>(allocations.load()),
            playerOutput() == PLAYER_OUTPUT_NONE ? 1 : 0);
    const PlayerChanges changes = playerChanges();
    dprintf(fd, "losses %lld\nlost_at_ns %lld\ntaken_over_at_ns %lld\nreopens %lld\ntaken_back_at_ns %lld\n",
            static_cast<long long>(changes.losses), static_cast<long long>(changes.lostAtNs),
            static_cast<long long>(changes.takenOverAtNs), static_cast<long long>(changes.reopens),
            static_cast<long long>(changes.takenBackAtNs));
    for (int i = 0; i < eventCount.load() && i < MAX_EVENTS; ++i) {
        dprintf(fd, "event %lld %u\n", static_cast<long long>(events[i].ns), static_cast<unsigned>(events[i].parameter));
    }
    close(fd);
}

}  // namespace

// The real calls, reached through the linker's wrap.
extern "C" {
void __real_glutPostRedisplay();
void __real_glTexImage2D(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum, const void*);
void* __real_malloc(size_t size);
void* __real_calloc(size_t count, size_t size);
void* __real_realloc(void* block, size_t size);
void* __real__Znwm(size_t size);
void* __real__Znam(size_t size);
[[noreturn]] void __real_exit(int status);
}
signed char __real__Z21FMUSIC_SetZxxCallbackP13FMUSIC_MODULEPFvS0_hE(FMUSIC_MODULE* module, FMUSIC_CALLBACK callback)
    __asm__("__real__Z21FMUSIC_SetZxxCallbackP13FMUSIC_MODULEPFvS0_hE");

extern "C" {
// The tick's redisplay request: the first one ends the loading.
void __wrap_glutPostRedisplay()
{
    const int64_t now = k3l::monotonicNanoseconds();
    if (ticks.fetch_add(1) == 0) {
        firstTickNs.store(now);
        counting.store(true);
    }
    lastTickNs.store(now);
    __real_glutPostRedisplay();
}

void __wrap_glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height,
                         GLint border, GLenum format, GLenum type, const void* pixels)
{
    textures.fetch_add(pixels != nullptr ? 1 : 0);
    __real_glTexImage2D(target, level, internalFormat, width, height, border, format, type, pixels);
}

void* __wrap_malloc(size_t size)
{
    noteAllocation();
    return __real_malloc(size);
}

void* __wrap_calloc(size_t count, size_t size)
{
    noteAllocation();
    return __real_calloc(count, size);
}

void* __wrap_realloc(void* block, size_t size)
{
    noteAllocation();
    return __real_realloc(block, size);
}

void* __wrap__Znwm(size_t size)
{
    noteAllocation();
    return __real__Znwm(size);
}

void* __wrap__Znam(size_t size)
{
    noteAllocation();
    return __real__Znam(size);
}

[[noreturn]] void __wrap_exit(int status)
{
    counting.store(false);
    __real_exit(status);
}

// Registers the recorder in place of the show's handler, which it then calls.
signed char __wrap__Z21FMUSIC_SetZxxCallbackP13FMUSIC_MODULEPFvS0_hE(FMUSIC_MODULE* module, FMUSIC_CALLBACK callback)
{
    showHandler.store(callback);
    return __real__Z21FMUSIC_SetZxxCallbackP13FMUSIC_MODULEPFvS0_hE(module, callback != nullptr ? recordEvent : nullptr);
}
}
