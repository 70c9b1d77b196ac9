#include "sync/show_state.h"

#include "shared/random.h"

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
    case 0: case 1: case 2: case 3: case 4:
        show.scene.store(parameter);
        show.tick.store(0);
        break;
    case 5: case 6: case 7:
        show.scene.store(parameter);
        break;
    case 10:
        addPulse(1.0f);
        toggle(show.beatFlash);
        break;
    case 12: toggle(show.showVersus); break;
    case 13: toggle(show.wisdomAlt); break;
    case 14: toggle(show.spinX); break;
    case 15: toggle(show.spinY); break;
    case 16: toggle(show.spinZ); break;
    case 17: show.fadeActive.store(1); break;
    case 27: show.quitRequested.store(1); break;
    default: break;
    }
}
