#pragma once
#include <atomic>
#include <cstdint>

struct FMUSIC_MODULE;

// The state the music and the picture share. Fields that the module player's
// thread writes are atomic; the rest belong to the main thread alone.
struct ShowState {
    std::atomic<int32_t> scene{0};       // events 0-7 and scene 6's hand-over; read by drawScene and the tick
    std::atomic<int32_t> tick{0};        // the tick adds 1, events 0-4 store 0; read by scenes and rings
    std::atomic<float> pulse{0.0f};      // event 10 adds 1.0, the tick takes 0.25; read by projection, sprites, scenes
    std::atomic<uint8_t> beatFlash{0};   // event 10 toggles; read by scene 1
    std::atomic<uint8_t> showVersus{0};  // event 12 toggles; read by scene 4
    std::atomic<uint8_t> wisdomAlt{0};   // event 13 toggles; read by scene 4
    std::atomic<uint8_t> spinX{0};       // event 14 toggles; read by scene 6
    std::atomic<uint8_t> spinY{0};       // event 15 toggles; read by scene 6
    std::atomic<uint8_t> spinZ{0};       // event 16 toggles; read by scene 6
    std::atomic<uint8_t> fadeActive{0};  // event 17 sets, scene 6's hand-over clears; read by the tick
    std::atomic<uint8_t> quitRequested{0};  // event 27 sets; read by the tick
    int32_t tickRandom = 0;   // static initialisation and the tick draw it; read by scene 1
    uint8_t fadeLevel = 0;    // the tick raises it, scene 6 clears it; read by scenes 6 and 7
    int32_t overlayMode = 0;  // each scene sets it every frame; read by onDisplay
    int32_t overlayPhase = 0; // onDisplay alone
};

// The one show state, shared by the player's thread and the main thread.
extern ShowState show;

// Turns one Zxx effect of the module into a change of the show state.
void onSyncEvent(FMUSIC_MODULE* module, unsigned char parameter);
