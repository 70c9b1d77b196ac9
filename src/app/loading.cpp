#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>

#include "app/demo.h"
#include "app/frame_timer.h"
#include "assets/textures.h"
#include "gfx/canvas.h"
#include "gfx/particles.h"
#include "gfx/projection.h"
#include "gfx/rings.h"
#include "platform/glut.h"
#include "sync/music.h"
#include "sync/show_state.h"

namespace {

constexpr int LOADING_WALK_STEPS = 200;  // particle steps taken before the show starts
constexpr int MIX_RATE = 44100;          // Hz
constexpr int SOFTWARE_CHANNELS = 32;
constexpr float POINT_SIZE = 5.0f;       // pixels

// Console text, shown at once.
void print(const char* text)
{
    std::printf("%s", text);
    std::fflush(stdout);
}

}  // namespace

void loadDemo()
{
    print("[LOADING");

    buildDegreeTables();
    print("..");

    initParticles();
    for (int step = 0; step < LOADING_WALK_STEPS; ++step) {
        stepParticles();
    }
    print("..");

    initRings();
    print("..");

    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClearDepth(1.0);
    print("..");

    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    print("..");

    glEnable(GL_TEXTURE_2D);
    glEnable(GL_CULL_FACE);
    glEnable(GL_LINE_SMOOTH);
    glEnable(GL_POINT_SMOOTH);
    glPointSize(POINT_SIZE);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, CANVAS_WIDTH, 0.0, CANVAS_HEIGHT, -CANVAS_DEPTH, CANVAS_DEPTH);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    print("..");

    frameTimer.init();
    print("..");

    FSOUND_Init(MIX_RATE, SOFTWARE_CHANNELS, 0);
    song = FMUSIC_LoadSong("data\\zelto-07.tga");
    if (!song) {
        print("\nImpossibile caricare il file\n");
        return;
    }
    FMUSIC_SetZxxCallback(song, onSyncEvent);
    print("..");

    loadTextures();
    print("..]\nLoaded.\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n");

    glutFullScreen();
}

void onKeyboard(unsigned char key, int, int)
{
    if (key == 27) {
        quitDemo();
    }
}

void quitDemo()
{
    FMUSIC_StopSong(song);
    FMUSIC_FreeSong(song);
    FSOUND_Close();
    ShowCursor(true);
    std::exit(0);
}
