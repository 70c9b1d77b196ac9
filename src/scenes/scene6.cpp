#include <GL/gl.h>

#include "shared/random.h"
#include "assets/textures.h"
#include "gfx/flash_cube.h"
#include "gfx/layers.h"
#include "gfx/projection.h"
#include "scenes/scenes.h"
#include "sync/show_state.h"
#include "sync/sync_codes.h"

namespace {

constexpr int LATTICE_REACH = 2;          // cubes either side of the lattice centre, per axis
constexpr int LATTICE_SPACING = 5;        // perspective units between lattice cubes
constexpr int BLOCKS_PER_ROW = 8;
constexpr float BLOCK_STEP = 40.0f;       // canvas units between neighbouring blocks
constexpr float BLOCK_LIT = 0.8f;         // opacity of a lit block
constexpr float BLOCK_DIM = 0.3f;         // opacity of a dim block
constexpr float SPIN_PASSES_END = 50.0f;  // the spinning squares' counter stays below it
constexpr float CAT_HALF = 15.0f;         // canvas units, half the cat's side
constexpr uint8_t FADE_DONE = 250;        // fade level that hands the show to the last scene

// A 5 x 5 x 5 lattice of steady cubes tumbling about the axes the spin flags switch on.
void drawLattice()
{
    const int32_t tick = show.tick.load();
    glPushMatrix();
    glTranslatef(-10.0f, -10.0f, -70.0f);
    glRotatef(static_cast<float>(tick), 1.0f, 0.0f, 0.0f);
    glRotatef(static_cast<float>(show.spinX.load() * tick), 1.0f, 0.0f, 0.0f);
    glRotatef(static_cast<float>(show.spinY.load() * tick), 0.0f, 1.0f, 0.0f);
    glRotatef(static_cast<float>(show.spinZ.load() * tick), 0.0f, 0.0f, 1.0f);
    for (int i = -LATTICE_REACH; i <= LATTICE_REACH; ++i) {
        for (int j = -LATTICE_REACH; j <= LATTICE_REACH; ++j) {
            for (int k = -LATTICE_REACH; k <= LATTICE_REACH; ++k) {
                drawFlashCube(LATTICE_SPACING * i, LATTICE_SPACING * j, LATTICE_SPACING * k,
                              tick + i + j + k, false);
            }
        }
    }
    glEnable(GL_TEXTURE_2D);
    glPopMatrix();
}

// Eight blocks in a row starting at canvas (20, y); each one lit or dim at random.
void drawBlockRow(float y, float bottom, float top)
{
    glPushMatrix();
    glTranslatef(-20.0f, y, 0.0f);
    for (int block = 0; block < BLOCKS_PER_ROW; ++block) {
        glTranslatef(BLOCK_STEP, 0.0f, 0.0f);
        const int r = k3l::rand();
        glColor4f(1.0f, 1.0f, 1.0f, r % 2 == 1 ? BLOCK_LIT : BLOCK_DIM);
        glBegin(GL_QUADS);
        glVertex3f(-20.0f, bottom, 0.0f);
        glVertex3f(20.0f, bottom, 0.0f);
        glVertex3f(20.0f, top, 0.0f);
        glVertex3f(-20.0f, top, 0.0f);
        glEnd();
    }
    glPopMatrix();
}

// Forty-nine fading squares fanned out around (240, 120), each turned a little further.
void drawSpinningSquares()
{
    const int32_t turn = 10 * show.tick.load();
    const float sway = cosDeg(turn);
    for (float b = 1.0f; b < SPIN_PASSES_END; b += 1.0f) {
        glPushMatrix();
        glTranslatef(240.0f, 120.0f, 0.0f);
        glRotatef(b * sway + static_cast<float>(turn), 0.0f, 0.0f, 1.0f);
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f / b);
        glBegin(GL_QUADS);
        glVertex3f(-20.0f, -20.0f, 0.0f);
        glVertex3f(20.0f, -20.0f, 0.0f);
        glVertex3f(20.0f, 20.0f, 0.0f);
        glVertex3f(-20.0f, 20.0f, 0.0f);
        glEnd();
        glPopMatrix();
    }
}

// The cat, square and tilted, over the spinning squares.
void drawCat()
{
    glPushMatrix();
    glBindTexture(GL_TEXTURE_2D, gatto.texName);
    glTranslatef(240.0f, 120.0f, 0.0f);
    glRotatef(-45.0f, 0.0f, 0.0f, 1.0f);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(-CAT_HALF, -CAT_HALF, 0.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(CAT_HALF, -CAT_HALF, 0.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(CAT_HALF, CAT_HALF, 0.0f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(-CAT_HALF, CAT_HALF, 0.0f);
    glEnd();
    glPopMatrix();
}

// The black veil over the whole canvas, as opaque as the fade has come.
void drawVeil()
{
    glDisable(GL_TEXTURE_2D);
    glBegin(GL_QUADS);
    glColor4ub(0, 0, 0, show.fadeLevel);
    glVertex2i(0, 0);
    glVertex2i(320, 0);
    glVertex2i(320, 240);
    glVertex2i(0, 240);
    glEnd();
    glEnable(GL_TEXTURE_2D);
}

}  // namespace

// The tumbling lattice, swarm columns, random blocks, spinning squares, the cat and the fading veil.
void scene6()
{
    show.overlayMode = 2;

    begin3D();
    drawLattice();
    endPerspective();

    beginSpriteGlow();
    drawSwarmAtBothEdges();

    // Still additive: the blocks and squares brighten what lies below.
    glDisable(GL_TEXTURE_2D);
    drawBlockRow(50.0f, -20.0f, 0.0f);
    drawBlockRow(190.0f, 0.0f, 20.0f);
    drawSpinningSquares();
    useNormalBlending();
    glEnable(GL_TEXTURE_2D);

    drawCat();
    drawVeil();

    if (show.fadeLevel == FADE_DONE) {
        show.scene.store(CARD_SCENE);
        show.fadeLevel = 0;
        show.fadeActive.store(0);
    }
}
