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

constexpr float TILE_GREY = 0.9f;     // brightness of the scoramento tile
constexpr int ROW_COPIES = 7;         // swarms along the top
constexpr float ROW_STEP = 40.0f;     // canvas units between them
constexpr int CURVE_END = 359;        // degrees; the curve's steps stay below it
constexpr int CURVE_STEP = 10;        // degrees between cubes of the curve
constexpr int ANGLE_DIVISOR = 15;     // curve degrees per degree of extra cube turn

// A tilted loop of flickering cubes whose radius swells and shrinks with sin(a).
void drawCubeLoop()
{
    const int32_t tick = show.tick.load();
    glPushMatrix();
    glRotatef(-45.0f, 0.0f, 0.0f, 1.0f);
    glRotatef(10.0f, 0.0f, 1.0f, 0.0f);
    glTranslatef(7.5f, 0.0f, 0.0f);
    for (int step = 0; step < CURVE_END; step += CURVE_STEP) {
        const int32_t a = step + tick;
        // The radius is stored as a float; its product with the cosine is not rounded again.
        const float radius = static_cast<float>(10.0 * double{sinDeg(a)});
        const int x = static_cast<int>(double{cosDeg(a)} * double{radius});
        const int y = static_cast<int>(10.0 * double{sinDeg(a)});
        const int z = static_cast<int>(20.0 * double{cosDeg(a)} - 40.0);
        drawFlashCube(x, y, z, tick + step / ANGLE_DIVISOR, true);
    }
    glPopMatrix();
}

}  // namespace

// Black clear, the afraid sprite, the scoramento tile, swarm column and row, a flickering cube loop.
void scene3()
{
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    show.overlayMode = 1;

    drawGhostSprite(45, 125, 50, 30, afraid64);

    glBindTexture(GL_TEXTURE_2D, scoramento.texName);
    useFilter(GL_NEAREST);
    glColor4f(TILE_GREY, TILE_GREY, TILE_GREY, 1.0f);
    glPushMatrix();
    glTranslatef(190.0f, 100.0f, 0.0f);
    drawCardQuad(0, 0, 64, 64, BACKDROP_DEPTH);
    glPopMatrix();

    // The tile's texture is still bound: it gets its smooth filtering back.
    useFilter(GL_LINEAR);
    beginSpriteGlow();
    glPushMatrix();
    glTranslatef(10.0f, 0.0f, 0.0f);
    drawParticleColumn();
    glPopMatrix();
    glPushMatrix();
    glTranslatef(50.0f, 0.0f, 0.0f);
    for (int copy = 0; copy < ROW_COPIES; ++copy) {
        drawParticles();
        glTranslatef(ROW_STEP, 0.0f, 0.0f);
    }
    glPopMatrix();
    useNormalBlending();

    begin3D();
    drawCubeLoop();
    end3D();
}
