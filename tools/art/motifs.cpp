#include "art/motifs.h"

#include <algorithm>
#include <cmath>

namespace art {

bool inCat(Point p, Point base, float size)
{
    // Work in units of the cat's height: u across from the middle, v up from the feet.
    const float u = (p.x - base.x) / size;
    const float v = (p.y - base.y) / size;
    const Point q{u, v};
    // Body: a pear, wide at the haunches, narrowing to the chest.
    const bool haunches = inEllipse(q, Point{0.0f, 0.2f}, 0.27f, 0.22f);
    const bool chest = inPolygon(q, {{-0.22f, 0.2f}, {0.22f, 0.2f}, {0.15f, 0.58f}, {-0.15f, 0.58f}});
    const bool feet = inEllipse(q, Point{-0.1f, 0.035f}, 0.09f, 0.045f) || inEllipse(q, Point{0.1f, 0.035f}, 0.09f, 0.045f);
    // Head: a wide round face with cheeks, and two pointed ears.
    const bool head = inEllipse(q, Point{0.0f, 0.7f}, 0.21f, 0.17f);
    const bool earL = inPolygon(q, {{-0.2f, 0.72f}, {-0.06f, 0.82f}, {-0.17f, 1.0f}});
    const bool earR = inPolygon(q, {{0.2f, 0.72f}, {0.06f, 0.82f}, {0.17f, 1.0f}});
    // Tail: a thick curve out of the right haunch, sweeping round the ground and up.
    const std::vector<Point> tail = {{0.2f, 0.06f},  {0.33f, 0.03f}, {0.43f, 0.08f},
                                     {0.47f, 0.2f},  {0.45f, 0.32f}, {0.4f, 0.4f}};
    const bool tailIn = polylineDistance(q, tail) < 0.045f;
    return haunches || chest || feet || head || earL || earR || tailIn;
}

Point catEye(Point base, float size, bool left)
{
    return Point{base.x + (left ? -0.085f : 0.085f) * size, base.y + 0.71f * size};
}

}  // namespace art
