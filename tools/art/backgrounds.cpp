// The two full-picture backgrounds. Both are pixel art on a grid of 128 x 64 big
// pixels, each 4 x 8 texels of the 512 x 512 texture: over the 320 x 180 canvas
// units of the picture a big pixel is 2.5 x 2.8 units, near square, and exactly
// 5 screen pixels wide in a 640 x 480 window.
#include <algorithm>
#include <cmath>

#include "art/artwork.h"
#include "art/palette.h"
#include "art/shapes.h"

namespace art {

namespace {

using namespace palette;

constexpr int GRID_W = 128;    // big pixels across
constexpr int GRID_H = 64;     // big pixels up
constexpr int TEXTURE = 512;   // texels across and up
constexpr int CELL_W = TEXTURE / GRID_W;  // texels across one big pixel
constexpr int CELL_H = TEXTURE / GRID_H;  // texels up one big pixel

// A window of the background: a canvas rectangle where something drawn before it must show.
struct Window {
    float x0, y0, x1, y1;  // canvas units
};

// A rectangle in big pixels, inclusive of both ends.
struct Cells {
    int c0, r0, c1, r1;
};

// The big pixels that a canvas rectangle touches, grown by a margin of whole big pixels.
Cells cellsOver(Window w, int margin)
{
    const float cx = GRID_W / CANVAS_WIDTH;    // big pixels per canvas unit across
    const float cy = GRID_H / PICTURE_HEIGHT;  // big pixels per canvas unit up
    Cells c;
    c.c0 = std::max(0, static_cast<int>(std::floor(w.x0 * cx)) - margin);
    c.c1 = std::min(GRID_W - 1, static_cast<int>(std::ceil(w.x1 * cx)) - 1 + margin);
    c.r0 = std::max(0, static_cast<int>(std::floor((w.y0 - PICTURE_BOTTOM) * cy)) - margin);
    c.r1 = std::min(GRID_H - 1, static_cast<int>(std::ceil((w.y1 - PICTURE_BOTTOM) * cy)) - 1 + margin);
    return c;
}

// Sets one big pixel; outside the grid is ignored.
void put(Picture& p, int x, int y, Rgba c)
{
    if (x >= 0 && y >= 0 && x < p.width && y < p.height) {
        at(p, x, y) = c;
    }
}

// Fills a rectangle of big pixels, inclusive.
void block(Picture& p, int c0, int r0, int c1, int r1, Rgba c)
{
    for (int y = r0; y <= r1; ++y) {
        for (int x = c0; x <= c1; ++x) {
            put(p, x, y, c);
        }
    }
}

// A one-big-pixel line from a to b (Bresenham).
void line(Picture& p, int x0, int y0, int x1, int y1, Rgba c)
{
    const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    while (true) {
        put(p, x0, y0, c);
        if (x0 == x1 && y0 == y1) {
            return;
        }
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

// Clears the big pixels of a rectangle: a window onto what the scene drew first.
void clearCells(Picture& p, Cells c)
{
    block(p, c.c0, c.r0, c.c1, c.r1, Rgba{});
}

// A cobweb spun in a top corner: threads fanning out and sagging rings across them.
void cobweb(Picture& p, int cornerX, int cornerY, int dirX, int reach, Rgba c)
{
    const float angles[] = {0.0f, 0.35f, 0.8f, 1.2f, 1.5707964f};  // radians from the ceiling line
    for (float a : angles) {
        line(p, cornerX, cornerY, cornerX + dirX * static_cast<int>(std::lround(reach * std::cos(a))),
             cornerY - static_cast<int>(std::lround(reach * std::sin(a))), c);
    }
    for (int ring = 4; ring < reach; ring += 4) {
        for (int i = 0; i + 1 < 5; ++i) {
            const float a0 = angles[i], a1 = angles[i + 1];
            // each ring's thread sags a little toward the corner between two spokes
            const int steps = 8;
            for (int s = 0; s <= steps; ++s) {
                const float t = static_cast<float>(s) / steps;
                const float a = a0 + (a1 - a0) * t;
                const float r = ring - 1.2f * std::sin(t * 3.14159265f);
                put(p, cornerX + dirX * static_cast<int>(std::lround(r * std::cos(a))),
                    cornerY - static_cast<int>(std::lround(r * std::sin(a))), c);
            }
        }
    }
}

// A pair of eyes in the dark: two lit big pixels with a dimmer glint row under them.
void eyes(Picture& p, int x, int y, int gap, Rgba lit, Rgba dim)
{
    put(p, x, y, lit);
    put(p, x + gap, y, lit);
    put(p, x, y - 1, dim);
    put(p, x + gap, y - 1, dim);
}

// A window frame: a frame two big pixels wide around the opening and a sill under it.
void windowFrame(Picture& p, Cells w, Rgba frame, Rgba light, Rgba shade)
{
    block(p, w.c0 - 2, w.r0 - 2, w.c1 + 2, w.r1 + 2, frame);
    block(p, w.c0 - 1, w.r0 - 1, w.c1 + 1, w.r0 - 1, shade);
    block(p, w.c0 - 1, w.r1 + 1, w.c1 + 1, w.r1 + 1, light);
    block(p, w.c0 - 4, w.r0 - 4, w.c1 + 4, w.r0 - 3, light);  // sill
    block(p, w.c0 - 3, w.r0 - 5, w.c1 + 3, w.r0 - 5, shade);
}

// A torn curtain hanging beside a window, its ragged hem cut by the hash.
void curtain(Picture& p, int c0, int c1, int top, int bottom, int seed)
{
    for (int x = c0; x <= c1; ++x) {
        const int hem = bottom + static_cast<int>(hash01(x, 0, seed) * 6.0f);
        for (int y = hem; y <= top; ++y) {
            const bool fold = (x - c0) % 3 == 1;
            put(p, x, y, fold ? BLOOD : dither(BLOOD, UMBER, 0.3f, x, y));
        }
        put(p, x, hem, INK);
    }
    block(p, c0 - 1, top + 1, c1 + 1, top + 1, ASH);  // the rod
}

// Turns the big-pixel picture into the 512 x 512 texture.
Picture toTexture(const Picture& grid)
{
    return enlarge(grid, CELL_W, CELL_H);
}

}  // namespace

Artwork afraid512(const Fonts&)
{
    // What scene 1 draws before this picture and must show through it, in canvas units.
    const Window leftFlash{30, 120, 70, 160};
    const Window rightFlash{220, 115, 280, 175};
    const Window ghostDoor{110, 30, 180, 180};

    Picture p = makePicture(GRID_W, GRID_H);

    // The wall: striped paper, lightest at the middle, dithered into the dark at the edges.
    for (int y = 0; y < GRID_H; ++y) {
        for (int x = 0; x < GRID_W; ++x) {
            const float dx = (x - GRID_W * 0.5f) / (GRID_W * 0.5f);
            const float dy = (y - GRID_H * 0.55f) / (GRID_H * 0.6f);
            const float light = std::clamp(1.15f - 0.75f * std::sqrt(dx * dx + dy * dy), 0.0f, 1.0f);
            const bool stripe = x % 8 == 3 || x % 8 == 4;
            const bool motif = x % 8 == 0 && y % 6 == 0;
            Rgba c = dither(NIGHT, DUSK, light, x, y);
            if (stripe) {
                c = dither(DUSK, PLUM, light * 0.9f, x, y);
            }
            if (motif) {
                c = light > 0.55f ? PLUM : DUSK;
            }
            put(p, x, y, c);
        }
    }
    // Panelling below the rail, floorboards under it.
    for (int y = 0; y <= 20; ++y) {
        for (int x = 0; x < GRID_W; ++x) {
            Rgba c = dither(INK, NIGHT, 0.8f, x, y);
            if (y >= 7 && y <= 18 && (x % 16 == 1 || x % 16 == 14)) {
                c = INK;
            }
            if (y >= 7 && y <= 18 && (y == 8 || y == 17) && x % 16 >= 1 && x % 16 <= 14) {
                c = INK;
            }
            if (y < 5) {
                c = (y + x / 24) % 2 == 0 ? NIGHT : INK;
                if (x % 24 == (y * 7) % 24) {
                    c = INK;
                }
            }
            put(p, x, y, c);
        }
    }
    block(p, 0, 19, GRID_W - 1, 20, DUSK);
    block(p, 0, 21, GRID_W - 1, 21, ASH);
    block(p, 0, 5, GRID_W - 1, 6, NIGHT);
    block(p, 0, 6, GRID_W - 1, 6, DUSK);
    // The crown moulding under the ceiling.
    block(p, 0, GRID_H - 3, GRID_W - 1, GRID_H - 1, INK);
    block(p, 0, GRID_H - 4, GRID_W - 1, GRID_H - 4, DUSK);

    // A crack running down from the ceiling, and another up from the floor.
    const int crackA[][2] = {{98, 60}, {97, 58}, {99, 56}, {98, 55}, {100, 53}};
    for (size_t i = 1; i < sizeof crackA / sizeof crackA[0]; ++i) {
        line(p, crackA[i - 1][0], crackA[i - 1][1], crackA[i][0], crackA[i][1], INK);
    }
    const int crackB[][2] = {{24, 22}, {26, 25}, {25, 27}, {27, 30}, {26, 31}};
    for (size_t i = 1; i < sizeof crackB / sizeof crackB[0]; ++i) {
        line(p, crackB[i - 1][0], crackB[i - 1][1], crackB[i][0], crackB[i][1], INK);
    }

    // Cobwebs in both top corners.
    cobweb(p, 0, GRID_H - 4, 1, 13, ASH);
    cobweb(p, GRID_W - 1, GRID_H - 4, -1, 11, ASH);

    // The two windows onto the flashes, with frames, sills and torn curtains.
    const Cells left = cellsOver(leftFlash, 1);
    const Cells right = cellsOver(rightFlash, 1);
    curtain(p, left.c0 - 7, left.c0 - 3, left.r1 + 4, left.r0 - 2, 3);
    curtain(p, right.c1 + 3, right.c1 + 7, right.r1 + 4, right.r0 + 2, 5);
    windowFrame(p, left, DUSK, ASH, INK);
    windowFrame(p, right, DUSK, ASH, INK);

    // The doorway where the word jumps: a frame with a pointed arch, the door swung open beside it.
    const Cells door = cellsOver(ghostDoor, 1);
    const int archTop = door.r1 + 3;
    const float mid = (door.c0 + door.c1) * 0.5f;
    const float half = (door.c1 - door.c0) * 0.5f + 1.0f;
    auto inArch = [&](int x, int y, float grow) {
        if (x < door.c0 - grow || x > door.c1 + grow) {
            return false;
        }
        if (y <= door.r1) {
            return y >= 0;
        }
        // A pointed arch: two circle arcs meeting above the middle.
        const float t = std::abs(x - mid) / (half + grow);
        return y <= door.r1 + (archTop + grow - door.r1) * std::sqrt(std::max(0.0f, 1.0f - t * t));
    };
    for (int y = 0; y < GRID_H - 3; ++y) {
        for (int x = 0; x < GRID_W; ++x) {
            if (inArch(x, y, 3.0f)) {
                put(p, x, y, UMBER);
            }
        }
    }
    for (int y = 0; y < GRID_H - 3; ++y) {
        for (int x = 0; x < GRID_W; ++x) {
            if (inArch(x, y, 1.0f)) {
                put(p, x, y, x < mid ? AMBER : BLOOD);
            }
        }
    }
    // The door leaf, hinged on the left jamb and swung toward us: its far edge taller.
    const int hinge = door.c0 - 4;
    const int leafEdge = hinge - 9;
    for (int x = leafEdge; x <= hinge; ++x) {
        const float t = static_cast<float>(hinge - x) / (hinge - leafEdge);
        const int top = door.r1 + 2 + static_cast<int>(std::lround(4.0f * t));
        const int bottom = -static_cast<int>(std::lround(2.0f * t));
        for (int y = std::max(0, bottom); y <= top; ++y) {
            const bool panel = x > leafEdge + 1 && x < hinge - 1 &&
                               ((y > 8 && y < door.r1 / 2 - 1) || (y > door.r1 / 2 + 2 && y < top - 4));
            put(p, x, y, panel ? UMBER : BLOOD);
        }
        put(p, x, top, ASH);
    }
    line(p, leafEdge, 0, leafEdge, door.r1 + 5, INK);
    put(p, leafEdge + 2, door.r1 / 2, AMBER);  // the knob
    put(p, leafEdge + 2, door.r1 / 2 - 1, UMBER);

    // Scratched tally marks in red on the panel by the right window, one struck through.
    for (int i = 0; i < 4; ++i) {
        line(p, 110 + i * 2, 10, 110 + i * 2, 15, EMBER);
    }
    line(p, 108, 10, 117, 15, EMBER);
    line(p, 121, 10, 121, 15, EMBER);

    // Eyes watching from the dark: under the left window, low at the right, up in a web.
    eyes(p, 6, 3, 2, AMBER, UMBER);
    eyes(p, 123, 25, 2, EMBER, BLOOD);
    eyes(p, 8, 56, 2, STRAW, AMBER);

    // The windows themselves: nothing, so the flashes and the word drawn before show.
    clearCells(p, left);
    clearCells(p, right);
    for (int y = 0; y < GRID_H; ++y) {
        for (int x = 0; x < GRID_W; ++x) {
            if (inArch(x, y, 0.0f)) {
                put(p, x, y, Rgba{});
            }
        }
    }

    return Artwork{toTexture(p), 32,
                   "scene 1 backdrop: a dark room, two windows and a door open onto what flashes behind",
                   Staging{320, 180, BLACK, rgb(179, 179, 179), true, false}};
}

Artwork confidence512(const Fonts&)
{
    // Where scene 2 draws the word "confidence" before this picture, widened by the beat.
    const Window spotlight{160, 40, 240, 80};
    const Cells pool = cellsOver(spotlight, 1);
    const float poolX = (pool.c0 + pool.c1 + 1) * 0.5f;  // big pixels
    const float poolY = (pool.r0 + pool.r1 + 1) * 0.5f;
    const float poolRx = (pool.c1 + 1 - pool.c0) * 0.5f * 1.45f;
    const float poolRy = (pool.r1 + 1 - pool.r0) * 0.5f * 1.45f;

    Picture p = makePicture(GRID_W, GRID_H);
    const int stageTop = 24;  // big pixels: where the boards meet the back of the stage

    // The back of the stage in the dark, and the boards.
    for (int y = 0; y < GRID_H; ++y) {
        for (int x = 0; x < GRID_W; ++x) {
            Rgba c;
            if (y >= stageTop) {
                // The backdrop cloth: lit low, dark high, with a short dithered step between.
                c = dither(DUSK, NIGHT, std::clamp((y - stageTop - 10) / 6.0f, 0.0f, 1.0f), x, y);
                if (x % 10 == 0 && y < 52) {
                    c = NIGHT;  // the seams of the cloth
                }
            } else {
                // Boards run toward a vanishing point above the spotlight, alternately light and dark.
                const float run = (x + 0.5f - poolX) / (stageTop + 14.0f - y) * 6.0f;
                const int board = static_cast<int>(std::floor(run));
                const bool seam = run - board < 0.12f;
                c = board % 2 == 0 ? UMBER : OCHRE;
                if (seam) {
                    c = NIGHT;
                }
            }
            put(p, x, y, c);
        }
    }
    block(p, 0, stageTop, GRID_W - 1, stageTop, STRAW);
    block(p, 0, stageTop - 1, GRID_W - 1, stageTop - 1, AMBER);

    // The beam: from a lamp high up, widening to the pool; dithered open so white shows through.
    const Point lamp{poolX + 6.0f, static_cast<float>(GRID_H) + 2.0f};
    for (int y = 0; y < GRID_H; ++y) {
        for (int x = 0; x < GRID_W; ++x) {
            const float t = (lamp.y - y) / (lamp.y - poolY);  // 0 at the lamp, 1 at the pool
            if (t < 0.0f || t > 1.0f) {
                continue;
            }
            const float centre = lamp.x + (poolX - lamp.x) * t;
            const float halfWidth = 2.0f + (poolRx - 2.0f) * t;
            const float d = std::abs(x + 0.5f - centre) / halfWidth;
            if (d > 1.0f) {
                continue;
            }
            const float open = (0.12f + 0.3f * t) * (1.0f - d * d);
            if (open > bayer(x, y)) {
                put(p, x, y, Rgba{});
            } else if (d > 0.9f) {
                put(p, x, y, dither(at(p, x, y), STRAW, 0.5f, x, y));
            }
        }
    }

    // The curtains: red velvet folds left and right, gathered by gold ties, a valance across the top.
    auto curtainSide = [&](int c0, int c1, bool leftSide) {
        for (int x = c0; x <= c1; ++x) {
            const int k = leftSide ? x - c0 : c1 - x;  // 0 at the outer edge
            for (int y = 0; y < GRID_H; ++y) {
                // Tied at y = 30: the inner edge pulled out toward the wall there.
                const float pull = 7.0f * std::exp(-((y - 30.0f) * (y - 30.0f)) / 60.0f);
                const float inner = (c1 - c0) - pull - (y < 30 ? (30 - y) * 0.25f : 0.0f);
                if (k > inner) {
                    continue;
                }
                const int fold = k % 5;
                Rgba c = fold == 0 ? BLOOD : fold == 3 ? dither(EMBER, BLOOD, 0.5f, x, y) : EMBER;
                if (std::abs(k - inner) < 1.0f) {
                    c = BLOOD;
                }
                put(p, x, y, c);
            }
        }
        const int tie = leftSide ? c0 + 2 : c1 - 10;
        block(p, tie, 29, tie + 8, 31, AMBER);
        block(p, tie, 29, tie + 8, 29, UMBER);
    };
    curtainSide(0, 22, true);
    curtainSide(GRID_W - 23, GRID_W - 1, false);
    for (int x = 0; x < GRID_W; ++x) {
        const int scallop = static_cast<int>(std::lround(2.5f * std::abs(std::sin((x + 4) * 3.14159265f / 16.0f))));
        const int bottom = GRID_H - 9 + 2 - scallop;
        for (int y = bottom; y < GRID_H; ++y) {
            put(p, x, y, (x / 2 + y) % 7 == 0 ? BLOOD : EMBER);
        }
        put(p, x, bottom, AMBER);  // gold fringe
        if (x % 2 == 0) {
            put(p, x, bottom - 1, STRAW);
        }
        put(p, x, GRID_H - 2, AMBER);
    }

    // Footlights along the lip of the stage, and a few sparkles of applause in the beam's air.
    for (int x = 4; x < GRID_W; x += 12) {
        if (x >= pool.c0 - 4 && x <= pool.c1 + 4) {
            continue;
        }
        block(p, x, 0, x + 3, 1, INK);
        block(p, x + 1, 2, x + 2, 2, STRAW);
    }
    const int sparks[][2] = {{40, 44}, {49, 36}, {33, 30}, {108, 40}, {100, 47}, {114, 34}};
    for (const auto& s : sparks) {
        put(p, s[0], s[1], STRAW);
        put(p, s[0] - 1, s[1], AMBER);
        put(p, s[0] + 1, s[1], AMBER);
        put(p, s[0], s[1] - 1, AMBER);
        put(p, s[0], s[1] + 1, AMBER);
    }

    // The pool of light, where the word stands: open to the white ground behind.
    for (int y = 0; y < GRID_H; ++y) {
        for (int x = 0; x < GRID_W; ++x) {
            const bool inPool = inEllipse(Point{x + 0.5f, y + 0.5f}, Point{poolX, poolY}, poolRx, poolRy);
            const bool rim = inEllipse(Point{x + 0.5f, y + 0.5f}, Point{poolX, poolY}, poolRx + 1.5f, poolRy + 1.2f);
            if (inPool) {
                put(p, x, y, Rgba{});
            } else if (rim && y < stageTop) {
                put(p, x, y, STRAW);
            }
        }
    }
    clearCells(p, pool);

    return Artwork{toTexture(p), 32,
                   "scene 2 backdrop: a stage, red curtains, one spotlight; its pool is the word's window",
                   Staging{320, 180, WHITE, rgb(230, 230, 230), true, false}};
}

}  // namespace art
