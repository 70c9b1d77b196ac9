// A stand-in for PortAudio, linked in place of the library: one output device that plays at
// its rate but never settles, as Windows' MME output does under Wine. It asks for buffers in
// pairs, one pair every two buffers' time on average, each pair late by a random 0-5 ms, and
// reports a fixed latency: when each buffer is heard, as the player reckons it, jumps by up to
// a buffer's length from one buffer to the next. Told so (pace_device.h), it asks for one
// buffer at a time on time instead (from the start, or after a while of pairs), stops calling back, ends its stream as a host that failed
// does, or refuses to open, as a device that went away.
#include "pace_device.h"

#include "shared/monotonic_clock.h"

#include <portaudio.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>

namespace {

constexpr double REPORTED_LATENCY = 0.093;  // seconds, as Wine's MME output reports
constexpr int MAX_FRAMES = 4096;            // frames per buffer the stand-in accepts
constexpr int JITTER_US = 5000;             // microseconds a pair may come late

// The stream's callback, set by Pa_OpenStream; read by the device thread.
PaStreamCallback* streamCallback = nullptr;
// Frames per buffer and the rate: written by Pa_OpenStream, read by the device thread.
unsigned long bufferFrames = 0;
double sampleRate = 0.0;
// Whether the device thread plays: written by start and stop, read by the device thread.
std::atomic<bool> playing{false};
// What the test asked of the device: written by the test, read by the device thread and the calls.
std::atomic<bool> steady{false};
std::atomic<int> settlesAfterMs{-1};
// When the stream first asked for a buffer steadily: written by the device thread, read by the test.
std::atomic<int64_t> firstSteadyCall{-1};
std::atomic<DeviceFailure> failure{DeviceFailure::none};
std::atomic<bool> unplugged{false};
// The stream's finished callback: set by Pa_SetStreamFinishedCallback, called by the device thread.
PaStreamFinishedCallback* finishedCallback = nullptr;
// The device thread: started and joined by the main thread.
std::thread device;
// What the device and its host report.
const PaDeviceInfo deviceInfo = {2, "jittery stand-in", 0, 0, 2, 0.0, REPORTED_LATENCY, 0.0, 0.2, 44100.0};
const PaHostApiInfo hostInfo = {1, paMME, "stand-in", 1, 0, 0};
const PaStreamInfo streamInfo = {1, 0.0, REPORTED_LATENCY, 44100.0};

// The device thread: calls the stream back in pairs of buffers, or one at a time once steady.
void play()
{
    using Clock = std::chrono::steady_clock;
    static float buffer[MAX_FRAMES * 2];
    std::mt19937 random(7);
    const auto start = Clock::now();
    const auto bufferTime = std::chrono::duration<double>(bufferFrames / sampleRate);
    const int settlesMs = settlesAfterMs.load();
    bool steadyNow = steady.load() || settlesMs == 0;
    firstSteadyCall.store(-1);
    for (std::chrono::duration<double> due{0.0}; playing.load();) {
        std::this_thread::sleep_until(start + std::chrono::duration_cast<Clock::duration>(due) +
                                      std::chrono::microseconds(steadyNow ? 0 : random() % JITTER_US));
        if (failure.load() == DeviceFailure::silent) {
            due += bufferTime;
            continue;  // plays no more, and says nothing
        }
        if (failure.load() == DeviceFailure::ended) {
            finishedCallback(nullptr);
            return;
        }
        const int perCall = steadyNow ? 1 : 2;
        for (int i = 0; i < perCall; ++i) {
            if (steadyNow && firstSteadyCall.load() < 0) {
                firstSteadyCall.store(k3l::monotonicNanoseconds());
            }
            const double now = std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
            const PaStreamCallbackTimeInfo time = {0.0, now, now + REPORTED_LATENCY};
            streamCallback(nullptr, buffer, bufferFrames, &time, 0, nullptr);
        }
        due += perCall * bufferTime;
        steadyNow = steadyNow || (settlesMs > 0 && due >= std::chrono::milliseconds(settlesMs));
    }
}

// Ends the device thread.
void stop()
{
    playing.store(false);
    if (device.joinable()) {
        device.join();
    }
}

}  // namespace

PaError Pa_Initialize() { return paNoError; }
PaError Pa_Terminate() { return paNoError; }
PaDeviceIndex Pa_GetDefaultOutputDevice() { return 0; }
const PaDeviceInfo* Pa_GetDeviceInfo(PaDeviceIndex device) { return device == 0 ? &deviceInfo : nullptr; }
const PaHostApiInfo* Pa_GetHostApiInfo(PaHostApiIndex) { return &hostInfo; }
const PaStreamInfo* Pa_GetStreamInfo(PaStream*) { return &streamInfo; }
PaError Pa_AbortStream(PaStream*) { stop(); return paNoError; }
PaError Pa_CloseStream(PaStream*) { stop(); return paNoError; }

PaError Pa_OpenStream(PaStream** stream, const PaStreamParameters*, const PaStreamParameters*, double rate,
                      unsigned long frames, PaStreamFlags, PaStreamCallback* callback, void*)
{
    if (unplugged.load()) {
        return paDeviceUnavailable;
    }
    if (frames == 0 || frames > MAX_FRAMES) {
        return paBufferTooBig;
    }
    failure.store(DeviceFailure::none);
    streamCallback = callback;
    bufferFrames = frames;
    sampleRate = rate;
    *stream = &streamCallback;
    return paNoError;
}

PaError Pa_StartStream(PaStream*)
{
    playing.store(true);
    device = std::thread(play);
    return paNoError;
}

PaError Pa_SetStreamFinishedCallback(PaStream*, PaStreamFinishedCallback* callback)
{
    finishedCallback = callback;
    return paNoError;
}

void setDeviceSteady(bool steadyPace)
{
    steady.store(steadyPace);
}

void setDeviceSettlesAfter(int ms)
{
    settlesAfterMs.store(ms);
}

int64_t firstSteadyCallNs()
{
    return firstSteadyCall.load();
}

void failDevice(DeviceFailure how)
{
    failure.store(how);
}

void unplugDevice(bool gone)
{
    unplugged.store(gone);
}
