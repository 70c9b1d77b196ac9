// The live module player: the calls of fmod.h over libopenmpt, with the music
// played on an audio device through PortAudio or, when none can be opened,
// consumed in silence in real time. Zxx events reach the song's handler on the
// dispatcher thread when their row is heard (player_dispatch.h).
//
// Threads: the main thread makes the calls, and so may a handler; the output
// thread (PortAudio's callback thread, or the silent output's own) renders the
// playing song under renderLock and queues its events; the dispatcher calls the
// handlers.
#include "platform/fmod.h"

#include <portaudio.h>
#include <pthread.h>
#include <semaphore.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <vector>

#include "platform/module_render.h"
#include "platform/player_dispatch.h"
#include "platform/player_live.h"
#include "platform/player_system.h"

struct FMUSIC_MODULE {
    ModuleRender render;  // under renderLock once played; before, the loading call's
    std::atomic<FMUSIC_CALLBACK> callback{nullptr};  // written by FMUSIC_SetZxxCallback, read by the output thread
    bool atStart = true;  // whether the decoder has not played yet: under renderLock
};

namespace {

constexpr unsigned long DEVICE_BUFFER_FRAMES = 512;  // frames per device callback, 11.6 ms at 44.1 kHz
constexpr double MAX_REPORTED_LATENCY = 1.0;  // seconds: a longer reported latency is taken as nonsense
constexpr int64_t PACE_TOLERANCE_NS = 2000000;  // nanoseconds two buffers' timings may disagree by
constexpr int64_t STEADY_NS = 40000000;       // nanoseconds of agreeing buffers before the device counts as running
constexpr int64_t SETTLE_LIMIT_NS = 2500000000;  // nanoseconds a playing device may take to settle before songs start anyway
constexpr int SILENT_BUFFER_FRAMES = 256;     // frames rendered at a time by the silent output
constexpr int SILENT_LOOKAHEAD_FRAMES = 512;  // frames the silent output renders ahead of the clock
constexpr int EVENTS_PER_BUFFER = 1024;       // events one rendered buffer may carry
constexpr int64_t NS_PER_SECOND = 1000000000;  // nanoseconds in a second

// Serialises the calls of fmod.h, which the main thread and handlers may make; never held while waiting for a handler.
std::mutex callLock;
// Serialises rendering with Play and Stop: the output thread holds it while it renders, a call while it switches songs.
std::mutex renderLock;
// The song being rendered, or null: written by Play and Stop, read by the output thread, under renderLock.
FMUSIC_MODULE* playingSong = nullptr;
// The events of one rendered buffer: the output thread's, under renderLock.
ModuleEvent bufferEvents[EVENTS_PER_BUFFER];

// The output in use: written by FSOUND_Init and FSOUND_Close, read by every call and by tools.
std::atomic<PlayerOutput> output{PLAYER_OUTPUT_NONE};
// The mixing rate in Hz: written by FSOUND_Init, read by the calls and the output thread.
std::atomic<int> mixRate{DEFAULT_MIX_RATE};
// Every song loaded and not yet freed: read and written under callLock.
std::vector<FMUSIC_MODULE*> loadedSongs;
// Whether the exit handler is registered: under callLock.
bool exitHandlerRegistered = false;

// The device stream, or null: under callLock, written while no callback runs.
PaStream* deviceStream = nullptr;
// The stream's latency as opened, in seconds: written by FSOUND_Init before the stream starts, read by its callback and tools.
std::atomic<double> deviceLatency{0.0};
// The device callback's own bookkeeping, reset by FSOUND_Init before the stream starts.
struct DevicePace {
    int64_t framesWritten = 0;  // frames handed to the device since the stream started
    int64_t lastOrigin = 0;     // nanoseconds: when the stream's first frame is heard, as the last buffer saw it
    int64_t lastCall = 0;       // nanoseconds: when the last buffer was asked for
    int64_t steadySince = -1;   // nanoseconds: first buffer of the current run of agreeing ones; -1 if none
    int64_t waitingSince = -1;  // nanoseconds: first buffer after the start or the last underrun while running
    bool running = false;       // the device consumes at full rate: songs may start
};
// The device callback's pace: its thread's alone while the stream runs.
DevicePace devicePace;

// The silent output's thread: started and joined under callLock.
pthread_t silentThread;
// Whether the silent output's thread exists: under callLock.
bool silentStarted = false;
// Tells the silent output to end: written under callLock, read by the silent thread.
std::atomic<bool> silentQuit{false};
// Posted when a song starts and to stop: posted under callLock, the silent thread waits.
sem_t silentWake;
// Whether silentWake was initialised: under callLock.
bool silentWakeReady = false;
// When the playing song started, nanoseconds: written by FMUSIC_PlaySong under renderLock, read by the silent thread under it.
int64_t songStartNs = 0;
// Frames of the playing song the silent output rendered: reset by FMUSIC_PlaySong, advanced by the silent thread, under renderLock.
int64_t silentFramesOut = 0;
// The silent output's scratch buffer: the silent thread's, under renderLock.
float silentBuffer[SILENT_BUFFER_FRAMES * MODULE_CHANNELS];

// Nanoseconds that `frames` frames last at the mixing rate (exact, and without overflow for centuries).
int64_t framesToNs(int64_t frames)
{
    const int64_t rate = mixRate.load();
    return frames / rate * NS_PER_SECOND + frames % rate * NS_PER_SECOND / rate;
}

// Whole frames played at the mixing rate in `ns` nanoseconds.
int64_t nsToFrames(int64_t ns)
{
    const int64_t rate = mixRate.load();
    return ns / NS_PER_SECOND * rate + ns % NS_PER_SECOND * rate / NS_PER_SECOND;
}

// Whether a handle names a song loaded and not yet freed. Caller holds callLock.
bool isLoaded(const FMUSIC_MODULE* module)
{
    return module != nullptr && std::find(loadedSongs.begin(), loadedSongs.end(), module) != loadedSongs.end();
}

// Renders the next buffer of the playing song and queues its events, the buffer's
// first frame being heard at `firstHeardNs`. Caller holds renderLock; a song plays.
void renderSong(float* out, int frames, int64_t firstHeardNs)
{
    FMUSIC_MODULE* song = playingSong;
    const int count = renderModule(song->render, out, frames, bufferEvents, EVENTS_PER_BUFFER);
    const FMUSIC_CALLBACK callback = song->callback.load();
    if (count == 0 || callback == nullptr) {
        return;
    }
    const uint32_t generation = playbackGeneration();
    for (int i = 0; i < count; ++i) {
        queueEvent(PendingEvent{firstHeardNs + framesToNs(bufferEvents[i].frame), song, callback, generation,
                                bufferEvents[i].parameter});
    }
    wakeDispatcher();
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
        if (now - pace.steadySince >= STEADY_NS) {
            pace.running = true;
        }
    } else {
        pace.steadySince = -1;
    }
    if (!underrun && now - pace.waitingSince >= SETTLE_LIMIT_NS) {
        pace.running = true;
    }
    pace.lastOrigin = origin;
    pace.lastCall = now;
    pace.framesWritten += static_cast<int64_t>(frames);
}

// PortAudio's callback: the next device buffer. The song's events are timed from
// the moment the device asks for the buffer plus the latency it reports for it;
// the song waits (in silence) while the device is not running at its pace.
int onDeviceBuffer(const void*, void* outputBuffer, unsigned long frames, const PaStreamCallbackTimeInfo* time,
                   PaStreamCallbackFlags flags, void*)
{
    const int64_t now = monotonicNs();
    const double reported = time->outputBufferDacTime - time->currentTime;
    const bool underrun = (flags & paOutputUnderflow) != 0 || reported <= 0.0;
    const double latency = reported > 0.0 && reported < MAX_REPORTED_LATENCY ? reported : deviceLatency.load();
    const int64_t firstHeardNs = now + static_cast<int64_t>(latency * NS_PER_SECOND);
    noteDevicePace(now, underrun, firstHeardNs, frames);

    float* out = static_cast<float*>(outputBuffer);
    bool rendered = false;
    if (renderLock.try_lock()) {
        if (playingSong != nullptr && devicePace.running) {
            renderSong(out, static_cast<int>(frames), firstHeardNs);
            rendered = true;
        }
        renderLock.unlock();
    }
    if (!rendered) {
        std::fill(out, out + frames * MODULE_CHANNELS, 0.0f);
    }
    return paContinue;
}

// Opens and starts a stream on the device, playing silence until a song starts; false if it cannot.
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
    if (Pa_OpenStream(&deviceStream, nullptr, &parameters, mixRate.load(), DEVICE_BUFFER_FRAMES, paNoFlag,
                      onDeviceBuffer, nullptr) != paNoError) {
        deviceStream = nullptr;
        return false;
    }
    const PaStreamInfo* stream = Pa_GetStreamInfo(deviceStream);
    deviceLatency.store(stream != nullptr ? stream->outputLatency : parameters.suggestedLatency);
    devicePace = DevicePace{};
    const PaHostApiInfo* api = Pa_GetHostApiInfo(info->hostApi);
    if (api != nullptr) {
        prioritiseDeviceStream(deviceStream, api->type);
    }
    if (Pa_StartStream(deviceStream) != paNoError) {
        Pa_CloseStream(deviceStream);
        deviceStream = nullptr;
        return false;
    }
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
    if (deviceStream == nullptr) {
        return;
    }
    Pa_AbortStream(deviceStream);
    Pa_CloseStream(deviceStream);
    deviceStream = nullptr;
    Pa_Terminate();
}

// Sleeps until `wakeNs` on the monotonic clock (forever if negative) or until woken.
void silentWait(int64_t wakeNs)
{
    if (wakeNs < 0) {
        while (sem_wait(&silentWake) != 0 && errno == EINTR) {
        }
        return;
    }
    waitSemaphoreUntil(&silentWake, wakeNs);
}

// The silent output's thread: renders the playing song a little ahead of a
// monotonic clock that starts with the song, so its events fall due on time.
void* runSilentOutput(void*)
{
    pthread_setname_np(pthread_self(), "k3l-silent");
    useRealTimeScheduling();
    while (!silentQuit.load()) {
        int64_t wakeNs = -1;
        {
            std::lock_guard<std::mutex> hold(renderLock);
            if (playingSong != nullptr) {
                const int64_t elapsed = monotonicNs() - songStartNs;
                const int64_t wanted = nsToFrames(elapsed) + SILENT_LOOKAHEAD_FRAMES;
                while (silentFramesOut < wanted) {
                    renderSong(silentBuffer, SILENT_BUFFER_FRAMES, songStartNs + framesToNs(silentFramesOut));
                    silentFramesOut += SILENT_BUFFER_FRAMES;
                }
                wakeNs = songStartNs + framesToNs(silentFramesOut - SILENT_LOOKAHEAD_FRAMES + 1);
            }
        }
        silentWait(wakeNs);
    }
    return nullptr;
}

// Starts the silent output's thread.
bool startSilentOutput()
{
    if (!silentWakeReady) {
        sem_init(&silentWake, 0, 0);
        silentWakeReady = true;
    }
    silentQuit.store(false);
    silentStarted = pthread_create(&silentThread, nullptr, runSilentOutput, nullptr) == 0;
    return silentStarted;
}

// Ends the silent output's thread and waits for it.
void stopSilentOutput()
{
    if (!silentStarted) {
        return;
    }
    silentStarted = false;
    silentQuit.store(true);
    sem_post(&silentWake);
    pthread_join(silentThread, nullptr);
}

// Stops the given song (any song if null) if it plays: it renders no more, its queued
// events are dropped, and once a handler still running has returned (unless this is
// called from inside one) no handler of it runs again. Caller holds no lock.
void stopSong(FMUSIC_MODULE* module)
{
    bool stopped = false;
    {
        std::lock_guard<std::mutex> hold(renderLock);
        if (playingSong != nullptr && (module == nullptr || playingSong == module)) {
            playingSong = nullptr;
            advancePlaybackGeneration();
            stopped = true;
        }
    }
    if (stopped) {
        waitForHandlers();
    }
}

// Registered with atexit by FSOUND_Init: however the process ends, the audio
// threads stop before the libraries and globals they use go away.
void closeAtExit()
{
    FSOUND_Close();
}

}  // namespace

PlayerOutput playerOutput()
{
    return output.load();
}

double playerDeviceLatencyMs()
{
    return output.load() == PLAYER_OUTPUT_DEVICE ? deviceLatency.load() * 1000.0 : 0.0;
}

signed char FSOUND_Init(int mixrate, int, unsigned int)
{
    std::lock_guard<std::mutex> hold(callLock);
    if (output.load() != PLAYER_OUTPUT_NONE) {
        return 1;
    }
    mixRate.store(mixRateFor(mixrate));
    prepareAudioSystem();
    startDispatcher();
    if (openDevice()) {
        output.store(PLAYER_OUTPUT_DEVICE);
    } else {
        startSilentOutput();
        output.store(PLAYER_OUTPUT_SILENT);
    }
    if (!exitHandlerRegistered) {
        exitHandlerRegistered = std::atexit(closeAtExit) == 0;
    }
    return 1;
}

void FSOUND_Close()
{
    {
        std::lock_guard<std::mutex> hold(callLock);
        if (output.load() == PLAYER_OUTPUT_NONE) {
            return;
        }
    }
    stopSong(nullptr);
    {
        std::lock_guard<std::mutex> hold(callLock);
        closeDevice();
        stopSilentOutput();
        releaseAudioSystem();
        output.store(PLAYER_OUTPUT_NONE);
    }
    stopDispatcher();  // outside callLock: the handler it may wait for may make a call
}

FMUSIC_MODULE* FMUSIC_LoadSong(const char* name)
{
    FMUSIC_MODULE* module = new FMUSIC_MODULE;
    if (!loadModuleFile(module->render, name, mixRate.load(), true)) {
        delete module;
        return nullptr;
    }
    std::lock_guard<std::mutex> hold(callLock);
    loadedSongs.push_back(module);
    return module;
}

signed char FMUSIC_SetZxxCallback(FMUSIC_MODULE* module, FMUSIC_CALLBACK callback)
{
    std::lock_guard<std::mutex> hold(callLock);
    if (!isLoaded(module)) {
        return 0;
    }
    module->callback.store(callback);
    return 1;
}

signed char FMUSIC_PlaySong(FMUSIC_MODULE* module)
{
    {
        std::lock_guard<std::mutex> hold(callLock);
        if (!isLoaded(module) || output.load() == PLAYER_OUTPUT_NONE) {
            return 0;
        }
    }
    stopSong(nullptr);
    std::lock_guard<std::mutex> hold(callLock);
    if (!isLoaded(module) || output.load() == PLAYER_OUTPUT_NONE) {
        return 0;  // freed or closed by a handler meanwhile
    }
    {
        std::lock_guard<std::mutex> render(renderLock);
        module->render.rate = mixRate.load();
        if (!module->atStart) {
            restartModule(module->render);
        }
        module->atStart = false;
        playingSong = module;
        advancePlaybackGeneration();
        songStartNs = monotonicNs();
        silentFramesOut = 0;
    }
    if (silentStarted) {
        sem_post(&silentWake);
    }
    return 1;
}

signed char FMUSIC_StopSong(FMUSIC_MODULE* module)
{
    {
        std::lock_guard<std::mutex> hold(callLock);
        if (!isLoaded(module)) {
            return 0;
        }
    }
    stopSong(module);
    return 1;
}

signed char FMUSIC_FreeSong(FMUSIC_MODULE* module)
{
    {
        std::lock_guard<std::mutex> hold(callLock);
        if (!isLoaded(module)) {
            return 0;
        }
        loadedSongs.erase(std::find(loadedSongs.begin(), loadedSongs.end(), module));
    }
    stopSong(module);
    unloadModule(module->render);
    delete module;
    return 1;
}
