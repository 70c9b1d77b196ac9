// The live output's audio device through PortAudio: the stream and its callback, which consumes
// the song once the device runs at its pace, and the device thread ("k3l-device"), which closes a
// device given up for lost and tries the default device again, so that nothing the audio
// libraries take their time over holds up the song (player_live.cpp).
#include <portaudio.h>
#include <pthread.h>

#include <algorithm>

#include "platform/player_front.h"
#include "platform/player_live.h"
#include "platform/player_live_parts.h"
#include "platform/player_system.h"

namespace {

constexpr double MAX_REPORTED_LATENCY = 1.0;     // seconds: a longer reported latency is taken as nonsense
constexpr int64_t PACE_TOLERANCE_NS = 2000000;   // nanoseconds two buffers' timings may disagree by
constexpr int64_t STEADY_NS = 40000000;          // nanoseconds of agreeing buffers before the device counts as running
constexpr int64_t SETTLE_LIMIT_NS = 2500000000;  // nanoseconds a playing device may take to settle before songs start anyway
constexpr int64_t SETTLED_RUN_NS = 2000000000;   // nanoseconds a device runs at its pace before the shorter loss bound holds
constexpr int64_t RETRY_NS = 1000000000;         // nanoseconds between two tries of the default device after a loss
constexpr int64_t LOOK_NS = 5000000000;          // nanoseconds between two looks for a device when none was there at the start
                                                 // (a try costs about 30 ms of processor time)

// The device stream, or null: written by openOutput, by the device thread, and by closeOutput
// once that thread has ended; read by the output thread.
std::atomic<PaStream*> deviceStream{nullptr};
// The stream's latency as opened, in seconds: written before the stream starts, read by its callback and tools.
std::atomic<double> deviceLatency{0.0};
// The device callback's own bookkeeping, reset before each stream starts.
struct DevicePace {
    int64_t framesWritten = 0;  // frames handed to the device since the stream started
    int64_t lastOrigin = 0;     // nanoseconds: when the stream's first frame is heard, as the last buffer saw it
    int64_t lastCall = 0;       // nanoseconds: when the last buffer was asked for
    int64_t steadySince = -1;   // nanoseconds: first buffer of the current run of agreeing ones; -1 if none
    int64_t waitingSince = -1;  // nanoseconds: first buffer after the start or the last underrun while running
    bool running = false;       // the device consumes at full rate: songs may play on it
    int64_t runningSince = 0;   // nanoseconds: when it last began to run
};
// The device callback's pace: its thread's alone while the stream runs.
DevicePace devicePace;

// Follows the device's pace: it counts as running once the buffers asked for over
// STEADY_NS all agree on when the stream's first frame is heard. Until then the
// device only fills its queue, or a sound server has not started pulling: the
// latency it reports for these buffers is not when they are heard. An underrun
// (flagged, or an empty queue) starts the wait over: the sound server may then
// stall, while reporting a short latency, before it plays again.
// A device that plays but never settles (one that asks for buffers in bursts, such as
// Windows' MME output) counts as running once it has been waited for SETTLE_LIMIT_NS:
// its events are then timed on the latency it reports.
void noteDevicePace(int64_t now, bool underrun, int64_t firstHeardNs, unsigned long frames)
{
    DevicePace& pace = devicePace;
    const int64_t origin = firstHeardNs - framesToNs(pace.framesWritten);
    const int64_t disagreement = origin > pace.lastOrigin ? origin - pace.lastOrigin : pace.lastOrigin - origin;
    if (pace.waitingSince < 0 || (underrun && pace.running)) {
        pace.waitingSince = now;
    }
    if (underrun) {
        pace.running = false;
        pace.steadySince = -1;
    } else if (pace.framesWritten > 0 && disagreement <= PACE_TOLERANCE_NS) {
        if (pace.steadySince < 0) {
            pace.steadySince = pace.lastCall;
        }
        if (now - pace.steadySince >= STEADY_NS && !pace.running) {
            pace.running = true;
            pace.runningSince = now;
        }
    } else {
        pace.steadySince = -1;
    }
    if (!underrun && now - pace.waitingSince >= SETTLE_LIMIT_NS && !pace.running) {
        pace.running = true;
        pace.runningSince = now;
    }
    pace.lastOrigin = origin;
    pace.lastCall = now;
    pace.framesWritten += static_cast<int64_t>(frames);
}

// A device opened while the silent output plays takes the song over: the frames the silent
// timeline reaches before this buffer is heard are passed over, so the timeline goes on unmoved.
// Caller holds playerRenderLock.
void takeSongBack(int64_t firstHeardNs, int64_t now)
{
    takenBackAtNs.store(now);
    if (playingSong != nullptr && songTimed()) {
        passOverUntil(firstHeardNs, now);
    }
}

// PortAudio's callback: the next device buffer. The song's frames are heard from the moment
// the device asks for the buffer plus the latency it reports for it; the song waits (in
// silence) while the device is not running at its pace. A device opened while the silent
// output plays takes the song over at its first running buffer.
int onDeviceBuffer(const void*, void* outputBuffer, unsigned long frames, const PaStreamCallbackTimeInfo* time,
                   PaStreamCallbackFlags flags, void*)
{
    const int64_t now = k3l::monotonicNanoseconds();
    lastCallbackNs.store(now);
    const double reported = time->outputBufferDacTime - time->currentTime;
    const bool underrun = (flags & paOutputUnderflow) != 0 || reported <= 0.0;
    const double latency = reported > 0.0 && reported < MAX_REPORTED_LATENCY ? reported : deviceLatency.load();
    const int64_t firstHeardNs = now + static_cast<int64_t>(latency * k3l::NANOSECONDS_PER_SECOND);
    noteDevicePace(now, underrun, firstHeardNs, frames);
    if (devicePace.running && !deviceRan.load(std::memory_order_relaxed) && now - devicePace.runningSince >= SETTLED_RUN_NS) {
        deviceRan.store(true);
    }

    float* out = static_cast<float*>(outputBuffer);
    bool rendered = false;
    if (playerRenderLock.try_lock()) {
        if (!deviceLost.load() && consumer.load() != Consumer::none) {
            if (devicePace.running) {
                if (consumer.load() == Consumer::silent) {
                    takeSongBack(firstHeardNs, now);
                }
                consumer.store(Consumer::device);
                if (playingSong != nullptr) {
                    consumeSong(out, static_cast<int64_t>(frames), firstHeardNs, now);
                    rendered = true;
                }
            } else if (consumer.load() == Consumer::device) {
                holdSongEvents();  // the song waits for the device: so do its events
            }
        }
        playerRenderLock.unlock();
    }
    if (!rendered) {
        std::fill(out, out + frames * MODULE_CHANNELS, 0.0f);
    }
    return paContinue;
}

// PortAudio's word that the stream ended by itself: its host gave up (a sound server gone, a device removed).
void onDeviceFinished(void*)
{
    deviceFinished.store(true);
}

// Opens and starts a stream on the device, playing silence until it runs; false if it cannot.
bool openStream(PaDeviceIndex device)
{
    const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
    if (info == nullptr) {
        return false;
    }
    PaStreamParameters parameters{};
    parameters.device = device;
    parameters.channelCount = MODULE_CHANNELS;
    parameters.sampleFormat = paFloat32;
    parameters.suggestedLatency = info->defaultLowOutputLatency;
    PaStream* stream = nullptr;
    if (Pa_OpenStream(&stream, nullptr, &parameters, outputRate(), DEVICE_BUFFER_FRAMES, paNoFlag, onDeviceBuffer,
                      nullptr) != paNoError) {
        return false;
    }
    const PaStreamInfo* opened = Pa_GetStreamInfo(stream);
    deviceLatency.store(opened != nullptr ? opened->outputLatency : parameters.suggestedLatency);
    devicePace = DevicePace{};
    deviceRan.store(false);
    deviceFinished.store(false);
    lastCallbackNs.store(k3l::monotonicNanoseconds());
    Pa_SetStreamFinishedCallback(stream, onDeviceFinished);
    const PaHostApiInfo* api = Pa_GetHostApiInfo(info->hostApi);
    if (api != nullptr) {
        prioritiseDeviceStream(stream, api->type);
    }
    if (Pa_StartStream(stream) != paNoError) {
        Pa_CloseStream(stream);
        return false;
    }
    deviceStream.store(stream);
    return true;
}

}  // namespace

// The device's flags and figures, with who writes and who reads each, are in player_live_parts.h.
std::atomic<bool> deviceLost{false};
std::atomic<int64_t> lastCallbackNs{0};
std::atomic<bool> deviceRan{false};
std::atomic<bool> deviceFinished{false};
std::atomic<int64_t> reopenCount{0};
std::atomic<int64_t> takenBackAtNs{0};

bool deviceOpen()
{
    return deviceStream.load() != nullptr;
}

bool openDevice()
{
    if (!audioSystemUsable() || Pa_Initialize() != paNoError) {
        return false;
    }
    PaDeviceIndex devices[MAX_OUTPUT_DEVICES];
    const int count = outputDevices(devices);
    for (int i = 0; i < count; ++i) {
        if (openStream(devices[i])) {
            return true;
        }
    }
    Pa_Terminate();
    return false;
}

void closeDevice()
{
    PaStream* stream = deviceStream.load();
    if (stream == nullptr) {
        return;
    }
    Pa_AbortStream(stream);
    Pa_CloseStream(stream);
    deviceStream.store(nullptr);
    Pa_Terminate();
}

// The device thread: a lost device is tried again once a second, one missing at the start every five seconds.
void* runDevice(void*)
{
    pthread_setname_np(pthread_self(), "k3l-device");
    int64_t every = deviceStream.load() == nullptr ? LOOK_NS : RETRY_NS;
    int64_t nextTry = k3l::monotonicNanoseconds() + every;
    while (!outputQuit.load()) {
        if (deviceLost.load()) {
            closeDevice();
            deviceLost.store(false);
            every = RETRY_NS;
            nextTry = k3l::monotonicNanoseconds() + every;
        }
        if (deviceStream.load() == nullptr && k3l::monotonicNanoseconds() >= nextTry) {
            if (openDevice()) {
                reopenCount.fetch_add(1);
            }
            nextTry = k3l::monotonicNanoseconds() + every;
        }
        waitSemaphoreUntil(&deviceWake, deviceStream.load() == nullptr ? nextTry : k3l::monotonicNanoseconds() + RETRY_NS);
    }
    return nullptr;
}

double playerDeviceLatencyMs()
{
    return consumer.load() == Consumer::device ? deviceLatency.load() * 1000.0 : 0.0;
}
