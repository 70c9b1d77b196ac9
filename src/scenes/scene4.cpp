#include <GL/gl.h>

#include "shared/random.h"
#include "assets/textures.h"
#include "gfx/flash_cube.h"
#include "gfx/ghost_sprite.h"
#include "gfx/layers.h"
#include "gfx/projection.h"
#include "scenes/scenes.h"
#include "sync/show_state.h"

namespace {

constexpr float CAT_TURN_WISE = -40.0f;   // degrees, the cat's tilt while the wisdom caption shows
constexpr float CAT_TURN_PLAIN = 80.0f;   // degrees, its tilt otherwise
constexpr int CURVE_END = 359;            // degrees; the curve's steps stay below it
constexpr int CURVE_STEP = 10;            // degrees between cubes of the curve
constexpr int ANGLE_DIVISOR = 15;         // curve degrees per degree of extra cube turn
constexpr int CAPTION_WOBBLE = 10;        // canvas units of random play in the wisdom caption

// A figure-of-eight of steady cubes: the radius follows sin(2a).
void drawCubeFigure()
{
    const int32_t tick = show.tick.load();
    glPushMatrix();
    glTranslatef(4.0f, 0.0f, 0.0f);
    for (int step = 0; step < CURVE_END; step += CURVE_STEP) {
        const int32_t a = step + tick;
        // The radius is stored as a float; its product with the cosine is not rounded again.
        const float radius = static_cast<float>(10.0 * double{sinDeg(2 * a)});
        const int x = static_cast<int>(double{cosDeg(a)} * double{radius});
        const int y = static_cast<int>(10.0 * double{sinDeg(a)});
        const int z = static_cast<int>(20.0 * double{cosDeg(a)} - 40.0);
        drawFlashCube(x, y, z, tick + step / ANGLE_DIVISOR, false);
    }
    glPopMatrix();
}

}  // namespace

// White clear, the wisdom card, the cat, swarm columns, a cube figure of eight and the captions.
void scene4()
{
    show.overlayMode = 2;
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glEnable(GL_TEXTURE_2D);

    glBindTexture(GL_TEXTURE_2D, wisdom.texName);
    useFilter(GL_NEAREST);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    drawCardQuad(0, 30, 100, 130, CARD_DEPTH);
    useFilter(GL_LINEAR);

    const bool wise = show.wisdomAlt.load() != 0;
    glBindTexture(GL_TEXTURE_2D, gatto.texName);
    glPushMatrix();
    glTranslatef(190.0f, 175.0f, 0.0f);
    glRotatef(wise ? CAT_TURN_WISE : CAT_TURN_PLAIN, 0.0f, 0.0f, 1.0f);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    drawCardQuad(-30, -15, 0, 15, CARD_DEPTH);
    glPopMatrix();

    beginSpriteGlow();
    drawSwarmAtBothEdges();
    useNormalBlending();

    begin3D();
    drawCubeFigure();
    end3D();

    if (wise) {
        const int width = 50 + k3l::rand() % CAPTION_WOBBLE;
        const int x = 50 - k3l::rand() % CAPTION_WOBBLE;
        drawGhostSprite(x, 150, width, 30, wisdom64);
    } else {
        drawGhostSprite(45, 150, 60, 30, uncertainty64);
    }
    if (show.showVersus.load() != 0) {
        drawGhostSprite(240, 43, 64, 64, vs);
    }
}
