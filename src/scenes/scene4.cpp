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
constexpr int CAPTION_WOBBLE = 10;        // canvas units of random play in the wisdom caption

// A figure-of-eight of steady cubes: the radius follows sin(2a).
void drawCubeFigure()
{
    glPushMatrix();
    glTranslatef(4.0f, 0.0f, 0.0f);
    drawCubeCurve(show.tick.load(), 2, false);
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
