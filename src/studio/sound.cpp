#include "studio/sound.h"

#include <portaudio.h>

#include <algorithm>
#include <atomic>
#include <cstring>

#include "capture/virtual_clock.h"

namespace {

constexpr int SOUND_RATE = 44100;  // Hz, the rate the offline player renders at
constexpr int COUNTS_PER_FRAME = VIRTUAL_COUNTS_PER_SECOND / SOUND_RATE;  // virtual counts

// The sound's state: `frames` written by setStudioSound while the stream is stopped, read by the
// device's callback; the atomics written by the main thread and the callback.
struct Sound {
    std::vector<float> frames;          // interleaved stereo
    PaStream* stream = nullptr;         // null: no device
    std::atomic<int64_t> next{0};       // the next frame the device gets
    std::atomic<bool> playing{false};   // false: silence
};
Sound sound;

// The device's callback: the song from `next` on while playing, else silence.
int fill(const void*, void* output, unsigned long count, const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags, void*)
{
    float* out = static_cast<float*>(output);
    std::memset(out, 0, count * 2 * sizeof(float));
    if (!sound.playing.load()) {
        return paContinue;
    }
    const int64_t at = sound.next.load();
    const int64_t total = static_cast<int64_t>(sound.frames.size() / 2);
    const int64_t taken = std::clamp<int64_t>(total - at, 0, static_cast<int64_t>(count));
    if (taken > 0) {
        std::memcpy(out, sound.frames.data() + at * 2, static_cast<size_t>(taken) * 2 * sizeof(float));
    }
    int64_t expected = at;  // a seek meanwhile wins
    sound.next.compare_exchange_strong(expected, at + static_cast<int64_t>(count));
    return paContinue;
}

}  // namespace

bool setStudioSound(std::vector<float>&& frames)
{
    if (sound.stream != nullptr) {
        Pa_StopStream(sound.stream);
    }
    sound.frames = std::move(frames);
    if (sound.stream == nullptr) {
        if (Pa_Initialize() != paNoError ||
            Pa_OpenDefaultStream(&sound.stream, 0, 2, paFloat32, SOUND_RATE, paFramesPerBufferUnspecified, fill,
                                 nullptr) != paNoError) {
            sound.stream = nullptr;
            return false;
        }
    }
    return Pa_StartStream(sound.stream) == paNoError;
}

void playStudioSound(int64_t count, bool playing)
{
    sound.next.store(count / COUNTS_PER_FRAME);
    sound.playing.store(playing);
}

double studioSoundLatency()
{
    const PaStreamInfo* info = sound.stream != nullptr ? Pa_GetStreamInfo(sound.stream) : nullptr;
    return info != nullptr ? info->outputLatency : 0.0;
}
