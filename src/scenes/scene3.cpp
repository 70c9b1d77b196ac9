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

// A tilted loop of flickering cubes whose radius swells and shrinks with sin(a).
void drawCubeLoop()
{
    glPushMatrix();
    glRotatef(-45.0f, 0.0f, 0.0f, 1.0f);
    glRotatef(10.0f, 0.0f, 1.0f, 0.0f);
    glTranslatef(7.5f, 0.0f, 0.0f);
    drawCubeCurve(show.tick.load(), 1, true);
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
