// The pictures: the particle, the cat, the burning heart, the owl card, the
// discouraged flower and the sheet of sketches they all started from.
#include <algorithm>
#include <cmath>
#include <string>

#include "art/artwork.h"
#include "art/motifs.h"
#include "art/palette.h"
#include "art/shapes.h"

namespace art {

namespace {

using namespace palette;

constexpr int SAMPLES = 4;  // samples per pixel across and up for smooth shapes
constexpr float PI = 3.14159265f;

// Sets one pixel of pixel art; outside is ignored.
void put(Picture& p, int x, int y, Rgba c)
{
    if (x >= 0 && y >= 0 && x < p.width && y < p.height) {
        at(p, x, y) = c;
    }
}

// Fills every pixel whose centre the shape holds: hard pixel-art edges.
void fillHard(Picture& p, const Shape& inside, Rgba c)
{
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            if (inside(x + 0.5f, y + 0.5f)) {
                at(p, x, y) = c;
            }
        }
    }
}

// The colour of fire at a heat 0..1: blood red to ember, gold, straw, white.
Rgba fire(float heat)
{
    const Rgba stops[] = {BLACK, BLOOD, EMBER, AMBER, STRAW, WHITE};
    const float t = std::clamp(heat, 0.0f, 1.0f) * 5.0f;
    const int i = std::min(4, static_cast<int>(t));
    return mix(stops[i], stops[i + 1], t - i);
}

// Inside a flame tongue rising from base to tip, width at its foot, swaying sideways.
bool inTongue(Point p, Point base, Point tip, float width, float sway)
{
    const float t = (p.y - base.y) / (tip.y - base.y);
    if (t < 0.0f || t > 1.0f) {
        return false;
    }
    const float centre = base.x + (tip.x - base.x) * t + sway * std::sin(t * PI);
    const float half = width * 0.5f * std::pow(1.0f - t, 0.9f) * std::min(1.0f, 0.6f + t * 2.0f);
    return std::abs(p.x - centre) < half;
}

// The outline of a shape: a ring of the given width around its outside edge.
Mask outline(const Mask& shape, float width)
{
    return subtract(grow(shape, width), shape);
}

}  // namespace

Artwork sprite(const Fonts&)
{
    // 64 x 64 on a 20 x 20 quad, added in cyan: a white glow whose alpha falls smoothly to
    // nothing at the rim, (1 − r²)², so the quad's square never shows.
    Picture p = makePicture(64, 64, WHITE);
    const float radius = 31.5f;  // texels: the edge texels' centres lie on the rim
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const float dx = (x + 0.5f - 32.0f) / radius, dy = (y + 0.5f - 32.0f) / radius;
            const float r2 = std::min(1.0f, dx * dx + dy * dy);
            at(p, x, y).a = (1.0f - r2) * (1.0f - r2);
        }
    }
    return Artwork{p, 32,
                   "the particle: a soft white glow, alpha (1 - r^2)^2, added in cyan",
                   Staging{20, 20, BLACK, Rgba{0.5f, 1.0f, 1.0f, 0.3f}, false, true}};
}

Artwork gatto(const Fonts&)
{
    // 128 x 128 on a 30 x 30 quad, turned: a black cat with a pale edge, so it reads on
    // white and over the dark squares of scene 6 alike.
    Picture p = makePicture(128, 128);
    const Point base{52, 8};
    const float size = 112;  // texels from the feet to the ear tips
    const Mask body = shapeMask(128, 128, [&](float x, float y) { return inCat(Point{x, y}, base, size); }, SAMPLES);
    paintMask(p, grow(body, 3.0f), BONE);
    paintMask(p, body, INK);
    // Light along the cat's left flank and head.
    const Mask flank = subtract(body, shapeMask(128, 128, [&](float x, float y) {
        return inCat(Point{x - 3.0f, y + 1.0f}, base, size);
    }, SAMPLES));
    paintMask(p, flank, DUSK);
    // Inner ears.
    paintShape(p, [&](float x, float y) {
        const Point q{(x - base.x) / size, (y - base.y) / size};
        return inPolygon(q, {{-0.165f, 0.77f}, {-0.09f, 0.82f}, {-0.155f, 0.93f}}) ||
               inPolygon(q, {{0.165f, 0.77f}, {0.09f, 0.82f}, {0.155f, 0.93f}});
    }, BLOOD, SAMPLES);
    // Eyes: gold almonds with slit pupils and a glint.
    for (bool left : {true, false}) {
        const Point e = catEye(base, size, left);
        paintShape(p, [&](float x, float y) { return inEllipse(Point{x, y}, e, 8.5f, 7.0f); }, AMBER, SAMPLES);
        paintShape(p, [&](float x, float y) { return inEllipse(Point{x, y}, e, 2.2f, 6.2f); }, INK, SAMPLES);
        paintShape(p, [&](float x, float y) { return inEllipse(Point{x, y}, Point{e.x + 3.0f, e.y + 3.0f}, 1.6f, 1.6f); },
                   WHITE, SAMPLES);
    }
    // Nose and whiskers.
    const Point nose{base.x, base.y + 0.635f * size};
    paintShape(p, [&](float x, float y) {
        return inPolygon(Point{x, y}, {{nose.x - 4.0f, nose.y + 2.5f}, {nose.x + 4.0f, nose.y + 2.5f}, {nose.x, nose.y - 2.5f}});
    }, EMBER, SAMPLES);
    for (int side : {-1, 1}) {
        for (int k = 0; k < 3; ++k) {
            const Point from{nose.x + side * 7.0f, nose.y - 1.0f - k * 2.5f};
            const Point to{nose.x + side * 32.0f, nose.y + 4.0f - k * 6.0f};
            paintShape(p, [&](float x, float y) { return segmentDistance(Point{x, y}, from, to) < 0.7f; }, ASH, SAMPLES);
        }
    }
    bleed(p, 4);

    return Artwork{p, 32,
                   "the cat: sitting, gold eyes, tail curled; scenes 4 and 6, turned",
                   Staging{30, 30, WHITE, WHITE, false, false}};
}

Artwork brave(const Fonts& fonts)
{
    // 256 x 256 added onto the black tunnel: black is its empty ground, so it has no alpha.
    const int size = 256;
    const Point centre{128, 118};
    const float heartSize = 112;
    auto inHeartHere = [&](float x, float y) { return inHeart(Point{x, y}, centre, heartSize); };
    // Flames rise from behind the heart's shoulders and cleft.
    auto inFlames = [&](float x, float y) {
        const Point q{x, y};
        return inTongue(q, Point{84, 150}, Point{62, 240}, 60, -12) || inTongue(q, Point{128, 140}, Point{132, 252}, 54, 14) ||
               inTongue(q, Point{172, 150}, Point{194, 238}, 60, 12) || inTongue(q, Point{58, 130}, Point{30, 196}, 30, -8) ||
               inTongue(q, Point{198, 130}, Point{226, 200}, 30, 8) || inTongue(q, Point{106, 160}, Point{96, 226}, 26, -6) ||
               inTongue(q, Point{150, 160}, Point{162, 224}, 26, 6);
    };
    const Mask heart = shapeMask(size, size, inHeartHere, SAMPLES);
    const Mask flames = shapeMask(size, size, inFlames, SAMPLES);
    const Mask heat = blur(flames, 6, 3);
    const Mask halo = blur(unite(heart, flames), 14, 3);
    const Mask rim = subtract(grow(heart, 3.0f), heart);
    Picture p = makePicture(size, size, BLACK);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const size_t i = static_cast<size_t>(y) * size + x;
            // A dim red glow round everything, then the flames: hottest at their roots.
            Rgba c = mix(BLACK, BLOOD, std::min(1.0f, halo.cover[i] * 0.8f));
            const float root = std::clamp(1.0f - (y - 140.0f) / 110.0f, 0.0f, 1.0f);
            c = mix(c, fire(0.25f + 0.7f * heat.cover[i] * (0.35f + 0.65f * root)), flames.cover[i]);
            // The heart: ember at the edge, gold toward a bright upper-left lobe.
            const float dx = (x - 98.0f) / 60.0f, dy = (y - 140.0f) / 60.0f;
            const float shine = std::clamp(1.0f - std::sqrt(dx * dx + dy * dy), 0.0f, 1.0f);
            const Rgba body = mix(mix(BLOOD, EMBER, std::clamp((y - 50.0f) / 60.0f, 0.0f, 1.0f)), STRAW, shine * shine);
            c = mix(c, mix(c, BLACK, 0.75f), rim.cover[i]);  // a dark seam parts heart from fire
            c = mix(c, body, heart.cover[i]);
            p.px[i] = c;
        }
    }
    // The word under the heart, pale with a red edge.
    Mask word = makeMask(size, size);
    drawCentred(word, fonts.sans, "brave", 128, 14, fitText(fonts.sans, "brave", 170, 48, 1.0f), false);
    paintMask(p, grow(word, 2.5f), BLOOD);
    paintMask(p, grow(word, 1.0f), EMBER);
    paintMask(p, word, BONE);
    // Nothing may glow at the border: the square's edge stays black on the tunnel.
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            if (x < 3 || y < 3 || x >= size - 3 || y >= size - 3) {
                at(p, x, y) = BLACK;
            }
        }
    }

    return Artwork{p, 24,
                   "brave: a heart on fire over its word, on black that adds nothing; scene 5",
                   Staging{120, 120, BLACK, Rgba{1, 1, 1, 0.8f}, false, true}};
}

Artwork wisdom(const Fonts& fonts)
{
    // 64 x 64 pixel art on a 100 x 100 card (GL_NEAREST): an owl before the moon, the word below.
    Picture p = makePicture(64, 64);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            put(p, x, y, dither(DUSK, NIGHT, (y - 14) / 44.0f, x, y));
        }
    }
    // Stars.
    const int stars[][2] = {{8, 56}, {15, 46}, {26, 59}, {58, 38}, {5, 38}, {38, 55}};
    for (const auto& s : stars) {
        put(p, s[0], s[1], BONE);
    }
    // The moon with a darker sea on it.
    fillHard(p, [](float x, float y) { return inEllipse(Point{x, y}, Point{51, 52}, 8.5f, 8.5f); }, STRAW);
    fillHard(p, [](float x, float y) {
        return inEllipse(Point{x, y}, Point{54, 55}, 2.5f, 2) || inEllipse(Point{x, y}, Point{49, 49}, 2, 2);
    }, AMBER);
    // The branch.
    fillHard(p, [](float x, float y) { return y >= 16 && y < 19 + (x - 4) / 20.0f && x >= 2 && x < 62; }, UMBER);
    put(p, 53, 20, UMBER);
    put(p, 54, 21, UMBER);
    put(p, 55, 21, TEAL);
    put(p, 56, 22, TEAL);
    // The owl: body, wings, pale belly with chevrons, face disc, tufts, eyes, beak, feet.
    fillHard(p, [](float x, float y) { return inEllipse(Point{x, y}, Point{32, 29}, 12, 12.5f); }, PLUM);
    fillHard(p, [](float x, float y) {
        return inEllipse(Point{x, y}, Point{22, 28}, 4, 9) || inEllipse(Point{x, y}, Point{42, 28}, 4, 9);
    }, DUSK);
    fillHard(p, [](float x, float y) { return inEllipse(Point{x, y}, Point{32, 26}, 6.5f, 8); }, ASH);
    for (int row = 0; row < 3; ++row) {
        for (int k = 0; k < 3; ++k) {
            const int cx = 28 + k * 4 - (row % 2) * 2 + 1, cy = 22 + row * 4;
            put(p, cx, cy, PLUM);
            put(p, cx - 1, cy + 1, PLUM);
            put(p, cx + 1, cy + 1, PLUM);
        }
    }
    fillHard(p, [](float x, float y) {
        return inPolygon(Point{x, y}, {{20, 40}, {23, 40}, {21, 47}}) || inPolygon(Point{x, y}, {{41, 40}, {44, 40}, {43, 47}});
    }, DUSK);
    fillHard(p, [](float x, float y) { return inEllipse(Point{x, y}, Point{32, 37.5f}, 11.5f, 6.5f); }, PLUM);
    for (int side : {-1, 1}) {
        const float cx = 32.0f + side * 5.5f;
        fillHard(p, [&](float x, float y) { return inEllipse(Point{x, y}, Point{cx, 37.5f}, 4.6f, 4.6f); }, BONE);
        fillHard(p, [&](float x, float y) { return inEllipse(Point{x, y}, Point{cx, 37.5f}, 3.1f, 3.1f); }, AMBER);
        fillHard(p, [&](float x, float y) { return inEllipse(Point{x, y}, Point{cx, 37.5f}, 1.5f, 1.5f); }, INK);
        put(p, static_cast<int>(cx) + (side < 0 ? 0 : 1), 38, WHITE);
    }
    put(p, 31, 34, AMBER);
    put(p, 32, 34, AMBER);
    put(p, 31, 33, UMBER);
    put(p, 32, 33, AMBER);
    for (int foot : {28, 35}) {
        put(p, foot, 18, AMBER);
        put(p, foot + 1, 18, AMBER);
        put(p, foot + 2, 18, AMBER);
    }
    // The word, in crisp one-bit pixels on a dark strip.
    fillHard(p, [](float, float y) { return y < 14; }, INK);
    Mask word = makeMask(64, 64);
    drawText(word, fonts.sans, "wisdom", 4, 3, TypeSize{12, 12}, true);
    const int shift = static_cast<int>(std::lround(32.0f - inkCentreX(word)));
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            if (coverAt(word, x - shift, y) > 0.5f) {
                put(p, x, y, BONE);
            }
        }
    }
    // A gold frame.
    fillHard(p, [](float x, float y) { return x < 1 || y < 1 || x > 63 || y > 63; }, AMBER);

    return Artwork{p, 24,
                   "wisdom: an owl on a branch before the moon, the word beneath; scene 4's card",
                   Staging{100, 100, WHITE, WHITE, true, false}};
}

Artwork scoramento(const Fonts&)
{
    // 64 x 64 pixel art on a 64 x 64 tile (GL_NEAREST): a flower wilting in the rain.
    Picture p = makePicture(64, 64);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            put(p, x, y, dither(DEEP, NIGHT, std::clamp((y - 4) / 16.0f, 0.0f, 1.0f), x, y));
        }
    }
    // Rain falling slant from the cloud, on the flower alone.
    for (int i = 0; i < 30; ++i) {
        const int x0 = 14 + static_cast<int>(hash01(i, 0, 31) * 42.0f);
        const int y0 = 8 + static_cast<int>(hash01(i, 1, 31) * 38.0f);
        for (int k = 0; k < 4; ++k) {
            put(p, x0 - k / 2, y0 - k, k == 0 ? ASH : TEAL);
        }
    }
    // The cloud: a heap of puffs, pale on top, dark underneath.
    auto inCloud = [](float x, float y, float grow) {
        const Point q{x, y};
        return inEllipse(q, Point{22, 52}, 10 + grow, 7 + grow) || inEllipse(q, Point{34, 55}, 11 + grow, 8 + grow) ||
               inEllipse(q, Point{45, 51}, 9 + grow, 6 + grow) || inRect(q, 13 - grow, 46 - grow, 53 + grow, 51);
    };
    fillHard(p, [&](float x, float y) { return inCloud(x, y, 1); }, INK);
    fillHard(p, [&](float x, float y) { return inCloud(x, y, 0); }, ASH);
    fillHard(p, [&](float x, float y) { return inCloud(x, y, 0) && y < 50; }, DUSK);
    fillHard(p, [&](float x, float y) { return inCloud(x, y, 0) && !inCloud(x - 1, y + 2, 0); }, BONE);
    // Puddle, pot, soil.
    fillHard(p, [](float x, float y) { return inEllipse(Point{x, y}, Point{32, 5}, 24, 3); }, DEEP);
    fillHard(p, [](float x, float y) { return inPolygon(Point{x, y}, {{24, 4}, {40, 4}, {43, 17}, {21, 17}}); }, UMBER);
    fillHard(p, [](float x, float y) { return inRect(Point{x, y}, 20, 16, 44, 19); }, EMBER);
    fillHard(p, [](float x, float y) { return inRect(Point{x, y}, 20, 16, 44, 17); }, BLOOD);
    fillHard(p, [](float x, float y) { return inPolygon(Point{x, y}, {{24, 4}, {28, 4}, {26, 15}, {22, 15}}); }, BLOOD);
    // The stem rises, then bends over so the flower hangs its head; its leaves droop.
    const std::vector<Point> stem = bezierPoints(Point{32, 19}, Point{32, 44}, Point{44, 33}, 24);
    fillHard(p, [&](float x, float y) { return polylineDistance(Point{x, y}, stem) < 1.0f; }, TEAL);
    fillHard(p, [](float x, float y) {
        return inPolygon(Point{x, y}, {{32, 27}, {26, 27}, {21, 22}, {24, 21}});
    }, TEAL);
    fillHard(p, [](float x, float y) {
        return inPolygon(Point{x, y}, {{33, 24}, {38, 25}, {41, 20}, {38, 19}});
    }, TEAL);
    // The drooping flower: a bell of petals hanging from the bent stem's end.
    const Point head{44, 31};
    fillHard(p, [&](float x, float y) {
        const Point q{x, y};
        return inPolygon(q, {{head.x - 2, head.y}, {head.x + 3, head.y}, {head.x + 5, head.y - 8}, {head.x - 4, head.y - 8}});
    }, EMBER);
    for (int k = 0; k < 3; ++k) {
        const float px = head.x - 3.5f + k * 4.0f;
        fillHard(p, [&](float x, float y) { return inEllipse(Point{x, y}, Point{px, head.y - 8.5f}, 1.6f, 2.2f); },
                 k == 1 ? EMBER : BLOOD);
    }
    fillHard(p, [&](float x, float y) { return inRect(Point{x, y}, head.x - 1, head.y - 7, head.x, head.y - 1); }, BLOOD);
    fillHard(p, [&](float x, float y) { return inEllipse(Point{x, y}, Point{head.x + 0.5f, head.y + 0.5f}, 2.2f, 1.4f); },
             AMBER);
    // Fallen petals on the ground, and one still falling.
    put(p, 48, 6, EMBER);
    put(p, 49, 6, EMBER);
    put(p, 14, 5, BLOOD);
    put(p, 15, 5, EMBER);
    put(p, 52, 14, EMBER);
    put(p, 53, 13, EMBER);

    return Artwork{p, 24,
                   "discouragement: a flower hangs its head under its own rain cloud; scene 3's tile",
                   Staging{64, 64, BLACK, rgb(230, 230, 230), true, false}};
}

Artwork schizzi(const Fonts& fonts)
{
    // 256 x 256, never drawn by the show: the sheet the other images were worked out on.
    const int size = 256;
    Picture p = makePicture(size, size, BONE);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            if (x % 16 == 0 || y % 16 == 0) {
                paint(p, x, y, TEAL, 0.22f);
            }
            paint(p, x, y, ASH, 0.08f * hash01(x, y, 71));  // paper tooth
        }
    }
    paintShape(p, [](float x, float y) { return x >= 22 && x < 23.5f && y >= 0 && y < size; }, EMBER, SAMPLES);
    const Rgba pencil = withAlpha(DUSK, 0.85f);

    // The cat.
    const Mask cat = shapeMask(size, size, [](float x, float y) { return inCat(Point{x, y}, Point{70, 142}, 84); }, SAMPLES);
    paintMask(p, outline(cat, 1.3f), pencil);
    // The heart with its flames.
    const Mask heart = shapeMask(size, size, [](float x, float y) {
        const Point q{x, y};
        return inHeart(q, Point{184, 176}, 56) || inTongue(q, Point{168, 196}, Point{160, 236}, 22, -4) ||
               inTongue(q, Point{200, 196}, Point{210, 232}, 22, 4) || inTongue(q, Point{184, 190}, Point{186, 244}, 18, 6);
    }, SAMPLES);
    paintMask(p, outline(heart, 1.3f), pencil);
    // A cube in two-point lines, and the tunnel's rings.
    const std::vector<std::pair<Point, Point>> edges = {
        {{40, 40}, {80, 30}}, {{80, 30}, {110, 44}}, {{40, 40}, {70, 54}}, {{70, 54}, {110, 44}},
        {{40, 40}, {40, 80}}, {{80, 30}, {80, 70}},  {{110, 44}, {110, 84}}, {{40, 80}, {80, 70}},
        {{80, 70}, {110, 84}}, {{40, 80}, {70, 94}}, {{70, 94}, {110, 84}}, {{70, 54}, {70, 94}}};
    paintShape(p, [&](float x, float y) {
        for (const auto& e : edges) {
            if (segmentDistance(Point{x, y}, e.first, e.second) < 0.8f) {
                return true;
            }
        }
        return false;
    }, pencil, SAMPLES);
    paintShape(p, [](float x, float y) {
        for (int k = 0; k < 5; ++k) {
            const float r = 10.0f + k * k * 4.0f;
            const float dx = (x - 184.0f) / r, dy = (y - 70.0f) / (r * 0.8f);
            if (std::abs(std::sqrt(dx * dx + dy * dy) - 1.0f) * r < 0.8f) {
                return true;
            }
        }
        return false;
    }, pencil, SAMPLES);
    // Notes.
    Mask notes = makeMask(size, size);
    const TypeSize small{11, 11};
    drawText(notes, fonts.mono, "gatto", 46, 126, small, false);
    drawText(notes, fonts.mono, "brave", 168, 130, small, false);
    drawText(notes, fonts.mono, "cubi", 56, 16, small, false);
    drawText(notes, fonts.mono, "tunnel", 166, 16, small, false);
    paintMask(p, notes, withAlpha(PLUM, 0.9f));
    Mask title = makeMask(size, size);
    drawText(title, fonts.sans, "k3lvana / schizzi", 30, 240, TypeSize{14, 14}, false);
    paintMask(p, title, EMBER);
    // Colour swatches of the palette down the margin.
    const Rgba swatches[] = {INK, NIGHT, DUSK, PLUM, ASH, BLOOD, EMBER, UMBER, OCHRE, AMBER, STRAW, DEEP, TEAL};
    for (int i = 0; i < 13; ++i) {
        const float y0 = 214.0f - i * 15.0f;
        paintShape(p, [&](float x, float y) { return inRect(Point{x, y}, 5, y0, 17, y0 + 11); }, swatches[i], SAMPLES);
    }

    return Artwork{p, 24,
                   "sketches: the cat, the burning heart, a cube, the tunnel and the palette (loaded, not drawn)",
                   Staging{100, 100, WHITE, WHITE, false, false}};
}

}  // namespace art
