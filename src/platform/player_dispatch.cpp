#include "platform/player_dispatch.h"

#include <pthread.h>
#include <semaphore.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <ctime>
#include <mutex>

#include "platform/player_system.h"

namespace {

constexpr uint32_t QUEUE_CAPACITY = 4096;  // events; a power of two
constexpr int64_t NS_PER_SECOND = 1000000000;  // nanoseconds in a second

// The queue: written by the renderer at `tail`, read by the dispatcher at `head`.
PendingEvent queue[QUEUE_CAPACITY];
// Next slot the renderer fills: written by the renderer (release), read by the dispatcher (acquire).
std::atomic<uint32_t> queueTail{0};
// Next slot the dispatcher reads: written by the dispatcher (release), read by the renderer (acquire).
std::atomic<uint32_t> queueHead{0};
// Events the full queue refused: written by the renderer, read by tools.
std::atomic<int64_t> queueDropped{0};

// Playback generation: advanced by the main thread, read by the renderer and the dispatcher.
std::atomic<uint32_t> generation{0};
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
    if (event.generation == generation.load() && dispatcherEpoch.load() == epoch && event.callback != nullptr) {
        insideHandler = true;
        event.callback(event.module, event.parameter);
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
        const uint32_t head = queueHead.load(std::memory_order_relaxed);
        if (head == queueTail.load(std::memory_order_acquire)) {
            while (sem_wait(&wake) != 0 && errno == EINTR) {
            }
            continue;
        }
        const PendingEvent& event = queue[head % QUEUE_CAPACITY];
        if (event.generation == generation.load()) {
            if (monotonicNs() < event.due) {
                waitSemaphoreUntil(&wake, event.due);  // a new batch or a stop wakes it early: look again
                continue;
            }
            deliver(event, epoch);
            if (dispatcherEpoch.load() != epoch) {
                break;  // stopped from inside the handler: the queue may already be another dispatcher's
            }
        }
        queueHead.store(head + 1, std::memory_order_release);
    }
    return nullptr;
}

}  // namespace

int64_t monotonicNs()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * NS_PER_SECOND + now.tv_nsec;
}

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
    queueHead.store(queueTail.load());
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

bool queueEvent(const PendingEvent& event)
{
    const uint32_t tail = queueTail.load(std::memory_order_relaxed);
    if (tail - queueHead.load(std::memory_order_acquire) >= QUEUE_CAPACITY) {
        queueDropped.fetch_add(1);
        return false;
    }
    queue[tail % QUEUE_CAPACITY] = event;
    queueTail.store(tail + 1, std::memory_order_release);
    return true;
}

void wakeDispatcher()
{
    if (wakeReady.load()) {
        sem_post(&wake);
    }
}

uint32_t playbackGeneration()
{
    return generation.load();
}

void advancePlaybackGeneration()
{
    generation.fetch_add(1);
}

void waitForHandlers()
{
    if (insideHandler) {
        return;
    }
    std::lock_guard<std::mutex> hold(handlerLock);
}

int64_t droppedQueueEvents()
{
    return queueDropped.load();
}
