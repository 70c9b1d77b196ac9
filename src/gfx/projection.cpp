#include "gfx/projection.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

#include "sync/show_state.h"

float sinTable[360];
float cosTable[360];

namespace {
constexpr double SHORT_PI = 3.1415;       // the show's value of pi
constexpr double FIELD_OF_VIEW = 30.0;    // degrees, vertical, at rest
constexpr double ASPECT = 1.2;            // width over height, at rest
constexpr double NEAR_PLANE = 0.1;        // perspective units
constexpr double FAR_PLANE = 200.0;       // perspective units
}  // namespace

void buildDegreeTables()
{
    for (int i = 0; i < 360; ++i) {
        const double angle = (i * SHORT_PI) / 180.0;
        sinTable[i] = static_cast<float>(std::sin(angle));
        cosTable[i] = static_cast<float>(std::cos(angle));
    }
}

namespace {
// The table index of an angle: its magnitude modulo 360, taken in unsigned
// arithmetic so that even the most negative int lands inside the table.
uint32_t degreeIndex(int32_t angle)
{
    const uint32_t magnitude = angle < 0 ? 0u - static_cast<uint32_t>(angle) : static_cast<uint32_t>(angle);
    return magnitude % 360u;
}
}  // namespace

float sinDeg(int32_t angle)
{
    return sinTable[degreeIndex(angle)];
}

float cosDeg(int32_t angle)
{
    return cosTable[degreeIndex(angle)];
}

void beginPerspective()
{
    const double pulse = show.pulse.load();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluPerspective(FIELD_OF_VIEW + pulse, ASPECT - pulse, NEAR_PLANE, FAR_PLANE);
    glMatrixMode(GL_MODELVIEW);
}

void endPerspective()
{
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}
