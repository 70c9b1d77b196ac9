#include "art/sheet.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "art/palette.h"
#include "imagekit/png_writer.h"

namespace art {

namespace {

using namespace palette;

constexpr int COLUMNS = 3;       // cells across the contact sheet
constexpr int CELL_W = 540;      // pixels
constexpr int CELL_H = 340;      // pixels
constexpr int PANEL = 256;       // pixels, each of a cell's two squares
constexpr int HEADER = 48;       // pixels above the cells
constexpr int SCENE_W = 640;     // pixels: one mock-up, the show's 640 x 480 window
constexpr int SCENE_H = 480;     // pixels
constexpr float SCENE_SCALE = 2.0f;  // pixels per canvas unit in a mock-up

// Wraps a texel index into 0..n−1 (GL_REPEAT).
int wrap(int i, int n)
{
    return ((i % n) + n) % n;
}

// A line of text painted at (x, baseline) of a large picture through a small mask.
void label(Picture& target, const Font& font, const std::string& text, int x, int baseline, TypeSize size, Rgba colour)
{
    const int height = static_cast<int>(size.y * 1.6f) + 4;
    const int below = static_cast<int>(size.y * 0.35f) + 2;
    Mask m = makeMask(static_cast<int>(text.size() * size.x) + 8, height);
    drawText(m, font, text, 2, below, size, false);
    paintMask(target, m, colour, x - 2, baseline - below);
}

// Fills a rectangle of an opaque picture (pixels, y up).
void fillRect(Picture& target, int x0, int y0, int x1, int y1, Rgba colour)
{
    for (int y = std::max(0, y0); y < std::min(target.height, y1); ++y) {
        for (int x = std::max(0, x0); x < std::min(target.width, x1); ++x) {
            at(target, x, y) = colour;
        }
    }
}

// Blends one colour over a pixel of an opaque picture, or adds it.
void blend(Picture& target, int x, int y, Rgba colour, bool additive)
{
    Rgba& d = at(target, x, y);
    const float a = std::clamp(colour.a, 0.0f, 1.0f);
    if (additive) {
        d = Rgba{std::min(1.0f, d.r + colour.r * a), std::min(1.0f, d.g + colour.g * a),
                 std::min(1.0f, d.b + colour.b * a), 1.0f};
    } else {
        d = Rgba{d.r + (colour.r - d.r) * a, d.g + (colour.g - d.g) * a, d.b + (colour.b - d.b) * a, 1.0f};
    }
}

// The texture shown at a whole or half scale that fits the panel, over a checkerboard.
void drawRaw(Picture& target, const Picture& texture, int x0, int y0)
{
    for (int y = 0; y < PANEL; ++y) {
        for (int x = 0; x < PANEL; ++x) {
            const bool light = ((x / 8) + (y / 8)) % 2 == 0;
            at(target, x0 + x, y0 + y) = light ? rgb(150, 150, 150) : rgb(100, 100, 100);
        }
    }
    const float scale = static_cast<float>(PANEL) / std::max(texture.width, texture.height);
    const int w = static_cast<int>(texture.width * scale), h = static_cast<int>(texture.height * scale);
    const int ox = x0 + (PANEL - w) / 2, oy = y0 + (PANEL - h) / 2;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            blend(target, ox + x, oy + y, at(texture, static_cast<int>(x / scale), static_cast<int>(y / scale)), false);
        }
    }
}

// The image as the show lays it: its quad at twice the canvas scale (less for the big ones) on its ground.
void drawStaged(Picture& target, const Artwork& art, int x0, int y0)
{
    const Staging& s = art.staging;
    fillRect(target, x0, y0, x0 + PANEL, y0 + PANEL, s.ground);
    const float scale = std::min(SCENE_SCALE, (PANEL - 16.0f) / std::max(s.width, s.height));
    const float w = s.width * scale, h = s.height * scale;
    Quad q{x0 + (PANEL - w) / 2, y0 + (PANEL - h) / 2, x0 + (PANEL + w) / 2, y0 + (PANEL + h) / 2};
    if (art.slot == Image::noise || art.slot == Image::noiseliscio) {
        q.v1 = 0.3f;  // the band's window in its first phase
    }
    drawQuad(target, art.picture, q, s.tint, s.nearest, s.additive);
}

// A quad in a mock-up's pixels from canvas units, the mock-up's lower left corner at (px, py).
Quad canvasQuad(int px, int py, float x0, float y0, float x1, float y1)
{
    return Quad{px + x0 * SCENE_SCALE, py + y0 * SCENE_SCALE, px + x1 * SCENE_SCALE, py + y1 * SCENE_SCALE};
}

// The band and the letterbox that every scene's frame ends with.
void frameEnd(Picture& target, int px, int py, const Picture* band, int phase)
{
    if (band) {
        Quad q = canvasQuad(px, py, 0, 30, 320, 210);
        q.v0 = 0.1f * phase;
        q.v1 = q.v0 + 0.3f;
        drawQuad(target, *band, q, WHITE, false, false);
    }
    fillRect(target, px, py, px + SCENE_W, py + 60, BLACK);
    fillRect(target, px, py + 420, px + SCENE_W, py + SCENE_H, BLACK);
}

// An untextured rectangle in canvas units, turned about its centre.
void flatQuad(Picture& target, int px, int py, float x0, float y0, float x1, float y1, Rgba colour, float degrees,
              bool additive = false)
{
    static const Picture white = makePicture(1, 1, WHITE);
    Quad q = canvasQuad(px, py, x0, y0, x1, y1);
    q.degrees = degrees;
    drawQuad(target, white, q, colour, true, additive);
}

// A ring of white wire in canvas units, as scene 5's tunnel draws them.
void wireRing(Picture& target, int px, int py, float cx, float cy, float r, float alpha)
{
    for (int i = 0; i < 720; ++i) {
        const float a = i * 3.14159265f / 360.0f;
        const int x = px + static_cast<int>((cx + r * std::cos(a)) * SCENE_SCALE);
        const int y = py + static_cast<int>((cy + r * std::sin(a)) * SCENE_SCALE);
        if (x >= px && x < px + SCENE_W && y >= py && y < py + SCENE_H) {
            blend(target, x, y, withAlpha(WHITE, alpha), false);
        }
    }
}

}  // namespace

Rgba sampleTexture(const Picture& texture, float u, float v, bool nearest)
{
    const float x = u * texture.width, y = v * texture.height;
    if (nearest) {
        return at(texture, wrap(static_cast<int>(std::floor(x)), texture.width),
                  wrap(static_cast<int>(std::floor(y)), texture.height));
    }
    const int x0 = static_cast<int>(std::floor(x - 0.5f)), y0 = static_cast<int>(std::floor(y - 0.5f));
    const float fx = x - 0.5f - x0, fy = y - 0.5f - y0;
    auto texel = [&](int i, int j) { return at(texture, wrap(i, texture.width), wrap(j, texture.height)); };
    return mix(mix(texel(x0, y0), texel(x0 + 1, y0), fx), mix(texel(x0, y0 + 1), texel(x0 + 1, y0 + 1), fx), fy);
}

void drawQuad(Picture& target, const Picture& texture, Quad quad, Rgba tint, bool nearest, bool additive)
{
    const float cx = (quad.x0 + quad.x1) / 2, cy = (quad.y0 + quad.y1) / 2;
    const float rad = quad.degrees * 3.14159265f / 180.0f;
    const float cs = std::cos(rad), sn = std::sin(rad);
    const float reach = std::hypot(quad.x1 - quad.x0, quad.y1 - quad.y0) / 2 + 1;
    for (int y = static_cast<int>(cy - reach); y <= static_cast<int>(cy + reach); ++y) {
        for (int x = static_cast<int>(cx - reach); x <= static_cast<int>(cx + reach); ++x) {
            if (x < 0 || y < 0 || x >= target.width || y >= target.height) {
                continue;
            }
            // Back from the turned quad to the upright one.
            const float dx = x + 0.5f - cx, dy = y + 0.5f - cy;
            const float ux = cx + dx * cs + dy * sn, uy = cy - dx * sn + dy * cs;
            const float s = (ux - quad.x0) / (quad.x1 - quad.x0), t = (uy - quad.y0) / (quad.y1 - quad.y0);
            if (s < 0 || s >= 1 || t < 0 || t >= 1) {
                continue;
            }
            const Rgba texel = sampleTexture(texture, quad.u0 + (quad.u1 - quad.u0) * s,
                                             quad.v0 + (quad.v1 - quad.v0) * t, nearest);
            blend(target, x, y, Rgba{texel.r * tint.r, texel.g * tint.g, texel.b * tint.b, texel.a * tint.a}, additive);
        }
    }
}

Picture contactSheet(const std::vector<Artwork>& artworks, const Fonts& fonts)
{
    const int rows = (static_cast<int>(artworks.size()) + COLUMNS - 1) / COLUMNS;
    Picture sheet = makePicture(COLUMNS * CELL_W, HEADER + rows * CELL_H, rgb(28, 26, 34));
    label(sheet, fonts.sans, "k3lvana: the show's images (left: the texture over a checkerboard; right: as the show lays it)",
          14, sheet.height - 32, TypeSize{17, 17}, BONE);
    for (size_t i = 0; i < artworks.size(); ++i) {
        const Artwork& art = artworks[i];
        const int cx = static_cast<int>(i % COLUMNS) * CELL_W;
        const int top = sheet.height - HEADER - static_cast<int>(i / COLUMNS) * CELL_H;
        const int panelY = top - 8 - PANEL;
        drawRaw(sheet, art.picture, cx + 10, panelY);
        drawStaged(sheet, art, cx + 10 + PANEL + 8, panelY);
        char dims[96];
        std::snprintf(dims, sizeof dims, "%d x %d, %d-bit%s%s", art.picture.width, art.picture.height, art.bits,
                      art.staging.nearest ? ", nearest" : "", art.staging.additive ? ", additive" : "");
        label(sheet, fonts.sans, art.file, cx + 12, panelY - 22, TypeSize{16, 16}, BONE);
        label(sheet, fonts.mono, dims, cx + 200, panelY - 22, TypeSize{12, 12}, ASH);
        // The description, broken into lines of at most 74 characters.
        std::string rest = art.about;
        int line = 0;
        while (!rest.empty() && line < 2) {
            size_t cut = rest.size() <= 74 ? rest.size() : rest.rfind(' ', 74);
            if (cut == std::string::npos || cut == 0) {
                cut = std::min<size_t>(74, rest.size());
            }
            label(sheet, fonts.mono, rest.substr(0, cut), cx + 12, panelY - 42 - line * 16, TypeSize{11, 11}, ASH);
            rest = cut < rest.size() ? rest.substr(cut + 1) : "";
            ++line;
        }
    }
    return sheet;
}

Picture sceneMockups(const std::vector<Artwork>& artworks, const Fonts& fonts)
{
    const int across = 3, down = 3, gap = 36;  // pixels
    Picture sheet = makePicture(across * SCENE_W, down * (SCENE_H + gap), rgb(28, 26, 34));
    auto origin = [&](int k, int* px, int* py) {
        *px = (k % across) * SCENE_W;
        *py = sheet.height - (k / across + 1) * (SCENE_H + gap);
    };
    auto title = [&](int k, const std::string& text) {
        int px, py;
        origin(k, &px, &py);
        label(sheet, fonts.sans, text, px + 10, py + SCENE_H + 12, TypeSize{15, 15}, BONE);
    };
    int px, py;

    // Scene 0: the credits ghosted five times on black, later passes wider.
    origin(0, &px, &py);
    fillRect(sheet, px, py, px + SCENE_W, py + SCENE_H, BLACK);
    for (int k = 0; k < 5; ++k) {
        drawQuad(sheet, pictureOf(artworks, Image::credits), canvasQuad(px, py, 10 - k * 2.0f, 40, 110 + k * 2.0f, 90),
                 withAlpha(WHITE, 0.5f), false, false);
    }
    frameEnd(sheet, px, py, nullptr, 0);
    title(0, "scene 0: credits");

    // Scene 1: flashes and the jumping word behind the dark room, cubes, noise.
    origin(1, &px, &py);
    fillRect(sheet, px, py, px + SCENE_W, py + SCENE_H, BLACK);
    flatQuad(sheet, px, py, 30, 120, 70, 160, rgb(255, 255, 255), 0);
    flatQuad(sheet, px, py, 220, 115, 280, 175, EMBER, 0);
    drawQuad(sheet, pictureOf(artworks, Image::afraid64), canvasQuad(px, py, 116, 96, 174, 126), WHITE, false, false);
    drawQuad(sheet, pictureOf(artworks, Image::afraid512), canvasQuad(px, py, 0, 30, 320, 210), rgb(179, 179, 179), true, false);
    flatQuad(sheet, px, py, 150, 150, 166, 166, withAlpha(WHITE, 0.8f), 30);
    flatQuad(sheet, px, py, 60, 60, 72, 72, withAlpha(WHITE, 0.8f), 10);
    frameEnd(sheet, px, py, &pictureOf(artworks, Image::noise), 2);
    title(1, "scene 1: afraid512 over the flashes, afraid64 in the door, noise");

    // Scene 2: white, the word in the spotlight, the stage, particles, soft noise.
    origin(2, &px, &py);
    fillRect(sheet, px, py, px + SCENE_W, py + SCENE_H, WHITE);
    drawQuad(sheet, pictureOf(artworks, Image::confidence), canvasQuad(px, py, 170, 40, 230, 80), WHITE, false, false);
    drawQuad(sheet, pictureOf(artworks, Image::confidence512), canvasQuad(px, py, 0, 30, 320, 210), rgb(230, 230, 230), true,
             false);
    for (int k = 0; k < 14; ++k) {
        const float x = 40 + hash01(k, 0, 5) * 240, y = 50 + hash01(k, 1, 5) * 140;
        drawQuad(sheet, pictureOf(artworks, Image::sprite), canvasQuad(px, py, x, y, x + 20, y + 20), Rgba{0.5f, 1, 1, 0.3f},
                 false, true);
    }
    frameEnd(sheet, px, py, &pictureOf(artworks, Image::noiseliscio), 4);
    title(2, "scene 2: confidence in the spotlight, particles, noiseliscio");

    // Scene 3: black, the word and the discouraged tile.
    origin(3, &px, &py);
    fillRect(sheet, px, py, px + SCENE_W, py + SCENE_H, BLACK);
    drawQuad(sheet, pictureOf(artworks, Image::afraid64), canvasQuad(px, py, 45, 125, 95, 155), WHITE, false, false);
    drawQuad(sheet, pictureOf(artworks, Image::scoramento), canvasQuad(px, py, 190, 100, 254, 164), rgb(230, 230, 230), true,
             false);
    frameEnd(sheet, px, py, &pictureOf(artworks, Image::noise), 5);
    title(3, "scene 3: afraid64 and scoramento");

    // Scene 4: white, the owl card, the words, versus, the turned cat.
    origin(4, &px, &py);
    fillRect(sheet, px, py, px + SCENE_W, py + SCENE_H, WHITE);
    drawQuad(sheet, pictureOf(artworks, Image::wisdom), canvasQuad(px, py, 0, 30, 100, 130), WHITE, true, false);
    for (int k = 0; k < 3; ++k) {
        drawQuad(sheet, pictureOf(artworks, Image::wisdom64), canvasQuad(px, py, 41 + k * 2.0f, 150, 96 + k * 2.0f, 180),
                 withAlpha(WHITE, 0.5f), false, false);
    }
    for (int k = 0; k < 3; ++k) {
        drawQuad(sheet, pictureOf(artworks, Image::uncertainty64), canvasQuad(px, py, 150 - k * 2.0f, 100, 210 + k * 2.0f, 130),
                 withAlpha(WHITE, 0.5f), false, false);
    }
    drawQuad(sheet, pictureOf(artworks, Image::vs), canvasQuad(px, py, 240, 43, 304, 107), WHITE, false, false);
    Quad cat = canvasQuad(px, py, 160, 160, 190, 190);
    cat.degrees = -40;
    drawQuad(sheet, pictureOf(artworks, Image::gatto), cat, WHITE, false, false);
    frameEnd(sheet, px, py, &pictureOf(artworks, Image::noiseliscio), 1);
    title(4, "scene 4: wisdom, wisdom64, uncertainty64, vs, gatto");

    // Scene 5: the black tunnel of rings and the burning heart flying at us.
    origin(5, &px, &py);
    fillRect(sheet, px, py, px + SCENE_W, py + SCENE_H, BLACK);
    for (int k = 0; k < 8; ++k) {
        wireRing(sheet, px, py, 160, 120, 12.0f * (k + 1) * (k + 1) * 0.35f + 8, 0.9f - k * 0.08f);
    }
    drawQuad(sheet, pictureOf(artworks, Image::brave), canvasQuad(px, py, 100, 60, 220, 180), Rgba{1, 1, 1, 0.8f}, false, true);
    frameEnd(sheet, px, py, &pictureOf(artworks, Image::noise), 3);
    title(5, "scene 5: brave added onto the tunnel");

    // Scene 6: spinning translucent squares and the cat.
    origin(6, &px, &py);
    fillRect(sheet, px, py, px + SCENE_W, py + SCENE_H, BLACK);
    const Rgba squares[] = {withAlpha(TEAL, 0.45f), withAlpha(EMBER, 0.45f), withAlpha(PLUM, 0.5f), withAlpha(AMBER, 0.4f)};
    for (int k = 0; k < 4; ++k) {
        flatQuad(sheet, px, py, 190 + k * 14.0f, 85 + k * 6.0f, 250 + k * 14.0f, 145 + k * 6.0f, squares[k], 15.0f * k);
    }
    Quad cat6 = canvasQuad(px, py, 225, 105, 255, 135);
    cat6.degrees = -45;
    drawQuad(sheet, pictureOf(artworks, Image::gatto), cat6, WHITE, false, false);
    frameEnd(sheet, px, py, &pictureOf(artworks, Image::noiseliscio), 6);
    title(6, "scene 6: gatto over the spinning squares");

    // Scene 7: the closing card over black and over white.
    for (int k = 7; k <= 8; ++k) {
        origin(k, &px, &py);
        fillRect(sheet, px, py, px + SCENE_W, py + SCENE_H, k == 7 ? BLACK : WHITE);
        drawQuad(sheet, pictureOf(artworks, Image::creditifinali), canvasQuad(px, py, 110, 70, 210, 170),
                 withAlpha(WHITE, 250.0f / 255.0f), false, false);
        frameEnd(sheet, px, py, &pictureOf(artworks, Image::noiseliscio), 7);
    }
    title(7, "scene 7: creditifinali over black");
    title(8, "scene 7: creditifinali over white");
    return sheet;
}

bool savePNG(const Picture& picture, const std::string& path)
{
    std::vector<uint8_t> bytes(static_cast<size_t>(picture.width) * picture.height * 3);
    for (int y = 0; y < picture.height; ++y) {
        uint8_t* row = &bytes[static_cast<size_t>(picture.height - 1 - y) * picture.width * 3];  // PNG rows run top down
        for (int x = 0; x < picture.width; ++x) {
            const Rgba c = at(picture, x, y);
            row[x * 3 + 0] = static_cast<uint8_t>(std::lround(std::clamp(c.r, 0.0f, 1.0f) * 255.0f));
            row[x * 3 + 1] = static_cast<uint8_t>(std::lround(std::clamp(c.g, 0.0f, 1.0f) * 255.0f));
            row[x * 3 + 2] = static_cast<uint8_t>(std::lround(std::clamp(c.b, 0.0f, 1.0f) * 255.0f));
        }
    }
    return imagekit::writePng(path, picture.width, picture.height, bytes.data(), imagekit::PngOrder::Rgb,
                              imagekit::PngEffort::Small);
}

}  // namespace art
