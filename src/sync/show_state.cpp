#include "sync/show_state.h"

#include "shared/random.h"
#include "sync/sync_codes.h"

ShowState show;

namespace {

// tickRandom takes the first number of the random sequence, before main runs.
const bool tickRandomDrawn = (show.tickRandom = k3l::rand(), true);

void toggle(std::atomic<uint8_t>& flag)
{
    flag.store(flag.load() == 0 ? 1 : 0);
}

void addPulse(float amount)
{
    float current = show.pulse.load();
    while (!show.pulse.compare_exchange_weak(current, current + amount)) {
    }
}

}  // namespace

void onSyncEvent(FMUSIC_MODULE*, unsigned char parameter)
{
    switch (parameter) {
    case SYNC_CUT_TO_CREDITS: case SYNC_CUT_TO_AFRAID: case SYNC_CUT_TO_CONFIDENCE: case SYNC_CUT_TO_SCORAMENTO:
    case SYNC_CUT_TO_WISDOM:
        show.scene.store(parameter);
        show.tick.store(0);
        break;
    case SYNC_CUT_TO_TUNNEL: case SYNC_CUT_TO_LATTICE: case SYNC_CUT_TO_CARD:
        show.scene.store(parameter);
        break;
    case SYNC_BEAT:
        addPulse(1.0f);
        toggle(show.beatFlash);
        break;
    case SYNC_TOGGLE_SHOW_VERSUS: toggle(show.showVersus); break;
    case SYNC_TOGGLE_WISDOM_ALT: toggle(show.wisdomAlt); break;
    case SYNC_TOGGLE_SPIN_X: toggle(show.spinX); break;
    case SYNC_TOGGLE_SPIN_Y: toggle(show.spinY); break;
    case SYNC_TOGGLE_SPIN_Z: toggle(show.spinZ); break;
    case SYNC_START_FADE: show.fadeActive.store(1); break;
    case SYNC_QUIT: show.quitRequested.store(1); break;
    default: break;
    }
}
