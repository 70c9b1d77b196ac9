#include "gfx/rings.h"

#include <GL/gl.h>

#include "assets/textures.h"
#include "gfx/projection.h"
#include "sync/show_state.h"

RingVertex ringOutline[RING_POINTS];
int32_t ringDepths[RING_COUNT];

namespace {
constexpr float RING_RADIUS = 2.0f;       // perspective units
constexpr int OUTLINE_STEP = 15;          // degrees between outline points
constexpr int32_t RING_SPACING = -10;     // perspective units between rings at load
constexpr int32_t RING_SPEED = 3;         // perspective units per tick
constexpr int32_t NEAREST_DEPTH = -3;     // a ring at this depth or nearer goes back
constexpr int32_t FARTHEST_DEPTH = -240;  // where a ring goes back to
constexpr int32_t WOBBLE_OFFSET = 6;      // added to a ring's index before it scales the tick
constexpr float RING_THICKNESS = -1.0f;   // perspective units, z of each outline point's second copy
constexpr float SQUARE_HALF = 1.0f;       // perspective units, half the side of the brave square

// (i + 6) x tick as a 32-bit integer that wraps instead of overflowing.
int32_t wobbleAngle(int ring, int32_t tick)
{
    const uint32_t product = static_cast<uint32_t>(ring + WOBBLE_OFFSET) * static_cast<uint32_t>(tick);
    return static_cast<int32_t>(product);
}
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
    const int32_t tick = show.tick.load();
    glPushMatrix();
    glDisable(GL_TEXTURE_2D);
    for (int i = 0; i < RING_COUNT; ++i) {
        // Each ring sits on its own, away from the caller's model-view, and circles
        // the axis at a speed of its own.
        glPushMatrix();
        glLoadIdentity();
        const int32_t angle = wobbleAngle(i, tick);
        glTranslatef(cosDeg(angle), sinDeg(angle), static_cast<float>(ringDepths[i]));
        glBegin(GL_LINE_LOOP);
        for (const RingVertex& point : ringOutline) {
            glVertex3f(point.x, point.y, 0.0f);
            glVertex3f(point.x, point.y, RING_THICKNESS);
        }
        glEnd();
        glPopMatrix();
    }
    glPopMatrix();

    // The brave square glows at the first ring's depth, with the caller's model-view.
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, brave.texName);
    const float depth = static_cast<float>(ringDepths[0]);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(-SQUARE_HALF, -SQUARE_HALF, depth);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(SQUARE_HALF, -SQUARE_HALF, depth);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(SQUARE_HALF, SQUARE_HALF, depth);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(-SQUARE_HALF, SQUARE_HALF, depth);
    glEnd();
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}
