// The live player on Windows: PortAudio over WASAPI, or MME where WASAPI is missing or
// refuses the stream; the player's threads at the highest priority of their process.
#include "platform/player_system.h"

#include <windows.h>
#include <mmsystem.h>

#include <cerrno>
#include <ctime>

#include "platform/player_dispatch.h"

namespace {

constexpr UINT TIMER_RESOLUTION_MS = 1;        // milliseconds: how finely the player's threads sleep
constexpr int64_t NS_PER_SECOND = 1000000000;  // nanoseconds in a second

// Appends the default output device of a host API, when it has one.
void addDefaultDevice(PaHostApiTypeId type, PaDeviceIndex devices[], int& count)
{
    const PaHostApiIndex api = Pa_HostApiTypeIdToHostApiIndex(type);
    const PaHostApiInfo* info = api < 0 ? nullptr : Pa_GetHostApiInfo(api);
    if (info != nullptr && info->defaultOutputDevice != paNoDevice && count < MAX_OUTPUT_DEVICES) {
        devices[count++] = info->defaultOutputDevice;
    }
}

}  // namespace

void prepareAudioSystem()
{
    timeBeginPeriod(TIMER_RESOLUTION_MS);  // Windows' default tick is 15.6 ms
}

void releaseAudioSystem()
{
    timeEndPeriod(TIMER_RESOLUTION_MS);
}

bool audioSystemUsable()
{
    return true;
}

int outputDevices(PaDeviceIndex devices[MAX_OUTPUT_DEVICES])
{
    int count = 0;
    addDefaultDevice(paWASAPI, devices, count);
    addDefaultDevice(paMME, devices, count);
    return count;
}

void prioritiseDeviceStream(PaStream*, PaHostApiTypeId)
{
    // PortAudio's WASAPI and MME hosts raise their callback threads themselves.
}

void useRealTimeScheduling()
{
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
}

void waitSemaphoreUntil(sem_t* semaphore, int64_t dueNs)
{
    // No sem_clockwait here: the wait is timed on the wall clock, for what is left until dueNs.
    const int64_t left = dueNs - k3l::monotonicNanoseconds();
    if (left <= 0) {
        return;
    }
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    const int64_t untilNs = static_cast<int64_t>(now.tv_sec) * NS_PER_SECOND + now.tv_nsec + left;
    timespec until;
    until.tv_sec = static_cast<time_t>(untilNs / NS_PER_SECOND);
    until.tv_nsec = static_cast<long>(untilNs % NS_PER_SECOND);
    while (sem_timedwait(semaphore, &until) != 0 && errno == EINTR) {
    }
}
