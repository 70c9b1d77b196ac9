// Linked into the soak build of the show (k3lvana_soak) with
// -Wl,--wrap=<FMUSIC_SetZxxCallback's symbol>: the show's handler is registered
// behind a recorder that notes every Zxx event it is given (monotonic time and
// byte) in a preallocated array, then passes it on. The list is written out as
// the process ends, to the file named by K3L_SOAK_EVENTS, one "ns byte" a line.
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/fmod.h"

namespace {

constexpr int MAX_EVENTS = 8192;  // events recorded at most; the show's music has 445

// One event as the show received it.
struct Arrival {
    int64_t ns;         // monotonic clock
    uint8_t parameter;  // the effect's byte
};

// The events so far: written by the recorder on the player's dispatcher thread, read at exit.
Arrival arrivals[MAX_EVENTS];
// Entries of arrivals used: advanced by the recorder, read at exit.
std::atomic<int> arrivalCount{0};
// The show's own handler: written once when the show registers it, read by the recorder.
std::atomic<FMUSIC_CALLBACK> showHandler{nullptr};

// Nanoseconds on the monotonic clock.
int64_t nowNs()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Notes the event, then hands it to the show.
void recordEvent(FMUSIC_MODULE* module, unsigned char parameter)
{
    const int index = arrivalCount.fetch_add(1);
    if (index < MAX_EVENTS) {
        arrivals[index] = Arrival{nowNs(), parameter};
    }
    const FMUSIC_CALLBACK handler = showHandler.load();
    if (handler != nullptr) {
        handler(module, parameter);
    }
}

// Writes the events out as the process ends, after exit's handlers have stopped the player.
__attribute__((destructor)) void writeEvents()
{
    const char* path = std::getenv("K3L_SOAK_EVENTS");
    if (path == nullptr) {
        return;
    }
    const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        return;
    }
    const int count = arrivalCount.load() < MAX_EVENTS ? arrivalCount.load() : MAX_EVENTS;
    for (int i = 0; i < count; ++i) {
        dprintf(fd, "%lld %u\n", static_cast<long long>(arrivals[i].ns), static_cast<unsigned>(arrivals[i].parameter));
    }
    if (arrivalCount.load() > MAX_EVENTS) {
        dprintf(fd, "overflow %d\n", arrivalCount.load());
    }
    close(fd);
}

}  // namespace

// The player's registration call, reached through the linker's wrap.
signed char __real__Z21FMUSIC_SetZxxCallbackP13FMUSIC_MODULEPFvS0_hE(FMUSIC_MODULE* module, FMUSIC_CALLBACK callback)
    __asm__("__real__Z21FMUSIC_SetZxxCallbackP13FMUSIC_MODULEPFvS0_hE");

// Registers the recorder in place of the show's handler, which it then calls.
extern "C" signed char __wrap__Z21FMUSIC_SetZxxCallbackP13FMUSIC_MODULEPFvS0_hE(FMUSIC_MODULE* module,
                                                                               FMUSIC_CALLBACK callback)
{
    showHandler.store(callback);
    return __real__Z21FMUSIC_SetZxxCallbackP13FMUSIC_MODULEPFvS0_hE(module, callback != nullptr ? recordEvent : nullptr);
}
