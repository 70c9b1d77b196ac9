#include "gfx/rings.h"

#include "gfx/projection.h"

RingVertex ringOutline[RING_POINTS];
int32_t ringDepths[RING_COUNT];

namespace {
constexpr float RING_RADIUS = 2.0f;       // perspective units
constexpr int OUTLINE_STEP = 15;          // degrees between outline points
constexpr int32_t RING_SPACING = -10;     // perspective units between rings at load
constexpr int32_t RING_SPEED = 3;         // perspective units per tick
constexpr int32_t NEAREST_DEPTH = -3;     // a ring at this depth or nearer goes back
constexpr int32_t FARTHEST_DEPTH = -240;  // where a ring goes back to
}  // namespace

void initRings()
{
    for (int j = 0; j < RING_POINTS; ++j) {
        ringOutline[j].x = RING_RADIUS * cosTable[OUTLINE_STEP * j];
        ringOutline[j].y = RING_RADIUS * sinTable[OUTLINE_STEP * j];
        ringOutline[j].z = 0.0f;
        ringDepths[j] = RING_SPACING * j;
    }
}

void advanceRings()
{
    for (int32_t& depth : ringDepths) {
        depth = depth < NEAREST_DEPTH ? depth + RING_SPEED : FARTHEST_DEPTH;
    }
}

void drawRings()
{
    // Drawn with the scenes.
}
