#include "studio/sound.h"

#include <portaudio.h>

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "offline/virtual_clock.h"
#include "platform/quiet_audio.h"
#include "shared/monotonic_clock.h"

namespace {

constexpr int SOUND_RATE = 44100;  // Hz, the rate the offline player renders at
constexpr int64_t COUNTS_PER_FRAME = VIRTUAL_COUNTS_PER_SECOND / SOUND_RATE;  // virtual counts
constexpr double MAX_REPORTED_LATENCY = 1.0;   // seconds: a longer reported latency is taken as nonsense
constexpr int64_t PACE_TOLERANCE_NS = 2000000;  // nanoseconds two buffers' timings may disagree by

// The sound's state. `stream` is the main thread's; the rest is under `lock`, taken by the main
// thread's calls and tried by the device's callback (which plays silence when it cannot have it).
struct Sound {
    PaStream* stream = nullptr;     // null: no device
    std::mutex lock;
    const SongTake* take = nullptr; // the song's take played, its frames below its ready count
    PlayRun run;                    // what plays
    bool playing = false;           // false: silence
    int64_t served = 0;             // frames of the run handed to the device
    int64_t lastOrigin = 0;         // nanoseconds: when the run's first frame is heard, as the last buffer saw it
    int64_t heardOrigin = 0;        // the same, once two buffers in a row agreed on it
    bool timed = false;             // whether heardOrigin holds for this run
};
Sound sound;

// Nanoseconds that `frames` frames last.
int64_t framesToNs(int64_t frames)
{
    return frames / SOUND_RATE * k3l::NANOSECONDS_PER_SECOND + frames % SOUND_RATE * k3l::NANOSECONDS_PER_SECOND / SOUND_RATE;
}

// The device's callback: the run from where it stands while playing, else silence. Each buffer
// is heard its reported latency after it is asked for; once two buffers in a row agree on when
// the run's first frame is heard (a device filling its queue asks in bursts), that is the run's timing.
int fill(const void*, void* output, unsigned long count, const PaStreamCallbackTimeInfo* time, PaStreamCallbackFlags,
         void*)
{
    const int64_t now = k3l::monotonicNanoseconds();
    float* out = static_cast<float*>(output);
    std::memset(out, 0, count * 2 * sizeof(float));
    std::unique_lock<std::mutex> hold(sound.lock, std::try_to_lock);
    if (!hold.owns_lock() || !sound.playing) {
        return paContinue;
    }
    const int64_t total = sound.take != nullptr ? sound.take->ready.load() : 0;
    for (unsigned long i = 0; i < count; ++i) {
        const int64_t at = runCount(sound.run, (sound.served + static_cast<int64_t>(i)) * COUNTS_PER_FRAME) / COUNTS_PER_FRAME;
        if (at < total) {
            out[i * 2] = sound.take->sound[static_cast<size_t>(at) * 2];
            out[i * 2 + 1] = sound.take->sound[static_cast<size_t>(at) * 2 + 1];
        }
    }
    const double reported = time->outputBufferDacTime - time->currentTime;
    if (reported > 0.0 && reported < MAX_REPORTED_LATENCY) {
        const int64_t origin = now + static_cast<int64_t>(reported * k3l::NANOSECONDS_PER_SECOND) - framesToNs(sound.served);
        if (sound.served > 0 && std::abs(origin - sound.lastOrigin) <= PACE_TOLERANCE_NS) {
            sound.heardOrigin = origin;
            sound.timed = true;
        }
        sound.lastOrigin = origin;
    }
    sound.served += static_cast<int64_t>(count);
    return paContinue;
}

// Stops and closes the device as the process ends, before the state its callback reads is gone.
void closeSound()
{
    if (sound.stream != nullptr) {
        Pa_AbortStream(sound.stream);
        Pa_CloseStream(sound.stream);
        sound.stream = nullptr;
        Pa_Terminate();
    }
}

}  // namespace

bool runLoops(const PlayRun& run)
{
    return run.loopOut > run.loopIn && run.from < run.loopOut;
}

int64_t runCount(const PlayRun& run, int64_t elapsed)
{
    const int64_t at = run.from + elapsed;
    if (!runLoops(run) || at < run.loopOut) {
        return at;
    }
    return run.loopIn + (at - run.loopOut) % (run.loopOut - run.loopIn);
}

bool setStudioSound(const SongTake* take)
{
    {
        std::lock_guard<std::mutex> hold(sound.lock);
        sound.take = take;
    }
    if (sound.stream == nullptr) {
        quietAudioLibraries();
        if (Pa_Initialize() != paNoError ||
            Pa_OpenDefaultStream(&sound.stream, 0, 2, paFloat32, SOUND_RATE, paFramesPerBufferUnspecified, fill,
                                 nullptr) != paNoError ||
            Pa_StartStream(sound.stream) != paNoError) {
            sound.stream = nullptr;
            return false;
        }
        std::atexit(closeSound);
    }
    return true;
}

void playStudioSound(const PlayRun& run, bool playing)
{
    std::lock_guard<std::mutex> hold(sound.lock);
    sound.run = run;
    sound.playing = playing;
    sound.served = 0;
    sound.timed = false;
}

bool studioSoundHeard(int64_t now, int64_t& elapsed)
{
    std::lock_guard<std::mutex> hold(sound.lock);
    if (!sound.timed) {
        return false;
    }
    elapsed = static_cast<int64_t>(static_cast<double>(now - sound.heardOrigin) * VIRTUAL_COUNTS_PER_SECOND /
                                   k3l::NANOSECONDS_PER_SECOND);
    return true;
}

const SongTake* studioSoundTake()
{
    std::lock_guard<std::mutex> hold(sound.lock);
    return sound.take;
}

double studioSoundLatency()
{
    const PaStreamInfo* info = sound.stream != nullptr ? Pa_GetStreamInfo(sound.stream) : nullptr;
    return info != nullptr ? info->outputLatency : 0.0;
}
