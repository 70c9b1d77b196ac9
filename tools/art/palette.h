#pragma once
// The show's palette: four ramps, night violets to paper, ember reds, golds and a
// cold teal that matches the cyan tint the show gives its particles.
#include "art/picture.h"

namespace art::palette {

// Violet ramp, darkest first.
inline const Rgba INK = rgb(14, 11, 22);
inline const Rgba NIGHT = rgb(34, 27, 54);
inline const Rgba DUSK = rgb(62, 48, 94);
inline const Rgba PLUM = rgb(98, 78, 138);
inline const Rgba ASH = rgb(150, 140, 172);
inline const Rgba BONE = rgb(243, 236, 222);

// Red ramp.
inline const Rgba BLOOD = rgb(122, 22, 44);
inline const Rgba EMBER = rgb(228, 60, 56);

// Gold ramp.
inline const Rgba UMBER = rgb(104, 58, 36);
inline const Rgba OCHRE = rgb(178, 106, 40);
inline const Rgba AMBER = rgb(246, 168, 44);
inline const Rgba STRAW = rgb(255, 226, 140);

// Teal ramp.
inline const Rgba DEEP = rgb(20, 70, 88);
inline const Rgba TEAL = rgb(64, 202, 212);

// Pure white and black, for glows and for the additive image's empty ground.
inline const Rgba WHITE = rgb(255, 255, 255);
inline const Rgba BLACK = rgb(0, 0, 0);

}  // namespace art::palette
