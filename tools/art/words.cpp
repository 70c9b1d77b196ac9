// The words of the show: the captions its ghost sprites carry, the "versus" badge
// and the opening and closing credits. Every caption is drawn at the proportions its
// quad gives it, so that letters stretched by the show come out upright on screen,
// and keeps an empty border so no quad edge shows when it is filtered or turned.
#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "art/artwork.h"
#include "art/motifs.h"
#include "art/palette.h"
#include "art/shapes.h"

namespace art {

namespace {

using namespace palette;

constexpr int SAMPLES = 4;  // samples per pixel across and up for shapes

// Texels up per texel across on screen for a texture w x h drawn on a quad qw x qh canvas units.
float proportion(int w, int h, float qw, float qh)
{
    return (h / qh) / (w / qw);
}

// A line of text drawn piece by piece so each piece can take its own colour; returns the pen's end.
float drawPieces(Picture& p, const Font& font, const std::vector<std::pair<std::string, Rgba>>& pieces, float x,
                 float baseline, TypeSize size)
{
    float pen = x;
    for (const auto& [text, colour] : pieces) {
        Mask m = makeMask(p.width, p.height);
        drawText(m, font, text, pen, baseline, size, false);
        paintMask(p, m, colour);
        pen += measure(font, text, size).advance;
    }
    return pen;
}

// The ink width of pieces drawn one after another.
InkBox measurePieces(const Font& font, const std::vector<std::pair<std::string, Rgba>>& pieces, TypeSize size)
{
    std::string whole;
    for (const auto& piece : pieces) {
        whole += piece.first;
    }
    return measure(font, whole, size);
}

// The lifts of a trembling line: each letter up or down a little, the same on every build.
std::vector<int> tremble(const std::string& text, int amount, int seed)
{
    std::vector<int> lifts;
    for (size_t i = 0; i < text.size(); ++i) {
        lifts.push_back(static_cast<int>(std::lround((hash01(static_cast<int>(i), 0, seed) * 2.0f - 1.0f) * amount)));
    }
    return lifts;
}

}  // namespace

Artwork credits(const Fonts& fonts)
{
    // 256 x 128 on a 100 x 50 quad: square texels, 2.56 texels per canvas unit.
    Picture p = makePicture(256, 128);
    const std::vector<std::pair<std::string, Rgba>> title = {{"k", BONE}, {"3", EMBER}, {"lvana", BONE}};
    const TypeSize big = fitText(fonts.sans, "k3lvana", 212, 70, 1.0f);
    const InkBox box = measurePieces(fonts.sans, title, big);
    const float x = std::round(128.0f - (box.left + box.right) / 2.0f);
    // A dark edge under the letters, so the ghosted passes stay apart where they overlap.
    Mask shape = makeMask(p.width, p.height);
    drawText(shape, fonts.sans, "k3lvana", x, 52, big, false);
    paintMask(p, grow(shape, 2.0f), INK);
    drawPieces(p, fonts.sans, title, x, 52, big);
    // A teal rule, and who made it.
    paintShape(p, [](float px, float py) { return inRect(Point{px, py}, 40, 38, 216, 40); }, TEAL, SAMPLES);
    Mask small = makeMask(p.width, p.height);
    drawCentred(small, fonts.mono, "music + code + pixels", 128, 24, TypeSize{13, 13}, false);
    drawCentred(small, fonts.mono, "by the k3lvana crew", 128, 9, TypeSize{13, 13}, false);
    paintMask(p, grow(small, 1.0f), INK);
    paintMask(p, small, ASH);
    bleed(p, 3);

    return Artwork{p, 32,
                   "scene 0 opening: the title and who made it, ghosted five times on black",
                   Staging{100, 50, BLACK, WHITE, false, false}};
}

Artwork afraid64(const Fonts& fonts)
{
    // 64 x 64 on a 50 x 30 quad: letters drawn 5:3 tall so they land upright.
    Picture p = makePicture(64, 64);
    const std::string word = "afraid";
    const float tall = proportion(64, 64, 50, 30);
    const TypeSize size = fitText(fonts.sans, word, 54, 40, tall);
    const InkBox box = measure(fonts.sans, word, size);
    const float x = std::round(32.0f - (box.left + box.right) / 2.0f);
    const float baseline = 17.0f;
    Mask m = makeMask(64, 64);
    drawText(m, fonts.sans, word, x, baseline, size, false, tremble(word, 3, 7));
    // Drips running from the foot of two letters.
    Mask drips = shapeMask(
        64, 64,
        [&](float px, float py) {
            const Point q{px, py};
            return segmentDistance(q, Point{x + 12.5f, 16}, Point{x + 12.5f, 7}) < 1.4f ||
                   inEllipse(q, Point{x + 12.5f, 6}, 2.2f, 2.8f) ||
                   segmentDistance(q, Point{x + 40.5f, 15}, Point{x + 40.5f, 10}) < 1.3f ||
                   inEllipse(q, Point{x + 40.5f, 9}, 2.0f, 2.5f);
        },
        SAMPLES);
    paintMask(p, grow(unite(m, drips), 1.6f), INK);
    paintMask(p, drips, EMBER);
    paintMask(p, m, EMBER, 1, -1);
    paintMask(p, m, BONE);
    bleed(p, 3);

    return Artwork{p, 32,
                   "the word afraid, trembling and dripping red: a 50 x 30 ghost sprite in scenes 1 and 3",
                   Staging{50, 30, BLACK, WHITE, false, false}};
}

Artwork confidence(const Fonts& fonts)
{
    // 128 x 64 on a 60 x 40 quad: letters drawn 3:4 short so they land upright.
    Picture p = makePicture(128, 64);
    const std::string word = "confidence";
    const float tall = proportion(128, 64, 60, 40);
    const TypeSize size = fitText(fonts.sans, word, 116, 44, tall);
    Mask m = makeMask(128, 64);
    const InkBox box = drawCentred(m, fonts.sans, word, 64, 24, size, false);
    // A firm gold bar under the word, and the word's shadow cast in gold.
    Mask bar = shapeMask(
        128, 64, [&](float px, float py) { return inRect(Point{px, py}, box.left, 12, box.right, 17); }, SAMPLES);
    paintMask(p, grow(unite(m, bar), 1.5f), BONE);
    paintMask(p, bar, AMBER);
    paintMask(p, m, AMBER, 2, -2);
    paintMask(p, m, INK);
    bleed(p, 3);

    return Artwork{p, 32,
                   "the word confidence, set square on a gold bar: scene 2's sprite in the spotlight",
                   Staging{60, 40, WHITE, WHITE, false, false}};
}

Artwork wisdom64(const Fonts& fonts)
{
    // 64 x 64 on a quad of about 55 x 30: letters drawn tall.
    Picture p = makePicture(64, 64);
    const std::string word = "wisdom";
    const TypeSize size = fitText(fonts.sans, word, 58, 46, proportion(64, 64, 55, 30));
    Mask m = makeMask(64, 64);
    drawCentred(m, fonts.sans, word, 32, 14, size, false);
    paintMask(p, grow(m, 1.5f), BONE);
    paintMask(p, m, TEAL, 1, -2);
    paintMask(p, m, NIGHT);
    bleed(p, 3);

    return Artwork{p, 32,
                   "the word wisdom, night violet with a teal shadow: scene 4's jittering sprite",
                   Staging{55, 30, WHITE, WHITE, false, false}};
}

Artwork uncertainty64(const Fonts& fonts)
{
    // 64 x 64 on a 60 x 30 quad: eleven letters drawn twice as tall as wide, a little
    // condensed besides so they stand taller in the narrow width.
    Picture p = makePicture(64, 64);
    const std::string word = "uncertainty";
    const float condensed = 1.25f;  // extra height for the same width
    const TypeSize size = fitText(fonts.sans, word, 56, 44, proportion(64, 64, 60, 30) * condensed);
    const InkBox box = measure(fonts.sans, word, size);
    const float x = std::round(32.0f - (box.left + box.right) / 2.0f);
    Mask m = makeMask(64, 64);
    // The letters cannot settle on one baseline, and a faint double lags behind them.
    drawText(m, fonts.sans, word, x, 18, size, false, tremble(word, 2, 19));
    paintMask(p, grow(m, 1.2f), BONE);
    paintMask(p, m, withAlpha(PLUM, 0.7f), 1, -3);
    paintMask(p, m, INK);
    bleed(p, 3);

    return Artwork{p, 32,
                   "the word uncertainty, wavering over its own faint double: scene 4's 60 x 30 sprite",
                   Staging{60, 30, WHITE, WHITE, false, false}};
}

Artwork vs(const Fonts& fonts)
{
    // 64 x 64 on a 64 x 64 quad: a round badge with a bolt through it.
    Picture p = makePicture(64, 64);
    const Point c{32, 32};
    paintShape(p, [&](float x, float y) { return inEllipse(Point{x, y}, c, 29, 29); }, INK, SAMPLES);
    paintShape(p, [&](float x, float y) { return inEllipse(Point{x, y}, c, 27, 27); }, BONE, SAMPLES);
    paintShape(p, [&](float x, float y) { return inEllipse(Point{x, y}, c, 24.5f, 24.5f); }, EMBER, SAMPLES);
    const std::vector<Point> bolt = {{39, 58}, {22, 30}, {31, 30}, {24, 6}, {42, 36}, {33, 36}};
    paintShape(p, [&](float x, float y) { return inPolygon(Point{x, y}, bolt) && inEllipse(Point{x, y}, c, 24.5f, 24.5f); },
               AMBER, SAMPLES);
    Mask m = makeMask(64, 64);
    const TypeSize size = fitText(fonts.sans, "VS", 36, 24, 1.0f);
    drawCentred(m, fonts.sans, "VS", 32, 20, size, false);
    paintMask(p, grow(m, 2.0f), INK);
    paintMask(p, m, BONE);
    bleed(p, 3);

    return Artwork{p, 32,
                   "versus: a red badge struck by a gold bolt, VS across it; scene 4",
                   Staging{64, 64, WHITE, WHITE, false, false}};
}

Artwork creditifinali(const Fonts& fonts)
{
    // 256 x 256 on a 100 x 100 card: solid, so it reads the same over black and over white.
    Picture p = makePicture(256, 256, INK);
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            const float dx = (x - 128.0f) / 128.0f, dy = (y - 128.0f) / 128.0f;
            const float glow = std::clamp(1.0f - std::sqrt(dx * dx + dy * dy), 0.0f, 1.0f);
            paint(p, x, y, NIGHT, glow);
        }
    }
    // A thin bone frame with gold diamonds at the corners.
    paintShape(p, [](float x, float y) {
        const Point q{x, y};
        return inRect(q, 8, 8, 248, 248) && !inRect(q, 10, 10, 246, 246);
    }, BONE, SAMPLES);
    for (const Point corner : {Point{9, 9}, Point{247, 9}, Point{9, 247}, Point{247, 247}}) {
        paintShape(p, [&](float x, float y) { return std::abs(x - corner.x) + std::abs(y - corner.y) < 6.0f; }, AMBER,
                   SAMPLES);
    }

    const TypeSize titleSize = fitText(fonts.sans, "k3lvana", 170, 44, 1.0f);
    const std::vector<std::pair<std::string, Rgba>> title = {{"k", BONE}, {"3", EMBER}, {"lvana", BONE}};
    const InkBox titleBox = measurePieces(fonts.sans, title, titleSize);
    drawPieces(p, fonts.sans, title, std::round(128.0f - (titleBox.left + titleBox.right) / 2.0f), 196, titleSize);

    Mask thanks = makeMask(256, 256);
    drawCentred(thanks, fonts.sans, "thank you for watching", 128, 172, fitText(fonts.sans, "thank you for watching", 200, 16, 1.0f), false);
    paintMask(p, thanks, AMBER);
    paintShape(p, [](float x, float y) { return inRect(Point{x, y}, 56, 158, 200, 160); }, TEAL, SAMPLES);

    const TypeSize small{15, 15};
    const char* roles[] = {"music", "code", "pixels"};
    for (int i = 0; i < 3; ++i) {
        const float baseline = 136.0f - i * 21.0f;
        Mask label = makeMask(256, 256);
        Mask name = makeMask(256, 256);
        drawText(label, fonts.mono, roles[i], 30, baseline, small, false);
        drawText(name, fonts.mono, "k3lvana crew", 108, baseline, small, false);
        paintMask(p, label, ASH);
        paintMask(p, name, BONE);
    }
    Mask made = makeMask(256, 256);
    drawCentred(made, fonts.mono, "C++ / OpenGL / a tracker", 128, 64, TypeSize{12, 12}, false);
    paintMask(p, made, ASH);

    // The show's cat sits at the foot of the card beside a small red heart.
    const Point catBase{112, 18};
    paintShape(p, [&](float x, float y) { return inCat(Point{x, y}, catBase, 34); }, BONE, SAMPLES);
    for (bool left : {true, false}) {
        const Point eye = catEye(catBase, 34, left);
        paintShape(p, [&](float x, float y) { return inEllipse(Point{x, y}, eye, 2.0f, 2.4f); }, AMBER, SAMPLES);
    }
    paintShape(p, [](float x, float y) { return inHeart(Point{x, y}, Point{148, 30}, 16); }, EMBER, SAMPLES);

    return Artwork{p, 24,
                   "scene 7 closing card: title, thanks, who made it, the cat and a heart",
                   Staging{100, 100, WHITE, WHITE, false, false}};
}

}  // namespace art
