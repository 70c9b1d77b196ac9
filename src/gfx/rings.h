#pragma once
#include <cstdint>

// One point of the ring outline, in perspective units.
struct RingVertex {
    float x;
    float y;
    float z;  // always 0
};

constexpr int RING_POINTS = 24;
constexpr int RING_COUNT = 30;

// The ring outline: written once by initRings, read by drawRings.
extern RingVertex ringOutline[RING_POINTS];

// Depth of each ring (negative is away from the viewer): written by initRings and advanceRings, read by drawRings.
extern int32_t ringDepths[RING_COUNT];

// Builds the ring outline and the first 24 ring depths.
void initRings();

// Brings every ring 3 units closer, sending the nearest ones back to the far end.
void advanceRings();

// Draws the wobbling wire rings and the brave square, inside the perspective projection.
void drawRings();
