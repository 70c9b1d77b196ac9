// The drawing kit make_art paints the images with: text that stands the right way up
// and fills the room it is given, straight-alpha painting without dark fringes, and
// the pixel-art enlargement the backgrounds rely on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "art/picture.h"
#include "art/shapes.h"
#include "art/type.h"

namespace {

using art::Mask;
using art::Picture;
using art::Rgba;

// Inked pixels in one row of a mask.
int inkInRow(const Mask& m, int y)
{
    int count = 0;
    for (int x = 0; x < m.width; ++x) {
        count += art::coverAt(m, x, y) > 0.5f ? 1 : 0;
    }
    return count;
}

// The inked rows and columns of a mask: lowest, highest, leftmost, rightmost.
struct Extent {
    int bottom = -1, top = -1, left = -1, right = -1;
};

Extent extent(const Mask& m)
{
    Extent e;
    for (int y = 0; y < m.height; ++y) {
        for (int x = 0; x < m.width; ++x) {
            if (art::coverAt(m, x, y) > 0.5f) {
                e.bottom = e.bottom < 0 ? y : std::min(e.bottom, y);
                e.top = std::max(e.top, y);
                e.left = e.left < 0 ? x : std::min(e.left, x);
                e.right = std::max(e.right, x);
            }
        }
    }
    return e;
}

class Type : public ::testing::Test {
protected:
    static void SetUpTestSuite() { font = art::openFont(art::FONT_SANS_BOLD); }
    static void TearDownTestSuite() { art::closeFont(font); }
    static art::Font font;
};

art::Font Type::font;

TEST_F(Type, LettersStandUpInPicturesWhoseFirstRowIsTheBottom)
{
    // A "T": its bar is the widest row and lies above its stem; an "L": its foot is below.
    Mask t = art::makeMask(64, 64);
    art::drawText(t, font, "T", 16, 10, art::TypeSize{40, 40}, false);
    const Extent te = extent(t);
    ASSERT_GT(te.top, te.bottom);
    EXPECT_GT(inkInRow(t, te.top - 2), 2 * inkInRow(t, te.bottom + 2));
    EXPECT_GE(te.bottom, 9);  // sits on the baseline, not under it

    Mask l = art::makeMask(64, 64);
    art::drawText(l, font, "L", 16, 10, art::TypeSize{40, 40}, false);
    const Extent le = extent(l);
    EXPECT_GT(inkInRow(l, le.bottom + 2), 2 * inkInRow(l, le.top - 2));
}

TEST_F(Type, FittedTextFillsItsRoomWithoutSpilling)
{
    for (const char* word : {"afraid", "uncertainty", "k3lvana"}) {
        SCOPED_TRACE(word);
        const art::TypeSize size = art::fitText(font, word, 100, 40, 1.0f);
        Mask m = art::makeMask(160, 80);
        art::drawText(m, font, word, 20, 20, size, false);
        const Extent e = extent(m);
        const int wide = e.right - e.left + 1, tall = e.top - e.bottom + 1;
        EXPECT_LE(wide, 102);
        EXPECT_LE(tall, 42);
        // One of the two limits is met: the text is as large as the room allows.
        EXPECT_TRUE(wide >= 94 || tall >= 36) << wide << " x " << tall;
    }
}

TEST_F(Type, AStretchedSizeDrawsLettersTallerInProportion)
{
    // Captions are drawn tall for quads that squash them: twice the height, the same width.
    Mask normal = art::makeMask(128, 128);
    Mask tall = art::makeMask(128, 128);
    art::drawText(normal, font, "wisdom", 4, 20, art::TypeSize{16, 16}, false);
    art::drawText(tall, font, "wisdom", 4, 20, art::TypeSize{16, 32}, false);
    const Extent n = extent(normal), t = extent(tall);
    EXPECT_NEAR(t.right - t.left, n.right - n.left, 2);
    EXPECT_NEAR(static_cast<float>(t.top - t.bottom + 1) / (n.top - n.bottom + 1), 2.0f, 0.2f);
}

TEST_F(Type, CrispTextIsOneBitAndSmoothTextIsNot)
{
    Mask crisp = art::makeMask(64, 32);
    Mask smooth = art::makeMask(64, 32);
    art::drawText(crisp, font, "wisdom", 2, 8, art::TypeSize{12, 12}, true);
    art::drawText(smooth, font, "wisdom", 2, 8, art::TypeSize{12, 12}, false);
    int crispPartial = 0, smoothPartial = 0, crispInk = 0;
    for (size_t i = 0; i < crisp.cover.size(); ++i) {
        crispPartial += crisp.cover[i] > 0.0f && crisp.cover[i] < 1.0f ? 1 : 0;
        smoothPartial += smooth.cover[i] > 0.0f && smooth.cover[i] < 1.0f ? 1 : 0;
        crispInk += crisp.cover[i] == 1.0f ? 1 : 0;
    }
    EXPECT_EQ(crispPartial, 0);
    EXPECT_GT(crispInk, 40);
    EXPECT_GT(smoothPartial, 20);
}

TEST(Painting, HalfCoverOnNothingKeepsTheColourAndHalvesTheAlpha)
{
    // Straight alpha: a half-covered edge pixel must not turn darker, or edges get a dark rim.
    Picture p = art::makePicture(1, 1);
    art::paint(p, 0, 0, art::rgb(200, 100, 50), 0.5f);
    const Rgba c = art::at(p, 0, 0);
    EXPECT_NEAR(c.r, 200 / 255.0f, 1e-4f);
    EXPECT_NEAR(c.g, 100 / 255.0f, 1e-4f);
    EXPECT_NEAR(c.a, 0.5f, 1e-4f);
    // Over an opaque pixel, half of each.
    Picture q = art::makePicture(1, 1, art::rgb(0, 0, 0));
    art::paint(q, 0, 0, art::rgb(255, 255, 255), 0.5f);
    EXPECT_NEAR(art::at(q, 0, 0).r, 0.5f, 1e-4f);
    EXPECT_NEAR(art::at(q, 0, 0).a, 1.0f, 1e-4f);
}

TEST(Painting, BleedColoursTheEmptyPixelsNextToInkButLeavesThemEmpty)
{
    Picture p = art::makePicture(8, 1);
    art::at(p, 0, 0) = art::rgb(255, 255, 255);
    art::bleed(p, 3);
    for (int x = 1; x <= 3; ++x) {
        EXPECT_NEAR(art::at(p, x, 0).r, 1.0f, 1e-4f) << x;
        EXPECT_EQ(art::at(p, x, 0).a, 0.0f) << x;
    }
    EXPECT_EQ(art::at(p, 5, 0).r, 0.0f);  // three passes reach three pixels
}

TEST(Painting, EnlargingRepeatsEachPixelAsABlock)
{
    // The backgrounds: 128 x 64 big pixels made 512 x 512 texels, 4 across and 8 up each.
    Picture grid = art::makePicture(2, 2);
    art::at(grid, 1, 0) = art::rgb(255, 0, 0);
    art::at(grid, 0, 1) = art::rgb(0, 255, 0);
    const Picture big = art::enlarge(grid, 4, 8);
    ASSERT_EQ(big.width, 8);
    ASSERT_EQ(big.height, 16);
    EXPECT_EQ(art::at(big, 4, 0).r, 1.0f);
    EXPECT_EQ(art::at(big, 7, 7).r, 1.0f);
    EXPECT_EQ(art::at(big, 3, 7).r, 0.0f);
    EXPECT_EQ(art::at(big, 0, 8).g, 1.0f);
    EXPECT_EQ(art::at(big, 3, 15).g, 1.0f);
    EXPECT_EQ(art::at(big, 4, 8).g, 0.0f);
}

TEST(Shapes, TheHeartHasItsTipDownAndItsCleftUp)
{
    const art::Point c{0, 0};
    const float size = 100;
    EXPECT_TRUE(art::inHeart(art::Point{0, -40}, c, size));   // near the tip
    EXPECT_FALSE(art::inHeart(art::Point{30, -45}, c, size)); // beside the tip: narrow there
    EXPECT_TRUE(art::inHeart(art::Point{-30, 30}, c, size));  // the two lobes
    EXPECT_TRUE(art::inHeart(art::Point{30, 30}, c, size));
    EXPECT_FALSE(art::inHeart(art::Point{0, 55}, c, size));   // the cleft between them
}

}  // namespace
