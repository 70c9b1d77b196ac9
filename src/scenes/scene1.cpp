#include <GL/gl.h>

#include "shared/random.h"
#include "assets/textures.h"
#include "gfx/flash_cube.h"
#include "gfx/ghost_sprite.h"
#include "gfx/layers.h"
#include "scenes/scenes.h"
#include "sync/show_state.h"

namespace {

constexpr float BACKDROP_GREY = 0.7f;  // brightness of the afraid backdrop
constexpr int FIRST_ROW = -1;          // index of the nearest cube pair
constexpr int LAST_ROW = 9;            // index of the farthest cube pair
constexpr int SPRITE_RISE = 120;       // canvas units the sprite may jump above y 30

// A square of half-side `half` centred at (x, y), white on the beat, black off it.
void drawBeatSquare(float x, float y, float half, bool flash)
{
    glPushMatrix();
    glTranslatef(x, y, 0.0f);
    glBegin(GL_QUADS);
    const float shade = flash ? 1.0f : 0.0f;
    glColor4f(shade, shade, shade, 1.0f);
    glVertex3f(-half, -half, 0.0f);
    glVertex3f(half, -half, 0.0f);
    glVertex3f(half, half, 0.0f);
    glVertex3f(-half, half, 0.0f);
    glEnd();
    glPopMatrix();
}

// Two diagonal rows of flickering cubes, each cube nudged sideways at random by up to 10 x pulse.
void drawCubeRows()
{
    const double pulse = show.pulse.load();
    const int32_t tick = show.tick.load();
    const int jitterRange = static_cast<int>(10.0 * pulse) + 1;
    for (int i = FIRST_ROW; i <= LAST_ROW; ++i) {
        const int angle = static_cast<int>(10.0 * tick + 10.0 * pulse + 10.0 * i);
        const int jitterA = k3l::rand() % jitterRange;
        drawFlashCube(7 * i + jitterA, i * i / 3 - 5, -40 - 18 * i, angle, true);
        const int jitterB = k3l::rand() % jitterRange;
        drawFlashCube(7 * i + jitterB - 45, 20 - i * i / 3, 18 * i - 150, angle, true);
    }
}

}  // namespace

// Beat squares, the afraid sprite and backdrop, two diagonal rows of flickering cubes.
void scene1()
{
    show.overlayMode = 1;

    glDisable(GL_TEXTURE_2D);
    const bool flash = show.beatFlash.load() != 0;
    drawBeatSquare(50.0f, 140.0f, 20.0f, flash);
    drawBeatSquare(250.0f, 145.0f, 30.0f, flash);
    glEnable(GL_TEXTURE_2D);

    drawGhostSprite(120, 30 + show.tickRandom % SPRITE_RISE, 50, 30, afraid64);

    glBindTexture(GL_TEXTURE_2D, afraid512.texName);
    useFilter(GL_NEAREST);
    glColor4f(BACKDROP_GREY, BACKDROP_GREY, BACKDROP_GREY, 1.0f);
    drawCardQuad(0, 30, 320, 210, BACKDROP_DEPTH);

    begin3D();
    drawCubeRows();
    end3D();
}
