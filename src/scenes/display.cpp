#include "scenes/display.h"

#include <GL/gl.h>

#include "assets/textures.h"
#include "gfx/canvas.h"
#include "platform/glut.h"
#include "scenes/scenes.h"
#include "sync/show_state.h"

namespace {

constexpr int32_t BAND_PHASES = 8;         // frames before the band's window starts over
constexpr float BAND_BOTTOMS[BAND_PHASES] = {0.0f, 0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f};
constexpr float BAND_TOPS[BAND_PHASES] = {0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f, 0.9f, 1.0f};
constexpr float PICTURE_BOTTOM = 30.0f;    // canvas y where the bottom bar ends
constexpr float PICTURE_TOP = 210.0f;      // canvas y where the top bar begins
constexpr float OVERLAY_DEPTH = 3.0f;      // canvas z of the band and the bars

// Lays the scrolling noise band over the picture area and moves it on by one phase.
void drawNoiseBand()
{
    const int32_t mode = show.overlayMode;
    if (mode == 1) {
        glBindTexture(GL_TEXTURE_2D, noise.texName);
    } else if (mode == 2) {
        glBindTexture(GL_TEXTURE_2D, noiseliscio.texName);
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);

    const int32_t phase = show.overlayPhase;
    if (phase < 0 || phase >= BAND_PHASES) {
        return;
    }
    const float bottom = BAND_BOTTOMS[phase];
    const float top = BAND_TOPS[phase];
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, bottom);
    glVertex3f(0.0f, PICTURE_BOTTOM, OVERLAY_DEPTH);
    glTexCoord2f(1.0f, bottom);
    glVertex3f(CANVAS_WIDTH, PICTURE_BOTTOM, OVERLAY_DEPTH);
    glTexCoord2f(1.0f, top);
    glVertex3f(CANVAS_WIDTH, PICTURE_TOP, OVERLAY_DEPTH);
    glTexCoord2f(0.0f, top);
    glVertex3f(0.0f, PICTURE_TOP, OVERLAY_DEPTH);
    glEnd();
    show.overlayPhase = phase == BAND_PHASES - 1 ? 0 : phase + 1;
}

// The opaque black bars below and above the picture area.
void drawLetterbox()
{
    glDisable(GL_TEXTURE_2D);
    glBegin(GL_QUADS);
    glColor4f(0.0f, 0.0f, 0.0f, 1.0f);
    glVertex3f(0.0f, 0.0f, OVERLAY_DEPTH);
    glVertex3f(CANVAS_WIDTH, 0.0f, OVERLAY_DEPTH);
    glVertex3f(CANVAS_WIDTH, PICTURE_BOTTOM, OVERLAY_DEPTH);
    glVertex3f(0.0f, PICTURE_BOTTOM, OVERLAY_DEPTH);
    glVertex3f(0.0f, PICTURE_TOP, OVERLAY_DEPTH);
    glVertex3f(CANVAS_WIDTH, PICTURE_TOP, OVERLAY_DEPTH);
    glVertex3f(CANVAS_WIDTH, CANVAS_HEIGHT, OVERLAY_DEPTH);
    glVertex3f(0.0f, CANVAS_HEIGHT, OVERLAY_DEPTH);
    glEnd();
    glEnable(GL_TEXTURE_2D);
}

}  // namespace

void drawScene()
{
    switch (show.scene.load()) {
    case 0: scene0(); break;
    case 1: scene1(); break;
    case 2: scene2(); break;
    case 3: scene3(); break;
    case 4: scene4(); break;
    case 5: scene5(); break;
    case 6: scene6(); break;
    case 7: scene7(); break;
    default: break;
    }
}

void onDisplay()
{
    glLoadIdentity();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    drawScene();
    glEnable(GL_TEXTURE_2D);
    if (show.overlayMode != 0) {
        drawNoiseBand();
    }
    drawLetterbox();
    glutSwapBuffers();
}
