#include "platform/player_dispatch.h"

#include <pthread.h>
#include <semaphore.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <mutex>

#include "platform/player_front.h"
#include "platform/player_system.h"

namespace {

constexpr int64_t HELD_LOOK_NS = 50000000;      // nanoseconds between looks at an event waiting for its output

// Held by the dispatcher while it calls a handler; taken by waitForHandlers on the main thread.
std::mutex handlerLock;
// Whether this thread is inside a handler call: the dispatcher's own copy is the only one set.
thread_local bool insideHandler = false;

// Posted for every batch of queued events and to stop: the renderer and the stopping call post, the dispatcher waits.
sem_t wake;
// Whether `wake` was initialised: written under dispatcherStateLock before any thread posts, read by the renderer.
std::atomic<bool> wakeReady{false};
// Guards starting and stopping the dispatcher, which the main thread or a handler may do.
std::mutex dispatcherStateLock;
// The dispatcher thread: under dispatcherStateLock.
pthread_t dispatcherThread;
// Whether the dispatcher thread exists: under dispatcherStateLock.
bool dispatcherStarted = false;
// Advanced by every start and stop, so that a dispatcher runs only while it holds the epoch it was started
// with: written by the main thread, read by the dispatchers (one stopped from inside a handler may still be returning).
std::atomic<uint32_t> dispatcherEpoch{0};

// Calls the event's handler unless its playback, or this dispatcher (of `epoch`), was stopped meanwhile.
void deliver(const PendingEvent& event, uint32_t epoch)
{
    std::lock_guard<std::mutex> hold(handlerLock);
    if (dispatcherEpoch.load() == epoch) {
        insideHandler = true;
        releaseEvent(event);
        insideHandler = false;
    }
}

// The dispatcher thread: hands each queued event to its handler when it falls due, in queue order.
void* runDispatcher(void* startedEpoch)
{
    const uint32_t epoch = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(startedEpoch));
    pthread_setname_np(pthread_self(), "k3l-zxx");
    useRealTimeScheduling();
    while (dispatcherEpoch.load() == epoch) {
        const PendingEvent* event = peekEvent(songEvents);
        if (event == nullptr) {
            while (sem_wait(&wake) != 0 && errno == EINTR) {
            }
            continue;
        }
        if (event->generation == playbackGeneration()) {
            const int64_t due = heardNsOfFrame(event->frame);
            const int64_t now = k3l::monotonicNanoseconds();
            if (due < 0 || now < due) {
                // A new batch, a change of the output's timeline or a stop wakes it early: look again.
                waitSemaphoreUntil(&wake, due < 0 ? now + HELD_LOOK_NS : due);
                continue;
            }
            deliver(*event, epoch);
            if (dispatcherEpoch.load() != epoch) {
                break;  // stopped from inside the handler: the queue may already be another dispatcher's
            }
        }
        popEvent(songEvents);
    }
    return nullptr;
}

}  // namespace

bool startDispatcher()
{
    std::lock_guard<std::mutex> hold(dispatcherStateLock);
    if (dispatcherStarted) {
        return true;
    }
    if (!wakeReady.load()) {
        sem_init(&wake, 0, 0);
        wakeReady.store(true);
    }
    clearEvents(songEvents);
    const uint32_t epoch = dispatcherEpoch.fetch_add(1) + 1;
    dispatcherStarted = pthread_create(&dispatcherThread, nullptr, runDispatcher,
                                       reinterpret_cast<void*>(static_cast<uintptr_t>(epoch))) == 0;
    return dispatcherStarted;
}

void stopDispatcher()
{
    pthread_t thread;
    {
        std::lock_guard<std::mutex> hold(dispatcherStateLock);
        if (!dispatcherStarted) {
            return;
        }
        dispatcherStarted = false;
        dispatcherEpoch.fetch_add(1);
        thread = dispatcherThread;
    }
    sem_post(&wake);
    if (pthread_equal(pthread_self(), thread)) {
        pthread_detach(thread);  // its loop ends when the running handler returns
        return;
    }
    pthread_join(thread, nullptr);
}

void wakeDispatcher()
{
    if (wakeReady.load()) {
        sem_post(&wake);
    }
}

void waitForHandlers()
{
    if (insideHandler) {
        return;
    }
    std::lock_guard<std::mutex> hold(handlerLock);
}
