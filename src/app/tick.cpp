#include "app/demo.h"
#include "app/frame_timer.h"
#include "shared/random.h"
#include "gfx/particles.h"
#include "gfx/rings.h"
#include "platform/glut.h"
#include "sync/show_state.h"
#include "sync/sync_codes.h"

namespace {
constexpr float PULSE_DECAY = 0.25f;  // pulse lost per tick
constexpr uint8_t FADE_STEP = 5;      // fade level gained per tick
constexpr uint8_t FADE_FULL = 250;    // fade level where the fade stops

// Takes one decay step off the pulse unless it rests at 0; an event may add to it meanwhile.
void decayPulse()
{
    float current = show.pulse.load();
    while (current != 0.0f &&
           !show.pulse.compare_exchange_weak(current, static_cast<float>(current - double{PULSE_DECAY}))) {
    }
}
}  // namespace

void onIdle()
{
    if (!(frameTimer.elapsedMs() > TICK_MS)) {
        return;
    }
    show.tick.fetch_add(1);
    show.tickRandom = k3l::rand();
    decayPulse();
    if (show.scene.load() == TUNNEL_SCENE) {
        advanceRings();
    }
    stepParticles();
    if (show.fadeActive.load() && show.fadeLevel < FADE_FULL) {
        show.fadeLevel += FADE_STEP;
    }
    if (show.quitRequested.load()) {
        quitDemo();
    }
    glutPostRedisplay();
    frameTimer.reset();
}
