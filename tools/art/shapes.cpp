#include "art/shapes.h"

#include <algorithm>
#include <cmath>

namespace art {

bool inEllipse(Point p, Point c, float rx, float ry)
{
    const float dx = (p.x - c.x) / rx;
    const float dy = (p.y - c.y) / ry;
    return dx * dx + dy * dy <= 1.0f;
}

bool inPolygon(Point p, const std::vector<Point>& corners)
{
    bool inside = false;
    for (size_t i = 0, j = corners.size() - 1; i < corners.size(); j = i++) {
        const Point& a = corners[i];
        const Point& b = corners[j];
        if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) {
            inside = !inside;
        }
    }
    return inside;
}

float segmentDistance(Point p, Point a, Point b)
{
    const float vx = b.x - a.x, vy = b.y - a.y;
    const float length2 = vx * vx + vy * vy;
    const float t = length2 > 0.0f ? std::clamp(((p.x - a.x) * vx + (p.y - a.y) * vy) / length2, 0.0f, 1.0f) : 0.0f;
    const float dx = p.x - (a.x + vx * t), dy = p.y - (a.y + vy * t);
    return std::sqrt(dx * dx + dy * dy);
}

float polylineDistance(Point p, const std::vector<Point>& points)
{
    float best = 1e9f;
    for (size_t i = 1; i < points.size(); ++i) {
        best = std::min(best, segmentDistance(p, points[i - 1], points[i]));
    }
    return best;
}

bool inHeart(Point p, Point c, float size)
{
    // The sextic heart (x² + y² − 1)³ − x² y³ ≤ 0 spans y −1..1.25 about its cleft region.
    const float x = (p.x - c.x) / (size * 0.5f);
    const float y = (p.y - c.y) / (size * 0.5f) + 0.1f;
    const float s = x * x + y * y - 1.0f;
    return s * s * s - x * x * y * y * y <= 0.0f;
}

bool inRect(Point p, float x0, float y0, float x1, float y1)
{
    return p.x >= x0 && p.x < x1 && p.y >= y0 && p.y < y1;
}

Point bezier(Point a, Point b, Point c, float t)
{
    const float u = 1.0f - t;
    return Point{u * u * a.x + 2 * u * t * b.x + t * t * c.x, u * u * a.y + 2 * u * t * b.y + t * t * c.y};
}

std::vector<Point> bezierPoints(Point a, Point b, Point c, int count)
{
    std::vector<Point> points;
    for (int i = 0; i <= count; ++i) {
        points.push_back(bezier(a, b, c, static_cast<float>(i) / count));
    }
    return points;
}

}  // namespace art
