#pragma once
// Shapes that more than one image draws: the cat, the owl.
#include "art/shapes.h"

namespace art {

// A sitting cat seen from the front, tail curled round to its right; base is the
// middle of its feet and size its height from feet to ear tips, in pixels.
bool inCat(Point p, Point base, float size);

// Where the cat's eyes are, for the images that light them.
Point catEye(Point base, float size, bool left);

}  // namespace art
