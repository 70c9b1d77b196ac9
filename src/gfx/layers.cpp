#include "gfx/layers.h"

#include "assets/textures.h"
#include "gfx/canvas.h"
#include "gfx/particles.h"
#include "gfx/projection.h"
#include "sync/show_state.h"

namespace {
constexpr float POINT_SIZE_PER_PULSE = 5.0f;  // pixels gained by the dots per unit of pulse
constexpr float POINT_SIZE_AT_REST = 5.0f;    // pixels
constexpr float GLOW_RED = 0.5f;              // the swarm's colour, red part
constexpr float GLOW_ALPHA = 0.3f;            // the swarm's opacity
}  // namespace

void useFilter(GLint filter)
{
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
}

void drawCardQuad(int left, int bottom, int right, int top, int depth)
{
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3i(left, bottom, depth);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3i(right, bottom, depth);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3i(right, top, depth);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3i(left, top, depth);
    glEnd();
}

void beginSpriteGlow()
{
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glBindTexture(GL_TEXTURE_2D, sprite.texName);
    glColor4f(GLOW_RED, 1.0f, 1.0f, GLOW_ALPHA);
}

void drawSwarmAtBothEdges()
{
    glPushMatrix();
    drawParticleColumn();
    glTranslatef(CANVAS_WIDTH, 0.0f, 0.0f);
    drawParticleColumn();
    glPopMatrix();
}

void useNormalBlending()
{
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void begin3D()
{
    beginPerspective();
    glDisable(GL_TEXTURE_2D);
    glPointSize(POINT_SIZE_PER_PULSE * show.pulse.load() + POINT_SIZE_AT_REST);
}

void end3D()
{
    glEnable(GL_TEXTURE_2D);
    endPerspective();
}
