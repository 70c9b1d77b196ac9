// The live player on Linux: PortAudio over ALSA (and, through ALSA's pulse plugin,
// PulseAudio or PipeWire); real-time scheduling where the system grants it.
#include "platform/player_system.h"

#include <alsa/asoundlib.h>
#include <pa_linux_alsa.h>
#include <pthread.h>
#include <sched.h>

#include <cerrno>
#include <ctime>

#include "platform/player_dispatch.h"
#include "platform/quiet_audio.h"

namespace {

constexpr int64_t NS_PER_SECOND = 1000000000;  // nanoseconds in a second

// Whether ALSA's configuration names a default PCM device. Without one (no alsa.conf, or one
// that defines no device), PortAudio's ALSA device scan fails an assertion and aborts the
// process, so the player does not start PortAudio then.
bool alsaHasDefaultDevice()
{
    snd_config_t* node = nullptr;
    const bool found = snd_config_update() >= 0 && snd_config != nullptr &&
                       snd_config_search(snd_config, "pcm.default", &node) >= 0;
    if (!found) {
        snd_config_update_free_global();
    }
    return found;
}

// Whether ALSA's default device plays at a pace of its own. A "null" device swallows sound and
// reports no latency, so the device would never count as running and the song would never start.
bool alsaDefaultDevicePlays()
{
    snd_pcm_t* pcm = nullptr;
    if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0) {
        return true;  // PortAudio tries it and reports the failure
    }
    const bool plays = snd_pcm_type(pcm) != SND_PCM_TYPE_NULL;
    snd_pcm_close(pcm);
    return plays;
}

}  // namespace

void prepareAudioSystem()
{
    quietAudioLibraries();
}

void releaseAudioSystem()
{
    snd_config_update_free_global();  // libasound's cached configuration, kept otherwise until the process ends
}

bool audioSystemUsable()
{
    return alsaHasDefaultDevice() && alsaDefaultDevicePlays();
}

int outputDevices(PaDeviceIndex devices[MAX_OUTPUT_DEVICES])
{
    devices[0] = Pa_GetDefaultOutputDevice();
    return devices[0] == paNoDevice ? 0 : 1;
}

void prioritiseDeviceStream(PaStream* stream, PaHostApiTypeId api)
{
    if (api == paALSA) {
        // A real-time callback thread where the system allows it: fewer underruns on a busy machine.
        PaAlsa_EnableRealtimeScheduling(stream, 1);
    }
}

void useRealTimeScheduling()
{
    sched_param priority{};
    priority.sched_priority = sched_get_priority_min(SCHED_FIFO);
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &priority);
}

void waitSemaphoreUntil(sem_t* semaphore, int64_t dueNs)
{
    timespec until;
    until.tv_sec = static_cast<time_t>(dueNs / NS_PER_SECOND);
    until.tv_nsec = static_cast<long>(dueNs % NS_PER_SECOND);
    while (sem_clockwait(semaphore, CLOCK_MONOTONIC, &until) != 0 && errno == EINTR) {
    }
}
