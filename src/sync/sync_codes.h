#pragma once
// The words the show and its music share, named once: the scene numbers (show.scene) and the sync
// event codes, the Zxx parameters the module carries. Used by the show's handler and tick, by
// tools/music that writes and reads the music, and, through syncLabel, by what shows a timeline.
#include <cstdint>

// The eight scenes, by number.
enum SceneNumber : int32_t {
    CREDITS_SCENE = 0,     // the credits card
    AFRAID_SCENE = 1,
    CONFIDENCE_SCENE = 2,
    SCORAMENTO_SCENE = 3,
    WISDOM_SCENE = 4,      // wisdom versus uncertainty
    TUNNEL_SCENE = 5,      // the ring tunnel behind "brave"
    LATTICE_SCENE = 6,     // the cube lattice, where the closing fade hands over
    CARD_SCENE = 7,        // the closing card
};
constexpr int32_t SCENE_COUNT = 8;  // scenes 0 to 7

// What each Zxx parameter asks of the show; any other does nothing. A cut's code is its scene's
// number; cuts to scenes 0 to 4 also restart the tick count.
enum SyncCode : uint8_t {
    SYNC_CUT_TO_CREDITS = CREDITS_SCENE,
    SYNC_CUT_TO_AFRAID = AFRAID_SCENE,
    SYNC_CUT_TO_CONFIDENCE = CONFIDENCE_SCENE,
    SYNC_CUT_TO_SCORAMENTO = SCORAMENTO_SCENE,
    SYNC_CUT_TO_WISDOM = WISDOM_SCENE,
    SYNC_CUT_TO_TUNNEL = TUNNEL_SCENE,
    SYNC_CUT_TO_LATTICE = LATTICE_SCENE,
    SYNC_CUT_TO_CARD = CARD_SCENE,
    SYNC_BEAT = 0x0A,                // pulse +1, beatFlash toggles
    SYNC_TOGGLE_SHOW_VERSUS = 0x0C,  // the flags named after the show-state fields they toggle
    SYNC_TOGGLE_WISDOM_ALT = 0x0D,
    SYNC_TOGGLE_SPIN_X = 0x0E,
    SYNC_TOGGLE_SPIN_Y = 0x0F,
    SYNC_TOGGLE_SPIN_Z = 0x10,
    SYNC_START_FADE = 0x11,          // fadeActive set
    SYNC_QUIT = 0x1B,                // quitRequested set: the show ends at the next tick
};

// The scenes' short names, by number.
constexpr const char* SCENE_NAMES[SCENE_COUNT] = {"credits", "afraid", "confidence", "scoramento",
                                                  "wisdom",  "tunnel", "lattice",    "card"};

// A word or two for an event, to label it on a timeline: a cut by its scene's name, a toggle by
// the field it flips; null for a code the show ignores.
constexpr const char* syncLabel(uint8_t code)
{
    switch (code) {
    case SYNC_BEAT: return "beat";
    case SYNC_TOGGLE_SHOW_VERSUS: return "showVersus";
    case SYNC_TOGGLE_WISDOM_ALT: return "wisdomAlt";
    case SYNC_TOGGLE_SPIN_X: return "spinX";
    case SYNC_TOGGLE_SPIN_Y: return "spinY";
    case SYNC_TOGGLE_SPIN_Z: return "spinZ";
    case SYNC_START_FADE: return "fade";
    case SYNC_QUIT: return "end";
    default: return code < SCENE_COUNT ? SCENE_NAMES[code] : nullptr;
    }
}
