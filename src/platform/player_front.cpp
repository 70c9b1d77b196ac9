// The calls of fmod.h over the module renderer, the same for every program; what differs
// (where the music goes and when its events are released) is the output's (player_output.h).
//
// Threads: the main thread makes the calls, and so may a handler; the output renders the
// playing song under playerRenderLock, from a thread of its own or from the caller's.
#include "platform/player_front.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "platform/player_output.h"

std::mutex playerRenderLock;
FMUSIC_MODULE* playingSong = nullptr;
EventRing songEvents;

namespace {

constexpr int EVENTS_PER_BUFFER = 1024;  // events one rendered buffer may carry

// Serialises the calls of fmod.h, which the main thread and handlers may make; never held while waiting for a handler.
std::mutex callLock;
// Whether the sound system is started: written by FSOUND_Init and FSOUND_Close under callLock, read by the calls.
bool soundOpen = false;
// The mixing rate in Hz: written by FSOUND_Init, read by the calls and the output.
std::atomic<int> mixRate{DEFAULT_MIX_RATE};
// Playback generation: advanced by the calls under playerRenderLock, read by the renderer and whoever releases events.
std::atomic<uint32_t> generation{0};
// Every song loaded and not yet freed: read and written under callLock.
std::vector<FMUSIC_MODULE*> loadedSongs;
// Whether the exit handler is registered: under callLock.
bool exitHandlerRegistered = false;
// The events of one rendered buffer: the renderer's, under playerRenderLock.
ModuleEvent bufferEvents[EVENTS_PER_BUFFER];

// Whether a handle names a song loaded and not yet freed. Caller holds callLock.
bool isLoaded(const FMUSIC_MODULE* module)
{
    return module != nullptr && std::find(loadedSongs.begin(), loadedSongs.end(), module) != loadedSongs.end();
}

// Stops the given song (any song if null) if it plays: it renders no more, its queued events
// are dropped, and once a handler still running has returned (unless this is called from
// inside one) no handler of it runs again. Caller holds no lock.
void stopSong(FMUSIC_MODULE* module)
{
    bool stopped = false;
    {
        std::lock_guard<std::mutex> hold(playerRenderLock);
        if (playingSong != nullptr && (module == nullptr || playingSong == module)) {
            playingSong = nullptr;
            generation.fetch_add(1);
            outputSongStopped();
            stopped = true;
        }
    }
    if (stopped) {
        waitForOutputHandlers();
    }
}

// Registered with atexit by FSOUND_Init: however the process ends, the output stops before
// the libraries and globals it uses go away.
void closeAtExit()
{
    FSOUND_Close();
}

}  // namespace

int playerMixRate()
{
    return mixRate.load();
}

uint32_t playbackGeneration()
{
    return generation.load();
}

int renderPlayingSong(float* out, int frames, int64_t firstFrame)
{
    FMUSIC_MODULE* song = playingSong;
    const int count = renderModule(song->render, out, frames, bufferEvents, EVENTS_PER_BUFFER);
    const FMUSIC_CALLBACK callback = song->callback.load();
    if (callback == nullptr) {
        return 0;
    }
    const uint32_t current = generation.load();
    int queued = 0;
    for (int i = 0; i < count; ++i) {
        queued += pushEvent(songEvents, PendingEvent{firstFrame + bufferEvents[i].frame, song, callback, current,
                                                     bufferEvents[i].parameter});
    }
    return queued;
}

void releaseEvent(const PendingEvent& event)
{
    if (event.generation == generation.load() && event.callback != nullptr) {
        event.callback(event.module, event.parameter);
    }
}

signed char FSOUND_Init(int mixrate, int, unsigned int)
{
    std::lock_guard<std::mutex> hold(callLock);
    if (soundOpen) {
        return 1;
    }
    mixRate.store(mixRateFor(mixrate));
    openOutput(mixRate.load());
    soundOpen = true;
    if (!exitHandlerRegistered) {
        exitHandlerRegistered = std::atexit(closeAtExit) == 0;
    }
    return 1;
}

void FSOUND_Close()
{
    {
        std::lock_guard<std::mutex> hold(callLock);
        if (!soundOpen) {
            return;
        }
        soundOpen = false;
    }
    stopSong(nullptr);
    closeOutput();  // outside callLock: a handler it may wait for may make a call
}

FMUSIC_MODULE* FMUSIC_LoadSong(const char* name)
{
    FMUSIC_MODULE* module = new FMUSIC_MODULE;
    if (!loadModuleFile(module->render, name, mixRate.load(), outputLoops())) {
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
        if (!isLoaded(module) || !soundOpen) {
            return 0;
        }
    }
    stopSong(nullptr);
    std::lock_guard<std::mutex> hold(callLock);
    if (!isLoaded(module) || !soundOpen) {
        return 0;  // freed or closed by a handler meanwhile
    }
    std::lock_guard<std::mutex> render(playerRenderLock);
    module->render.rate = mixRate.load();
    if (!module->atStart) {
        restartModule(module->render);
    }
    module->atStart = false;
    playingSong = module;
    generation.fetch_add(1);
    outputSongStarted();
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
