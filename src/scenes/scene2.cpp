#include <GL/gl.h>

#include "assets/textures.h"
#include "gfx/flash_cube.h"
#include "gfx/ghost_sprite.h"
#include "gfx/layers.h"
#include "gfx/particles.h"
#include "gfx/projection.h"
#include "scenes/scenes.h"
#include "sync/show_state.h"

namespace {

constexpr float BACKDROP_GREY = 0.9f;  // brightness of the confidence backdrop
constexpr int RING_CUBES = 30;
constexpr int RING_STEP = 12;          // degrees between neighbouring cubes of the ring
constexpr int RING_RADIUS = 10;        // perspective units
constexpr int RING_DEPTH = -50;        // perspective units

// A ring of thirty steady cubes, each turned 12 degrees further than the one before.
void drawCubeRing()
{
    const int32_t tick = show.tick.load();
    for (int i = 0; i < RING_CUBES; ++i) {
        glPushMatrix();
        glTranslatef(6.0f, -6.0f, 0.0f);
        const int x = static_cast<int>(RING_RADIUS * double{cosDeg(RING_STEP * i)});
        const int y = static_cast<int>(RING_RADIUS * double{sinDeg(RING_STEP * i)});
        drawFlashCube(x, y, RING_DEPTH, tick + RING_STEP * i, false);
        glPopMatrix();
    }
}

}  // namespace

// White clear, the confidence sprite and backdrop, a glowing swarm and a ring of cubes.
void scene2()
{
    glClearColor(1.0f, 1.0f, 1.0f, 0.5f);
    show.overlayMode = 2;

    drawGhostSprite(170, 40, 60, 40, confidence);

    glBindTexture(GL_TEXTURE_2D, confidence512.texName);
    useFilter(GL_NEAREST);
    glColor4f(BACKDROP_GREY, BACKDROP_GREY, BACKDROP_GREY, 1.0f);
    drawCardQuad(0, 30, 320, 210, BACKDROP_DEPTH);

    beginSpriteGlow();
    glPushMatrix();
    glTranslatef(10.0f, -10.0f, 0.0f);
    drawParticles();
    glPopMatrix();
    useNormalBlending();

    begin3D();
    drawCubeRing();
    end3D();
}
