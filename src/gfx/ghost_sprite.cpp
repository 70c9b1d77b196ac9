#include "gfx/ghost_sprite.h"

#include <GL/gl.h>

#include "sync/show_state.h"

namespace {
constexpr float GHOST_PASSES = 5.0f;   // copies drawn, counted in float
constexpr int SPRITE_DEPTH = 1;        // canvas units: z of ghost sprites
constexpr float GHOST_ALPHA = 0.5f;    // opacity of each copy
}  // namespace

void drawGhostSprite(int x, int y, int w, int h, TextureImage image)
{
    const double pulse = show.pulse.load();
    glPushMatrix();
    glBindTexture(GL_TEXTURE_2D, image.texName);
    glTranslatef(static_cast<float>(x), static_cast<float>(y), 0.0f);
    for (float pass = 0.0f; pass < GHOST_PASSES; pass += 1.0f) {
        glColor4f(1.0f, 1.0f, 1.0f, GHOST_ALPHA);
        glBegin(GL_QUADS);
        // Each copy reaches pass x pulse canvas units further out on both sides.
        const int left = static_cast<int>(0.0 - pass * pulse);
        const int right = static_cast<int>(w + pass * pulse);
        glTexCoord2f(0.0f, 0.0f);
        glVertex3i(left, 0, SPRITE_DEPTH);
        glTexCoord2f(1.0f, 0.0f);
        glVertex3i(right, 0, SPRITE_DEPTH);
        glTexCoord2f(1.0f, 1.0f);
        glVertex3i(right, h, SPRITE_DEPTH);
        glTexCoord2f(0.0f, 1.0f);
        glVertex3i(left, h, SPRITE_DEPTH);
        glEnd();
    }
    glPopMatrix();
}
