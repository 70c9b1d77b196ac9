#pragma once
// The one queue of Zxx events between the thread that renders a song and the one that hands
// the events to the song's handler: a fixed ring, one producer and one consumer, no locks.
// Every output places its events by the song frame where their row starts and turns that
// into its own clock's time when it releases them.
#include <atomic>
#include <cstdint>

#include "platform/fmod.h"

constexpr uint32_t EVENT_RING_CAPACITY = 4096;  // events; a power of two

// A Zxx effect rendered and waiting for its row to be heard.
struct PendingEvent {
    int64_t frame;             // frames since the song started, where the effect's row starts
    FMUSIC_MODULE* module;     // passed to the handler as given
    FMUSIC_CALLBACK callback;  // the song's handler when the row was rendered
    uint32_t generation;       // playback generation when the row was rendered
    uint8_t parameter;         // the effect's byte xx
};

// The ring: the producer writes at `tail`, the consumer reads at `head`.
struct EventRing {
    PendingEvent slots[EVENT_RING_CAPACITY];
    std::atomic<uint32_t> tail{0};  // written by the producer (release), read by the consumer (acquire)
    std::atomic<uint32_t> head{0};  // written by the consumer (release), read by the producer (acquire)
};

// Queues an event at the tail; false, with nothing queued, when the ring is full. The producer's call.
inline bool pushEvent(EventRing& ring, const PendingEvent& event)
{
    const uint32_t tail = ring.tail.load(std::memory_order_relaxed);
    if (tail - ring.head.load(std::memory_order_acquire) >= EVENT_RING_CAPACITY) {
        return false;
    }
    ring.slots[tail % EVENT_RING_CAPACITY] = event;
    ring.tail.store(tail + 1, std::memory_order_release);
    return true;
}

// The oldest event, or null when the ring is empty. The consumer's call.
inline const PendingEvent* peekEvent(const EventRing& ring)
{
    const uint32_t head = ring.head.load(std::memory_order_relaxed);
    if (head == ring.tail.load(std::memory_order_acquire)) {
        return nullptr;
    }
    return &ring.slots[head % EVENT_RING_CAPACITY];
}

// Drops the oldest event (the one peekEvent returned). The consumer's call.
inline void popEvent(EventRing& ring)
{
    ring.head.store(ring.head.load(std::memory_order_relaxed) + 1, std::memory_order_release);
}

// Drops every event queued so far. The consumer's call, or either side's while the other is idle.
inline void clearEvents(EventRing& ring)
{
    ring.head.store(ring.tail.load(std::memory_order_acquire), std::memory_order_release);
}
