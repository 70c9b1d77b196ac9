#include "gfx/flash_cube.h"

#include <GL/gl.h>

#include "gfx/projection.h"
#include "shared/random.h"

namespace {

constexpr int Y_TURN = 20;              // degrees added to angle for the turn about y
constexpr int Z_TURN = 40;              // degrees added to angle for the turn about z
constexpr float STEADY_ALPHA = 0.5f;    // face opacity without flicker
constexpr float OUTLINE_ALPHA = 0.5f;   // outline opacity
constexpr int FACE_VERTICES = 24;
constexpr int CORNERS = 8;
constexpr int CURVE_END = 359;          // degrees; a curve's steps stay below it
constexpr int CURVE_STEP = 10;          // degrees between cubes of a curve
constexpr int ANGLE_DIVISOR = 15;       // curve degrees per degree of extra cube turn

// The six faces, four corners each, in drawing order; faces 1, 3 and 6 are wound
// outward, 2, 4 and 5 inward. The outline runs through the same list.
constexpr float FACES[FACE_VERTICES][3] = {
    {-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1},
    {-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1},
    {1, -1, -1}, {1, 1, -1}, {1, 1, 1}, {1, -1, 1},
    {-1, -1, -1}, {-1, 1, -1}, {-1, 1, 1}, {-1, -1, 1},
    {-1, 1, -1}, {1, 1, -1}, {1, 1, 1}, {-1, 1, 1},
    {-1, -1, -1}, {1, -1, -1}, {1, -1, 1}, {-1, -1, 1},
};

// The corner dots, in drawing order.
constexpr float CORNER_DOTS[CORNERS][3] = {
    {1, 1, 1}, {1, -1, 1}, {-1, -1, 1}, {-1, 1, 1},
    {-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1},
};

}  // namespace

void drawFlashCube(int x, int y, int z, int angle, bool flicker)
{
    glPushMatrix();
    glTranslatef(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
    glRotatef(static_cast<float>(angle), 1.0f, 0.0f, 0.0f);
    glRotatef(static_cast<float>(angle + Y_TURN), 0.0f, 1.0f, 0.0f);
    glRotatef(static_cast<float>(angle + Z_TURN), 0.0f, 0.0f, 1.0f);

    const float faceAlpha = flicker ? static_cast<float>(k3l::rand() % 2) : STEADY_ALPHA;
    glColor4f(1.0f, 1.0f, 1.0f, faceAlpha);
    glBegin(GL_QUADS);
    for (const auto& vertex : FACES) {
        glVertex3fv(vertex);
    }
    glEnd();

    glColor4f(0.0f, 0.0f, 0.0f, OUTLINE_ALPHA);
    glBegin(GL_LINE_LOOP);
    for (const auto& vertex : FACES) {
        glVertex3fv(vertex);
    }
    glEnd();

    glBegin(GL_POINTS);
    glColor4f(0.0f, 0.0f, 0.0f, 1.0f);
    for (const auto& vertex : CORNER_DOTS) {
        glVertex3fv(vertex);
    }
    glEnd();
    glPopMatrix();
}

void drawCubeCurve(int tick, int frequency, bool flicker)
{
    for (int step = 0; step < CURVE_END; step += CURVE_STEP) {
        const int32_t a = step + tick;
        // The radius is stored as a float; its product with the cosine is not rounded again.
        const float radius = static_cast<float>(10.0 * double{sinDeg(frequency * a)});
        const int x = static_cast<int>(double{cosDeg(a)} * double{radius});
        const int y = static_cast<int>(10.0 * double{sinDeg(a)});
        const int z = static_cast<int>(20.0 * double{cosDeg(a)} - 40.0);
        drawFlashCube(x, y, z, tick + step / ANGLE_DIVISOR, flicker);
    }
}
