#include <GL/gl.h>

#include "assets/textures.h"
#include "scenes/scenes.h"
#include "sync/show_state.h"

namespace {
constexpr int CARD_HALF = 50;  // canvas units, half the side of the closing card
}

// Closing: the final credits card fading in.
void scene7()
{
    show.overlayMode = 2;
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, creditifinali.texName);
    glPushMatrix();
    glTranslatef(160.0f, 120.0f, 0.0f);
    glBegin(GL_QUADS);
    glColor4ub(255, 255, 255, show.fadeLevel);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2i(-CARD_HALF, -CARD_HALF);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2i(CARD_HALF, -CARD_HALF);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2i(CARD_HALF, CARD_HALF);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2i(-CARD_HALF, CARD_HALF);
    glEnd();
    // Texturing stays off; the frame's composition turns it back on.
    glDisable(GL_TEXTURE_2D);
    glPopMatrix();
}
