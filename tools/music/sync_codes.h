#pragma once
// The sync event codes (Zxx parameters) the show reacts to: what the song writes on its sync
// channel and what the timeline reads back.
#include <cstdint>

namespace music {

enum SyncCode : uint8_t {
    CREDITS = 0x00,     // cut to scene 0; 0x00..0x07 cut to scenes 0..7
    AFRAID = 0x01,
    CONFIDENCE = 0x02,
    SCORAMENTO = 0x03,
    WISDOM = 0x04,
    BRAVE = 0x05,
    LATTICE = 0x06,
    CARD = 0x07,        // the last cut
    BEAT = 0x0A,
    VERSUS = 0x0C,
    CAPTION = 0x0D,
    SPIN_X = 0x0E,
    SPIN_Y = 0x0F,
    SPIN_Z = 0x10,
    FADE = 0x11,
    END = 0x1B,
};

}  // namespace music
