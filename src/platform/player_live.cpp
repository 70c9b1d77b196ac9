// The live audio output of the module player: the music played on an audio device through
// PortAudio or, while none plays, consumed in silence in real time, on one song position and
// one heard timeline, so that the output can change in the middle of a song without moving a
// row. Zxx events reach the song's handler on the dispatcher thread when their row is heard
// (player_dispatch.h).
//
// The song is rendered half a second ahead of what the output has consumed, so its events are
// known before they are due: when the device stops, they keep their times while the loss is
// found out. The output thread ("k3l-watch", or "k3l-silent" while it plays) watches the device:
// when its stream finishes or no buffer was asked for over DEVICE_LOSS_NS, it takes the song over
// on the silent output, continuing the device's timeline. The device thread ("k3l-device") closes
// the lost device and tries the default device again once a second, so that nothing the audio
// libraries take their time over holds up the song; a device that opens takes the song back once
// it runs at its pace.
//
// Threads: the main thread makes the player's calls (player_front.cpp); PortAudio's callback
// thread or the output thread consumes the song under playerRenderLock; the device thread alone
// opens and closes devices once the output is started; the dispatcher calls handlers.
#include <portaudio.h>
#include <pthread.h>
#include <semaphore.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <vector>

#include "platform/player_dispatch.h"
#include "platform/player_front.h"
#include "platform/player_live.h"
#include "platform/player_output.h"
#include "platform/player_system.h"

namespace {

constexpr unsigned long DEVICE_BUFFER_FRAMES = 512;  // frames per device callback, 11.6 ms at 44.1 kHz
constexpr double MAX_REPORTED_LATENCY = 1.0;         // seconds: a longer reported latency is taken as nonsense
constexpr int64_t PACE_TOLERANCE_NS = 2000000;       // nanoseconds two buffers' timings may disagree by
constexpr int64_t STEADY_NS = 40000000;              // nanoseconds of agreeing buffers before the device counts as running
constexpr int64_t SETTLE_LIMIT_NS = 2500000000;      // nanoseconds a playing device may take to settle before songs start anyway
constexpr int64_t LOOKAHEAD_NS = 500000000;          // nanoseconds of song rendered ahead of what the output consumed
constexpr int RENDER_FRAMES = 256;                   // frames rendered at a time into the lookahead
constexpr int64_t FILL_STEP_FRAMES = 2048;           // frames the lookahead may grow by in one take, beyond the take
constexpr int64_t DEVICE_LOSS_NS = 250000000;        // nanoseconds without a buffer asked for before a running device counts as lost
constexpr int64_t DEVICE_START_NS = 5000000000;      // the same for a device that has not yet run for SETTLED_RUN_NS (a sound server may take seconds to start pulling)
constexpr int64_t SETTLED_RUN_NS = 2000000000;       // nanoseconds a device runs at its pace before the shorter bound holds
constexpr int64_t WATCH_NS = 20000000;               // nanoseconds between two looks of the output thread
constexpr int64_t STOOD_STILL_NS = 200000000;        // nanoseconds an output thread's wake may be late by before the process counts as stopped
constexpr int64_t HOLD_NS = DEVICE_LOSS_NS + 3 * WATCH_NS;  // nanoseconds without consumption after which events wait for the output
constexpr int64_t RETRY_NS = 1000000000;             // nanoseconds between two tries of the default device after a loss
constexpr int64_t LOOK_NS = 5000000000;              // nanoseconds between two looks for a device when none was there at the start
                                                     // (a try costs about 30 ms of processor time)

// Who consumes the playing song.
enum class Consumer { none, device, silent };

// The output's state: the consumer, under playerRenderLock; read by tools without it.
std::atomic<Consumer> consumer{Consumer::none};
// The mixing rate in Hz: written by openOutput, read by every thread.
std::atomic<int> mixRate{DEFAULT_MIX_RATE};

// The song rendered ahead: frames [aheadRead, aheadWrite) of the song, at their frame's index
// modulo aheadCapacity. Sized by openOutput; under playerRenderLock after that.
struct Lookahead {
    std::vector<float> frames;  // interleaved stereo
    int64_t capacity = 0;       // frames it holds
    int64_t target = 0;         // frames kept rendered beyond aheadRead
    int64_t read = 0;           // song frame the output consumes next
    int64_t write = 0;          // song frame rendered next
    bool timed = false;         // whether the song's heard timeline is set (its consumption began)
};
Lookahead ahead;

// The heard timeline: when song frame 0 is (or would have been) heard, nanoseconds on the
// monotonic clock. Written by the consumer with every buffer it takes; read by the dispatcher.
std::atomic<int64_t> timelineOrigin{0};
// When the consumer last took frames of the song, nanoseconds; 0 while the song is not consumed
// (it waits for its output). Written by the consumer, read by the dispatcher.
std::atomic<int64_t> lastConsumedNs{0};

// The device stream, or null: written by openOutput, by the device thread, and by closeOutput
// once that thread has ended; read by the output thread.
std::atomic<PaStream*> deviceStream{nullptr};
// Set by the output thread (under playerRenderLock) when it gave the open device up, so that its
// callback plays no more of the song; the device thread closes it and clears it.
std::atomic<bool> deviceLost{false};
// The stream's latency as opened, in seconds: written before the stream starts, read by its callback and tools.
std::atomic<double> deviceLatency{0.0};
// When the device last asked for a buffer, nanoseconds: written by its callback, read by the output thread.
std::atomic<int64_t> lastCallbackNs{0};
// Whether the open device has run at its pace for SETTLED_RUN_NS: written by its callback, read by the output thread.
std::atomic<bool> deviceRan{false};
// Set by PortAudio when the stream ends by itself (its host failed): read by the output thread.
std::atomic<bool> deviceFinished{false};
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

// The output and device threads: started by openOutput, joined by closeOutput.
pthread_t outputThread;
pthread_t deviceThread;
// Whether they exist: written by openOutput and closeOutput.
bool outputStarted = false;
bool deviceThreadStarted = false;
// Tells both threads to end: written by closeOutput, read by the threads.
std::atomic<bool> outputQuit{false};
// Posted when a song starts and to stop: the calls post, the output thread waits.
sem_t outputWake;
// Posted when a device was lost and to stop: the output thread and closeOutput post, the device thread waits.
sem_t deviceWake;
// Whether the semaphores were initialised: written by openOutput.
bool outputWakeReady = false;
// How the device came and went, for tools: written by the output thread, read by tools.
std::atomic<int64_t> lossCount{0};
std::atomic<int64_t> lostAtNs{0};
std::atomic<int64_t> takenOverAtNs{0};
std::atomic<int64_t> reopenCount{0};
std::atomic<int64_t> takenBackAtNs{0};

// Nanoseconds that `frames` frames last at the mixing rate (exact, and without overflow for centuries).
int64_t framesToNs(int64_t frames)
{
    const int64_t rate = mixRate.load();
    return frames / rate * k3l::NANOSECONDS_PER_SECOND + frames % rate * k3l::NANOSECONDS_PER_SECOND / rate;
}

// Whole frames played at the mixing rate in `ns` nanoseconds.
int64_t nsToFrames(int64_t ns)
{
    const int64_t rate = mixRate.load();
    return ns / k3l::NANOSECONDS_PER_SECOND * rate + ns % k3l::NANOSECONDS_PER_SECOND * rate / k3l::NANOSECONDS_PER_SECOND;
}

// Renders the playing song toward `ahead.target` frames beyond what was consumed, at least
// `needed` frames and at most FILL_STEP_FRAMES more than that at a time, so that the lookahead
// builds up over the song's first buffers rather than in one. Caller holds playerRenderLock; a song plays.
void fillLookahead(int64_t needed)
{
    const int64_t until = std::max(ahead.read + needed,
                                   std::min(ahead.read + ahead.target, ahead.write + needed + FILL_STEP_FRAMES));
    bool queued = false;
    while (ahead.write < until) {
        const int64_t start = ahead.write % ahead.capacity;
        const int frames = static_cast<int>(std::min<int64_t>({RENDER_FRAMES, until - ahead.write,
                                                                ahead.capacity - start}));
        queued |= renderPlayingSong(&ahead.frames[start * MODULE_CHANNELS], frames, ahead.write) > 0;
        ahead.write += frames;
    }
    if (queued) {
        wakeDispatcher();
    }
}

// Takes the next `frames` frames of the playing song, heard from `firstHeardNs` on: copied to
// `out` unless null, and the heard timeline set from them. Caller holds playerRenderLock; a song plays.
void consumeSong(float* out, int64_t frames, int64_t firstHeardNs, int64_t now)
{
    fillLookahead(frames);
    for (int64_t done = 0; out != nullptr && done < frames;) {
        const int64_t start = (ahead.read + done) % ahead.capacity;
        const int64_t count = std::min(frames - done, ahead.capacity - start);
        std::copy(&ahead.frames[start * MODULE_CHANNELS], &ahead.frames[(start + count) * MODULE_CHANNELS],
                  out + done * MODULE_CHANNELS);
        done += count;
    }
    timelineOrigin.store(firstHeardNs - framesToNs(ahead.read));
    ahead.timed = true;
    const bool resumed = now - lastConsumedNs.load() > HOLD_NS;
    ahead.read += frames;
    lastConsumedNs.store(now);
    fillLookahead(0);
    if (resumed) {
        wakeDispatcher();  // events were held while nothing was consumed: their times are known again
    }
}

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

// Consumes, unheard, every frame of the song the heard timeline reaches before `untilNs`.
// Caller holds playerRenderLock; a song plays and is timed.
void passOverUntil(int64_t untilNs, int64_t now)
{
    const int64_t origin = timelineOrigin.load();
    const int64_t most = ahead.capacity - ahead.target;  // frames one take may hold
    for (int64_t due = nsToFrames(untilNs - origin) - ahead.read; due > 0;
         due = nsToFrames(untilNs - origin) - ahead.read) {
        consumeSong(nullptr, std::min(due, most), origin + framesToNs(ahead.read), now);
    }
}

// A device opened while the silent output plays takes the song over: the frames the silent
// timeline reaches before this buffer is heard are passed over, so the timeline goes on unmoved.
// Caller holds playerRenderLock.
void takeSongBack(int64_t firstHeardNs, int64_t now)
{
    takenBackAtNs.store(now);
    if (playingSong != nullptr && ahead.timed) {
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
                lastConsumedNs.store(0);  // the song waits for the device: so do its events
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
    if (Pa_OpenStream(&stream, nullptr, &parameters, mixRate.load(), DEVICE_BUFFER_FRAMES, paNoFlag, onDeviceBuffer,
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

// Opens and starts the platform's preferred audio device that accepts the stream. False if none does.
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

// Stops and closes the device at once, dropping what it still holds.
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

// Gives the device up and plays the song on the silent output from the frame the device had
// reached, on the device's heard timeline; the device thread closes it. The output thread's call.
void loseDevice(int64_t now)
{
    const bool first = lossCount.load() == 0;
    if (first) {
        lostAtNs.store(lastCallbackNs.load());
    }
    {
        std::lock_guard<std::mutex> hold(playerRenderLock);
        deviceLost.store(true);
        consumer.store(Consumer::silent);
        if (playingSong != nullptr && !ahead.timed) {
            consumeSong(nullptr, 0, now, now);  // the song had not started on the device: it starts now, where it stands
        }
    }
    if (first) {
        takenOverAtNs.store(k3l::monotonicNanoseconds());
    }
    lossCount.fetch_add(1);
    sem_post(&deviceWake);
}

// Consumes the song on the silent output up to `now` on the heard timeline; a song not yet
// timed starts now, where it stands. Caller holds playerRenderLock; the silent output consumes.
void consumeSilently(int64_t now)
{
    if (playingSong == nullptr) {
        return;
    }
    if (!ahead.timed) {
        consumeSong(nullptr, 0, now, now);
    }
    passOverUntil(now, now);
}

// The output thread: consumes the song while the silent output plays it, and watches the device
// while one plays.
void* runOutput(void*)
{
    useRealTimeScheduling();
    Consumer named = Consumer::none;
    int64_t plannedWake = k3l::monotonicNanoseconds();
    int64_t watchedSince = plannedWake;  // the device's silence counts from here at the earliest
    while (!outputQuit.load()) {
        const int64_t now = k3l::monotonicNanoseconds();
        const int64_t late = now - plannedWake;
        if (late > STOOD_STILL_NS) {
            // The process stood still (stopped and continued): a device is given its time to play
            // again, and a song on the silent output waits for the time lost (a device sets the
            // song's timeline itself as it plays again).
            watchedSince = now;
            std::lock_guard<std::mutex> hold(playerRenderLock);
            if (consumer.load() == Consumer::silent && ahead.timed) {
                timelineOrigin.store(timelineOrigin.load() + late);
            }
        }
        if (deviceStream.load() != nullptr && !deviceLost.load()) {
            const int64_t silence = now - std::max(lastCallbackNs.load(), watchedSince);
            if (deviceFinished.load() || silence > (deviceRan.load() ? DEVICE_LOSS_NS : DEVICE_START_NS)) {
                loseDevice(now);
            }
        }
        {
            std::lock_guard<std::mutex> hold(playerRenderLock);
            if (consumer.load() == Consumer::silent) {
                consumeSilently(k3l::monotonicNanoseconds());
            }
        }
        if (consumer.load() != named) {
            // Named after its work, as the system's thread lists show it.
            named = consumer.load();
            pthread_setname_np(pthread_self(), named == Consumer::silent ? "k3l-silent" : "k3l-watch");
        }
        plannedWake = k3l::monotonicNanoseconds() + WATCH_NS;
        waitSemaphoreUntil(&outputWake, plannedWake);
    }
    return nullptr;
}

// The device thread: closes a device given up for lost, and while none is open tries the
// platform's preferred device: once a second after a loss, every five seconds when there was none
// at the start.
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

}  // namespace

int64_t heardNsOfFrame(int64_t frame)
{
    const int64_t consumed = lastConsumedNs.load();
    if (consumed == 0 || k3l::monotonicNanoseconds() - consumed > HOLD_NS) {
        return -1;
    }
    return timelineOrigin.load() + framesToNs(frame);
}

PlayerOutput playerOutput()
{
    switch (consumer.load()) {
    case Consumer::device:
        return PLAYER_OUTPUT_DEVICE;
    case Consumer::silent:
        return PLAYER_OUTPUT_SILENT;
    default:
        return PLAYER_OUTPUT_NONE;
    }
}

double playerDeviceLatencyMs()
{
    return consumer.load() == Consumer::device ? deviceLatency.load() * 1000.0 : 0.0;
}

PlayerChanges playerChanges()
{
    return PlayerChanges{lossCount.load(), lostAtNs.load(), takenOverAtNs.load(), reopenCount.load(),
                         takenBackAtNs.load()};
}

void openOutput(int rate)
{
    mixRate.store(rate);
    ahead.target = nsToFrames(LOOKAHEAD_NS);
    ahead.capacity = ahead.target + 2 * RENDER_FRAMES + static_cast<int64_t>(DEVICE_BUFFER_FRAMES) * 16;
    ahead.frames.assign(static_cast<size_t>(ahead.capacity * MODULE_CHANNELS), 0.0f);
    ahead.read = ahead.write = 0;
    prepareAudioSystem();
    startDispatcher();
    deviceLost.store(false);
    lossCount.store(0);
    lostAtNs.store(0);
    takenOverAtNs.store(0);
    reopenCount.store(0);
    takenBackAtNs.store(0);
    const bool device = openDevice();
    {
        std::lock_guard<std::mutex> hold(playerRenderLock);
        consumer.store(device ? Consumer::device : Consumer::silent);
    }
    if (!outputWakeReady) {
        sem_init(&outputWake, 0, 0);
        sem_init(&deviceWake, 0, 0);
        outputWakeReady = true;
    }
    outputQuit.store(false);
    outputStarted = pthread_create(&outputThread, nullptr, runOutput, nullptr) == 0;
    deviceThreadStarted = pthread_create(&deviceThread, nullptr, runDevice, nullptr) == 0;
}

void closeOutput()
{
    outputQuit.store(true);
    if (outputStarted) {
        outputStarted = false;
        sem_post(&outputWake);
        pthread_join(outputThread, nullptr);
    }
    if (deviceThreadStarted) {
        deviceThreadStarted = false;
        sem_post(&deviceWake);
        pthread_join(deviceThread, nullptr);
    }
    closeDevice();
    {
        std::lock_guard<std::mutex> hold(playerRenderLock);
        consumer.store(Consumer::none);
    }
    releaseAudioSystem();
    stopDispatcher();
}

bool outputLoops()
{
    return true;
}

void outputSongStarted()
{
    ahead.read = ahead.write = 0;
    ahead.timed = false;
    lastConsumedNs.store(0);
    if (outputWakeReady) {
        sem_post(&outputWake);
    }
}

void outputSongStopped()
{
    lastConsumedNs.store(0);
}

void waitForOutputHandlers()
{
    waitForHandlers();
}
