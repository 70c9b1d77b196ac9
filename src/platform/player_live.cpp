// The live audio output of the module player: the music played on an audio device through
// PortAudio or, while none plays, consumed in silence in real time, on one song position and
// one heard timeline, so that the output can change in the middle of a song without moving a
// row. Zxx events reach the song's handler on the dispatcher thread when their row is heard
// (player_dispatch.h).
//
// The song is rendered half a second ahead of what the output has consumed, so its events are
// known before they are due (player_lookahead.cpp): when the device stops, they keep their times
// while the loss is found out. The output thread ("k3l-watch", or "k3l-silent" while it plays)
// watches the device: when its stream finishes or no buffer was asked for over DEVICE_LOSS_NS, it
// takes the song over on the silent output, continuing the device's timeline. The device thread
// ("k3l-device", player_device.cpp) closes the lost device and tries the default device again once
// a second, so that nothing the audio libraries take their time over holds up the song; a device
// that opens takes the song back once it runs at its pace.
//
// Threads: the main thread makes the player's calls (player_front.cpp); PortAudio's callback
// thread or the output thread consumes the song under playerRenderLock; the device thread alone
// opens and closes devices once the output is started; the dispatcher calls handlers.
#include <pthread.h>
#include <semaphore.h>

#include <algorithm>
#include <atomic>

#include "platform/player_dispatch.h"
#include "platform/player_front.h"
#include "platform/player_live.h"
#include "platform/player_live_parts.h"
#include "platform/player_output.h"
#include "platform/player_system.h"

namespace {

constexpr int64_t DEVICE_START_NS = 5000000000;  // DEVICE_LOSS_NS for a device that has not yet run at its pace for a
                                                 // while, nanoseconds (a sound server may take seconds to start pulling)
constexpr int64_t STOOD_STILL_NS = 200000000;    // nanoseconds an output thread's wake may be late by before the process counts as stopped

// The output and device threads: started by openOutput, joined by closeOutput.
pthread_t outputThread;
pthread_t deviceThread;
// Whether they exist: written by openOutput and closeOutput.
bool outputStarted = false;
bool deviceThreadStarted = false;
// Posted when a song starts and to stop: the calls post, the output thread waits.
sem_t outputWake;
// Whether the semaphores were initialised: written by openOutput.
bool outputWakeReady = false;
// How the device came and went, for tools: written by the output thread, read by tools.
std::atomic<int64_t> lossCount{0};
std::atomic<int64_t> lostAtNs{0};
std::atomic<int64_t> takenOverAtNs{0};

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
        if (playingSong != nullptr && !songTimed()) {
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
    if (!songTimed()) {
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
            if (consumer.load() == Consumer::silent && songTimed()) {
                delayTimeline(late);
            }
        }
        if (deviceOpen() && !deviceLost.load()) {
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

}  // namespace

// The consumer, the threads' quit flag and the device thread's semaphore, with who writes and who
// reads each, are in player_live_parts.h.
std::atomic<Consumer> consumer{Consumer::none};
std::atomic<bool> outputQuit{false};
sem_t deviceWake;

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

PlayerChanges playerChanges()
{
    return PlayerChanges{lossCount.load(), lostAtNs.load(), takenOverAtNs.load(), reopenCount.load(),
                         takenBackAtNs.load()};
}

void openOutput(int rate)
{
    prepareLookahead(rate);
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
    restartLookahead();
    if (outputWakeReady) {
        sem_post(&outputWake);
    }
}

void outputSongStopped()
{
    holdSongEvents();
}

void waitForOutputHandlers()
{
    waitForHandlers();
}
