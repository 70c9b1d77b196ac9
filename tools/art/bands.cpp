// The two bands laid over the whole picture in every frame: 256 x 256 textures of
// which the show stretches 0.3 of the height (77 texel rows) over 180 canvas units
// and slides that window up by 0.1 each frame. They repeat across and up without a
// seam, so linear filtering at the texture's edges finds matching texels.
#include <algorithm>
#include <cmath>

#include "art/artwork.h"
#include "art/palette.h"

namespace art {

namespace {

using namespace palette;

constexpr int SIZE = 256;           // texels across and up
constexpr float PI = 3.14159265f;

// Smooth value noise on a lattice that repeats every periodX cells across and periodY up; x, y in cells.
float valueNoise(float x, float y, int periodX, int periodY, int seed)
{
    const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
    const float fx = x - x0, fy = y - y0;
    auto corner = [&](int cx, int cy) {
        return hash01(((cx % periodX) + periodX) % periodX, ((cy % periodY) + periodY) % periodY, seed);
    };
    const float sx = fx * fx * (3.0f - 2.0f * fx), sy = fy * fy * (3.0f - 2.0f * fy);
    const float bottom = corner(x0, y0) + (corner(x0 + 1, y0) - corner(x0, y0)) * sx;
    const float top = corner(x0, y0 + 1) + (corner(x0 + 1, y0 + 1) - corner(x0, y0 + 1)) * sx;
    return bottom + (top - bottom) * sy;
}

// Value noise in octaves, repeating over the whole texture; 0..1. The first octave has
// periodX cells across the texture and periodY up; each further octave twice as many.
float clouds(int x, int y, int periodX, int periodY, int octaves, int seed)
{
    float sum = 0.0f, weight = 0.5f, total = 0.0f;
    for (int o = 0; o < octaves; ++o) {
        const int px = periodX << o, py = periodY << o;
        sum += weight * valueNoise(static_cast<float>(x) * px / SIZE, static_cast<float>(y) * py / SIZE, px, py, seed + o);
        total += weight;
        weight *= 0.5f;
    }
    return sum / total;
}

// Paints a colour at (x, y) with the texture wrapped around at its edges.
void paintWrapped(Picture& p, int x, int y, Rgba c, float coverage)
{
    paint(p, ((x % SIZE) + SIZE) % SIZE, ((y % SIZE) + SIZE) % SIZE, c, coverage);
}

}  // namespace

Artwork noise(const Fonts&)
{
    Picture p = makePicture(SIZE, SIZE);
    // A rolling bar of faint light, as when the picture loses its hold.
    for (int y = 0; y < SIZE; ++y) {
        const float d = std::abs(y - 176.0f) / 22.0f;
        const float bar = d < 1.0f ? 0.07f * (0.5f + 0.5f * std::cos(d * PI)) : 0.0f;
        for (int x = 0; x < SIZE; ++x) {
            paint(p, x, y, BONE, bar);
        }
    }
    // Scan lines: every other texel row a little darker.
    for (int y = 0; y < SIZE; y += 2) {
        for (int x = 0; x < SIZE; ++x) {
            paint(p, x, y, INK, 0.10f);
        }
    }
    // Grain: sparse specks, pale and dark, thicker where the clouds gather.
    for (int y = 0; y < SIZE; ++y) {
        for (int x = 0; x < SIZE; ++x) {
            const float h = hash01(x, y, 11);
            const float gather = clouds(x, y, 8, 8, 3, 40);
            const float strength = hash01(x, y, 12);
            if (h < 0.004f + 0.03f * gather * gather) {
                paint(p, x, y, BONE, 0.25f + 0.35f * strength);
            } else if (h > 0.992f) {
                paint(p, x, y, INK, 0.25f + 0.25f * strength);
            }
        }
    }
    // Streaks: a bright tear across a row, split into teal above and ember below.
    for (int i = 0; i < 11; ++i) {
        const int y = static_cast<int>(hash01(i, 1, 21) * SIZE);
        const int x0 = static_cast<int>(hash01(i, 2, 21) * SIZE);
        const int length = 30 + static_cast<int>(hash01(i, 3, 21) * 150.0f);
        const float peak = 0.25f + 0.35f * hash01(i, 4, 21);
        for (int k = 0; k < length; ++k) {
            const float t = static_cast<float>(k) / length;
            const float shape = std::sin(t * PI) * (0.75f + 0.25f * hash01(k, i, 22));
            paintWrapped(p, x0 + k, y, BONE, peak * shape);
            paintWrapped(p, x0 + k + 2, y + 1, TEAL, 0.5f * peak * shape);
            paintWrapped(p, x0 + k - 2, y - 1, EMBER, 0.5f * peak * shape);
        }
    }
    // Drop-outs: short dark dashes where the signal fails.
    for (int i = 0; i < 16; ++i) {
        const int y = static_cast<int>(hash01(i, 5, 23) * SIZE);
        const int x0 = static_cast<int>(hash01(i, 6, 23) * SIZE);
        const int length = 4 + static_cast<int>(hash01(i, 7, 23) * 14.0f);
        for (int k = 0; k < length; ++k) {
            paintWrapped(p, x0 + k, y, INK, 0.45f);
        }
    }

    return Artwork{p, 32,
                   "band over scenes 1, 3, 5: scan lines, grain, torn bright streaks, a rolling bar",
                   Staging{320, 180, DUSK, WHITE, false, false}};
}

Artwork noiseliscio(const Fonts&)
{
    Picture p = makePicture(SIZE, SIZE);
    // A soft haze in long smears: violet, light enough to tint white and dim black alike. The
    // show stretches the band about twice as much up as across, so the smears are drawn flat.
    for (int y = 0; y < SIZE; ++y) {
        for (int x = 0; x < SIZE; ++x) {
            const float haze = clouds(x, y, 2, 16, 4, 60);
            const float amount = std::clamp((haze - 0.45f) / 0.35f, 0.0f, 1.0f);
            paint(p, x, y, PLUM, 0.12f * amount * amount);
        }
    }
    // Gentle scan lines: a slow ripple rather than hard rows.
    for (int y = 0; y < SIZE; ++y) {
        const float ripple = 0.5f + 0.5f * std::cos(2.0f * PI * y / 4.0f);
        for (int x = 0; x < SIZE; ++x) {
            paint(p, x, y, DUSK, 0.03f * ripple);
        }
    }
    // A few long soft glints of teal, blurred over three rows.
    for (int i = 0; i < 6; ++i) {
        const int y = static_cast<int>(hash01(i, 1, 61) * SIZE);
        const int x0 = static_cast<int>(hash01(i, 2, 61) * SIZE);
        const int length = 80 + static_cast<int>(hash01(i, 3, 61) * 120.0f);
        for (int k = 0; k < length; ++k) {
            const float shape = std::sin(static_cast<float>(k) / length * PI);
            for (int dy = -1; dy <= 1; ++dy) {
                paintWrapped(p, x0 + k, y + dy, TEAL, (dy == 0 ? 0.14f : 0.06f) * shape);
            }
        }
    }

    return Artwork{p, 32,
                   "soft band over scenes 2, 4, 6, 7: violet haze, slow ripples, faint teal glints",
                   Staging{320, 180, WHITE, WHITE, false, false}};
}

}  // namespace art
