// The show's images as the show itself loads them (loadTextures, loadTGA) from
// build/data: sizes OpenGL 1.1 takes, windows where the scenes need to see through,
// bands that leave the picture visible, and edges that never show.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "assets/textures.h"
#include "support/gl_test.h"

namespace {

// A canvas rectangle in canvas units (x 0..320, y 0..240, y up).
struct Rect {
    float x0, y0, x1, y1;
};

// A rectangle of texels, x0..x1−1 by y0..y1−1.
struct TexelRect {
    int x0, y0, x1, y1;
};

// The seventeen slots by file name, as loadTextures fills them.
struct Named {
    const char* name;
    TextureImage* slot;
};

const std::vector<Named>& slots()
{
    static const std::vector<Named> all = {
        {"afraid512", &afraid512}, {"afraid64", &afraid64},         {"noise", &noise},
        {"credits", &credits},     {"noiseliscio", &noiseliscio},   {"confidence512", &confidence512},
        {"confidence", &confidence}, {"schizzi", &schizzi},         {"sprite", &sprite},
        {"scoramento", &scoramento}, {"gatto", &gatto},             {"wisdom", &wisdom},
        {"wisdom64", &wisdom64},   {"vs", &vs},                     {"uncertainty64", &uncertainty64},
        {"brave", &brave},         {"creditifinali", &creditifinali}};
    return all;
}

// The bytes of texel (x, y) of a loaded image: R, G, B and, for 32 bits, A.
const unsigned char* texel(const TextureImage& t, int x, int y)
{
    return t.pixels + (static_cast<size_t>(y) * t.width + x) * (t.bpp / 8);
}

// The alpha of texel (x, y); 255 for an image without alpha.
int alphaAt(const TextureImage& t, int x, int y)
{
    return t.bpp == 32 ? texel(t, x, y)[3] : 255;
}

// The texels a full-picture background (x 0..320 → u 0..1, y 30..210 → v 0..1) lays over a canvas rectangle.
TexelRect texelsUnder(const TextureImage& t, Rect r)
{
    const float u0 = r.x0 / 320.0f, u1 = r.x1 / 320.0f;
    const float v0 = (r.y0 - 30.0f) / 180.0f, v1 = (r.y1 - 30.0f) / 180.0f;
    return TexelRect{std::max(0, static_cast<int>(std::floor(u0 * t.width))),
                     std::max(0, static_cast<int>(std::floor(v0 * t.height))),
                     std::min(static_cast<int>(t.width), static_cast<int>(std::ceil(u1 * t.width))),
                     std::min(static_cast<int>(t.height), static_cast<int>(std::ceil(v1 * t.height)))};
}

// The most opaque texel of a rectangle.
int maxAlpha(const TextureImage& t, TexelRect r)
{
    int most = 0;
    for (int y = r.y0; y < r.y1; ++y) {
        for (int x = r.x0; x < r.x1; ++x) {
            most = std::max(most, alphaAt(t, x, y));
        }
    }
    return most;
}

// Luminance 0..1 of an RGB colour given as 0..1 channels.
float luminance(float r, float g, float b)
{
    return 0.2126f * r + 0.7152f * g + 0.0722f * b;
}

// The share of an image's texels that, laid over a ground grey level, stand out from it by at least 0.5.
float shareStandingOut(const TextureImage& t, float ground)
{
    int count = 0;
    for (uint32_t y = 0; y < t.height; ++y) {
        for (uint32_t x = 0; x < t.width; ++x) {
            const unsigned char* p = texel(t, x, y);
            const float a = alphaAt(t, x, y) / 255.0f;
            const float l = luminance(p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f) * a + ground * (1.0f - a);
            count += std::abs(l - ground) >= 0.5f ? 1 : 0;
        }
    }
    return static_cast<float>(count) / (t.width * t.height);
}

// A flat colour over a canvas rectangle, as the scenes draw their squares.
void drawFlat(Rect r, float red, float green, float blue)
{
    glDisable(GL_TEXTURE_2D);
    glColor4f(red, green, blue, 1.0f);
    glBegin(GL_QUADS);
    glVertex2f(r.x0, r.y0);
    glVertex2f(r.x1, r.y0);
    glVertex2f(r.x1, r.y1);
    glVertex2f(r.x0, r.y1);
    glEnd();
    glEnable(GL_TEXTURE_2D);
}

// A background over the picture area as scenes 1 and 2 draw it: nearest texels, grey tint.
void drawBackground(const TextureImage& t, float tint)
{
    glBindTexture(GL_TEXTURE_2D, t.texName);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glColor4f(tint, tint, tint, 1.0f);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(0.0f, 30.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(320.0f, 30.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(320.0f, 210.0f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(0.0f, 210.0f);
    glEnd();
}

// Canvas points of a rectangle whose pixels still show pure red, out of those sampled.
int redPointsMissing(const std::vector<uint8_t>& pixels, Rect r, int* sampled)
{
    int missing = 0;
    for (float y = r.y0 + 0.5f; y < r.y1; y += 1.0f) {
        for (float x = r.x0 + 0.5f; x < r.x1; x += 1.0f) {
            const uint8_t* p = canvasPixel(pixels, x, y);
            ++*sampled;
            missing += p[0] == 255 && p[1] == 0 && p[2] == 0 ? 0 : 1;
        }
    }
    return missing;
}

// What scene 1 draws before afraid512, and scene 2 before confidence512, in canvas units.
const Rect LEFT_FLASH{30, 120, 70, 160};
const Rect RIGHT_FLASH{220, 115, 280, 175};
const Rect AFRAID_SPRITE_PATH{110, 30, 180, 180};  // x 120..170 ± 10, its jumps from y 30 up to 179
const Rect CONFIDENCE_SPRITE{160, 40, 240, 80};    // x 170..230 ± 10

class ShowImages : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        applyCanvasState();
        loadTextures();
    }
};

TEST_F(ShowImages, AllSeventeenLoadThroughTheShowsOwnLoader)
{
    for (const Named& n : slots()) {
        SCOPED_TRACE(n.name);
        const TextureImage& t = *n.slot;
        ASSERT_NE(t.texName, 0u) << "data/" << n.name << ".tga did not load";
        ASSERT_NE(t.pixels, nullptr);
        EXPECT_TRUE(t.bpp == 24 || t.bpp == 32);
        // OpenGL 1.1 takes only power-of-two sizes; nothing here needs more than 512.
        EXPECT_EQ(t.width & (t.width - 1), 0u) << t.width;
        EXPECT_EQ(t.height & (t.height - 1), 0u) << t.height;
        EXPECT_LE(std::max(t.width, t.height), 512u);
        // The texture OpenGL made has the file's size.
        GLint width = 0, height = 0;
        glBindTexture(GL_TEXTURE_2D, t.texName);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
        EXPECT_EQ(static_cast<uint32_t>(width), t.width);
        EXPECT_EQ(static_cast<uint32_t>(height), t.height);
        // A size in the name is the size of the image.
        const std::string name = n.name;
        if (name.size() > 3 && name.compare(name.size() - 3, 3, "512") == 0) {
            EXPECT_EQ(t.width, 512u);
            EXPECT_EQ(t.height, 512u);
        } else if (name.size() > 2 && name.compare(name.size() - 2, 2, "64") == 0) {
            EXPECT_EQ(t.width, 64u);
            EXPECT_EQ(t.height, 64u);
        }
    }
}

TEST_F(ShowImages, BackgroundsAreClearExactlyOverTheLayersBeneathThem)
{
    for (const Rect r : {LEFT_FLASH, RIGHT_FLASH, AFRAID_SPRITE_PATH}) {
        EXPECT_EQ(maxAlpha(afraid512, texelsUnder(afraid512, r)), 0) << "afraid512 over x " << r.x0 << ".." << r.x1;
    }
    EXPECT_EQ(maxAlpha(confidence512, texelsUnder(confidence512, CONFIDENCE_SPRITE)), 0);

    // And they are backgrounds: away from the windows nearly everything is opaque.
    for (const TextureImage* t : {&afraid512, &confidence512}) {
        int opaque = 0, total = 0;
        for (uint32_t y = 0; y < t->height; ++y) {
            for (uint32_t x = 0; x < t->width; ++x) {
                if (x * 320.0f / t->width < 110.0f && y * 180.0f / t->height + 30.0f > 100.0f) {
                    continue;  // left of the door and high up: the left window's neighbourhood
                }
                ++total;
                opaque += alphaAt(*t, x, y) == 255 ? 1 : 0;
            }
        }
        EXPECT_GT(static_cast<float>(opaque) / total, 0.6f);
    }
}

TEST_F(ShowImages, ScenesSeeTheirLayersThroughTheBackgrounds)
{
    // Scene 1: the flashes and the word first, then the room over them.
    glClear(GL_COLOR_BUFFER_BIT);
    for (const Rect r : {LEFT_FLASH, RIGHT_FLASH, AFRAID_SPRITE_PATH}) {
        drawFlat(r, 1.0f, 0.0f, 0.0f);
    }
    drawBackground(afraid512, 0.7f);
    std::vector<uint8_t> pixels = readPixels();
    for (const Rect r : {LEFT_FLASH, RIGHT_FLASH, AFRAID_SPRITE_PATH}) {
        int sampled = 0;
        EXPECT_EQ(redPointsMissing(pixels, r, &sampled), 0) << "scene 1, x " << r.x0 << ".." << r.x1;
        EXPECT_GT(sampled, 100);
    }
    // The room itself is drawn: the wall between the left window and the door hides the red laid there.
    drawFlat(Rect{80, 130, 100, 150}, 1.0f, 0.0f, 0.0f);
    drawBackground(afraid512, 0.7f);
    pixels = readPixels();
    int sampled = 0;
    EXPECT_EQ(redPointsMissing(pixels, Rect{80, 130, 100, 150}, &sampled), sampled);

    // Scene 2: the word in the spotlight, then the stage.
    glClear(GL_COLOR_BUFFER_BIT);
    drawFlat(CONFIDENCE_SPRITE, 1.0f, 0.0f, 0.0f);
    drawBackground(confidence512, 0.9f);
    pixels = readPixels();
    sampled = 0;
    EXPECT_EQ(redPointsMissing(pixels, CONFIDENCE_SPRITE, &sampled), 0);
}

TEST_F(ShowImages, BandsLeaveThePictureVisibleInEveryPhase)
{
    // Each frame shows a window 0.3 of the band's height, starting 0.1 higher each frame.
    for (const TextureImage* t : {&noise, &noiseliscio}) {
        SCOPED_TRACE(t == &noise ? "noise" : "noiseliscio");
        ASSERT_EQ(t->bpp, 32u);
        for (int phase = 0; phase < 8; ++phase) {
            const int y0 = static_cast<int>(std::floor(0.1f * phase * t->height));
            const int y1 = static_cast<int>(std::ceil((0.1f * phase + 0.3f) * t->height));
            double sum = 0.0;
            int strong = 0, visible = 0, total = 0;
            for (int y = y0; y < y1; ++y) {
                for (uint32_t x = 0; x < t->width; ++x) {
                    const int a = alphaAt(*t, x, y);
                    sum += a;
                    strong += a > 128 ? 1 : 0;
                    visible += a >= 8 ? 1 : 0;
                    ++total;
                }
            }
            EXPECT_LT(sum / total, 25.5) << "phase " << phase;  // mean alpha under 10 %
            EXPECT_LT(static_cast<float>(strong) / total, 0.02f) << "phase " << phase;
            EXPECT_GT(static_cast<float>(visible) / total, 0.2f) << "phase " << phase;  // but it is there
        }
    }
}

TEST_F(ShowImages, TheSmoothBandIsSmootherThanTheNoise)
{
    // Mean alpha step between neighbouring texels: grain and hard streaks make it large.
    auto roughness = [](const TextureImage& t) {
        double sum = 0.0;
        for (uint32_t y = 0; y + 1 < t.height; ++y) {
            for (uint32_t x = 0; x + 1 < t.width; ++x) {
                sum += std::abs(alphaAt(t, x + 1, y) - alphaAt(t, x, y)) + std::abs(alphaAt(t, x, y + 1) - alphaAt(t, x, y));
            }
        }
        return sum / ((t.width - 1) * (t.height - 1));
    };
    EXPECT_LT(roughness(noiseliscio) * 2.0, roughness(noise));
}

TEST_F(ShowImages, SpriteEdgesNeverShow)
{
    // Linear filtering and turning would show any texel left on the border as the quad's edge.
    for (const TextureImage* t : {&afraid64, &confidence, &wisdom64, &uncertainty64, &vs, &gatto, &credits, &sprite}) {
        int edge = 0;
        for (uint32_t x = 0; x < t->width; ++x) {
            edge = std::max({edge, alphaAt(*t, x, 0), alphaAt(*t, x, t->height - 1)});
        }
        for (uint32_t y = 0; y < t->height; ++y) {
            edge = std::max({edge, alphaAt(*t, 0, y), alphaAt(*t, t->width - 1, y)});
        }
        EXPECT_EQ(t->bpp, 32u);
        EXPECT_EQ(edge, 0) << "texture " << t->texName;
    }
}

TEST_F(ShowImages, TheParticleIsAWhiteGlowFadingToNothing)
{
    ASSERT_EQ(sprite.bpp, 32u);
    const int w = static_cast<int>(sprite.width), h = static_cast<int>(sprite.height);
    EXPECT_GE(alphaAt(sprite, w / 2, h / 2), 240);
    // Alpha never rises going out from the middle, along eight rays.
    const int rays[8][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {-1, 1}, {1, -1}, {-1, -1}};
    for (const auto& d : rays) {
        int last = 256;
        for (int k = 0; k < w / 2; ++k) {
            const int x = w / 2 + d[0] * k, y = h / 2 + d[1] * k;
            if (x < 0 || y < 0 || x >= w || y >= h) {
                break;
            }
            EXPECT_LE(alphaAt(sprite, x, y), last);
            last = alphaAt(sprite, x, y);
        }
    }
    // Wherever it shows, it is white: the show tints it cyan.
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (alphaAt(sprite, x, y) > 0) {
                const unsigned char* p = texel(sprite, x, y);
                ASSERT_GE(std::min({p[0], p[1], p[2]}), 250) << x << "," << y;
            }
        }
    }
}

TEST_F(ShowImages, BravesGroundIsBlackSoItAddsNothing)
{
    const int w = static_cast<int>(brave.width), h = static_cast<int>(brave.height);
    int black = 0, bright = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const unsigned char* p = texel(brave, x, y);
            const int most = std::max({p[0], p[1], p[2]});
            const bool border = x < 2 || y < 2 || x >= w - 2 || y >= h - 2;
            if (border) {
                ASSERT_EQ(most, 0) << "border texel " << x << "," << y;
            }
            black += most <= 4 ? 1 : 0;
            bright += most >= 200 ? 1 : 0;
        }
    }
    EXPECT_GT(static_cast<float>(black) / (w * h), 0.3f);
    EXPECT_GT(static_cast<float>(bright) / (w * h), 0.1f);
}

TEST_F(ShowImages, WordsStandOutFromTheGroundTheyAreDrawnOn)
{
    // On white (scenes 2 and 4): dark ink; on black (scenes 0, 1, 3): light letters.
    // (About half of what the images have now: room to redraw, none for a word that vanishes.)
    EXPECT_GT(shareStandingOut(confidence, 1.0f), 0.04f);
    EXPECT_GT(shareStandingOut(wisdom64, 1.0f), 0.06f);
    EXPECT_GT(shareStandingOut(uncertainty64, 1.0f), 0.05f);
    EXPECT_GT(shareStandingOut(vs, 1.0f), 0.2f);
    EXPECT_GT(shareStandingOut(gatto, 1.0f), 0.15f);
    EXPECT_GT(shareStandingOut(afraid64, 0.0f), 0.07f);
    EXPECT_GT(shareStandingOut(credits, 0.0f), 0.06f);
    // Cards are solid, so they read the same over a black or a white ground.
    for (const TextureImage* t : {&creditifinali, &wisdom, &scoramento}) {
        EXPECT_EQ(maxAlpha(*t, TexelRect{0, 0, static_cast<int>(t->width), static_cast<int>(t->height)}), 255);
        int least = 255;
        for (uint32_t y = 0; y < t->height; ++y) {
            for (uint32_t x = 0; x < t->width; ++x) {
                least = std::min(least, alphaAt(*t, x, y));
            }
        }
        EXPECT_EQ(least, 255) << "texture " << t->texName;
    }
}

}  // namespace
