#pragma once
// Plane geometry for drawing shapes: point tests and distances in pixel units.
#include <vector>

namespace art {

// A point in pixel units.
struct Point {
    float x = 0.0f;
    float y = 0.0f;
};

// Inside the ellipse centred at c with radii rx, ry.
bool inEllipse(Point p, Point c, float rx, float ry);

// Inside the polygon (even-odd rule).
bool inPolygon(Point p, const std::vector<Point>& corners);

// Distance from p to the segment a-b.
float segmentDistance(Point p, Point a, Point b);

// Distance from p to the polyline through the points.
float polylineDistance(Point p, const std::vector<Point>& points);

// Inside a heart centred at c, size pixels from its cleft to its tip.
bool inHeart(Point p, Point c, float size);

// Inside the rectangle x0..x1, y0..y1.
bool inRect(Point p, float x0, float y0, float x1, float y1);

// The point t (0..1) along a quadratic Bezier curve a, control b, c.
Point bezier(Point a, Point b, Point c, float t);

// The points of a quadratic Bezier curve, count + 1 of them.
std::vector<Point> bezierPoints(Point a, Point b, Point c, int count);

}  // namespace art
