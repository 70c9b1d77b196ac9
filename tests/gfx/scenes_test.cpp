// The eight scenes, each drawn into a real OpenGL pipeline.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>

#include "shared/random.h"
#include "assets/textures.h"
#include "capture.h"
#include "gfx/flash_cube.h"
#include "gfx/particles.h"
#include "gfx/projection.h"
#include "gfx/rings.h"
#include "scenes/display.h"
#include "scenes/scenes.h"
#include "support/gl_test.h"
#include "sync/show_state.h"

namespace {

using SceneCall = void (*)();
constexpr SceneCall SCENES[8] = {scene0, scene1, scene2, scene3, scene4, scene5, scene6, scene7};
constexpr float NEAR = 1e-3f;  // canvas units or pixels: feedback positions agree this closely

// Every texture slot gets a 1 x 1 texture of its own, made once.
void giveEachSlotATexture()
{
    static GLuint names[17] = {};
    TextureImage* slots[17] = {&afraid512, &afraid64, &noise, &credits, &noiseliscio, &confidence512,
                               &confidence, &schizzi, &sprite, &scoramento, &gatto, &wisdom,
                               &wisdom64, &vs, &uncertainty64, &brave, &creditifinali};
    for (int i = 0; i < 17; ++i) {
        if (names[i] == 0) {
            names[i] = makeSolidTexture(static_cast<uint8_t>(15 * i), 128, 255, 255);
        }
        slots[i]->texName = names[i];
    }
}

// The state the loading sequence leaves: canvas, tables, a walked swarm, rings, the show at rest.
void freshShow()
{
    applyCanvasState();
    resetShowState();
    buildDegreeTables();
    initParticles();
    for (int step = 0; step < 200; ++step) {
        stepParticles();
    }
    initRings();
    giveEachSlotATexture();
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}

// A caller's model-view that pulls every cube of the scenes into the frustum:
// x and y shrunk twenty times, z halved after moving 60 units away.
Matrix squeezedView()
{
    glLoadIdentity();
    glScalef(0.05f, 0.05f, 0.5f);
    glTranslatef(0.0f, 0.0f, -60.0f);
    return currentMatrix(GL_MODELVIEW_MATRIX);
}

struct CubePlace {
    int x, y, z, angle;
};

// One cube of a curve picked out by its drawing index.
struct TellingCube {
    int index;
    CubePlace place;
};

// The corner dots a steady cube at `place` shows with the scene's projection, the
// caller's `view` and the scene's own `placement` of its cubes.
std::vector<SeenVertex> cornersOf(const CubePlace& place, const Matrix& view, const std::function<void()>& placement)
{
    return pointsOf(captureFeedback([&] {
        beginPerspective();
        glPushMatrix();
        glLoadMatrixf(view.data());
        placement();
        drawFlashCube(place.x, place.y, place.z, place.angle, false);
        glPopMatrix();
        endPerspective();
    }));
}

// Checks that cube `index` of the scene's corner dots lies and turns as `place` says.
void expectCube(const std::vector<SeenVertex>& dots, int index, const CubePlace& place, const Matrix& view,
                const std::function<void()>& placement)
{
    SCOPED_TRACE(::testing::Message() << "cube " << index << " expected at (" << place.x << ", " << place.y << ", "
                                      << place.z << ") turned " << place.angle);
    const auto expected = cornersOf(place, view, placement);
    ASSERT_EQ(expected.size(), 8u);
    ASSERT_GE(dots.size(), 8u * (index + 1));
    for (int corner = 0; corner < 8; ++corner) {
        const SeenVertex& seen = dots[8 * index + corner];
        EXPECT_NEAR(seen.x, expected[corner].x, 1e-4f) << "corner " << corner;
        EXPECT_NEAR(seen.y, expected[corner].y, 1e-4f) << "corner " << corner;
        EXPECT_NEAR(seen.z, expected[corner].z, 1e-6f) << "corner " << corner;
    }
}

// The face opacities of each flickering cube, in drawing order (white faces of opacity 0 or 1).
std::vector<std::vector<float>> flickerPerCube(const std::vector<SeenPrimitive>& seen)
{
    std::vector<std::vector<float>> cubes;
    std::vector<float> faces;
    int dots = 0;
    for (const SeenPrimitive& primitive : seen) {
        const SeenVertex& v = primitive.vertices.empty() ? SeenVertex{} : primitive.vertices[0];
        if (primitive.kind == SeenKind::Polygon && v.r == 1.0f && v.g == 1.0f && v.b == 1.0f &&
            (v.a == 0.0f || v.a == 1.0f)) {
            faces.push_back(v.a);
        } else if (primitive.kind == SeenKind::Point && ++dots % 8 == 0) {
            cubes.push_back(faces);
            faces.clear();
        }
    }
    return cubes;
}

// The polygon with exactly these canvas corners (counter-clockwise from lower left), or null.
const SeenPrimitive* findRect(const std::vector<SeenPrimitive>& seen, float left, float bottom, float right,
                              float top, size_t from = 0)
{
    const float xs[4] = {left, right, right, left};
    const float ys[4] = {bottom, bottom, top, top};
    for (size_t i = from; i < seen.size(); ++i) {
        const SeenPrimitive& primitive = seen[i];
        if (primitive.kind != SeenKind::Polygon || primitive.vertices.size() != 4) {
            continue;
        }
        bool match = true;
        for (int v = 0; v < 4; ++v) {
            match = match && std::fabs(primitive.vertices[v].x - xs[v]) < NEAR &&
                    std::fabs(primitive.vertices[v].y - ys[v]) < NEAR;
        }
        if (match) {
            return &primitive;
        }
    }
    return nullptr;
}

// ---------------------------------------------------------------- every scene

TEST(Scenes, EachReturnsTheMatricesAndBlendingItFound)
{
    const int expectedOverlay[8] = {0, 1, 2, 1, 2, 1, 2, 2};
    for (int flags = 0; flags < 2; ++flags) {
        for (int scene = 0; scene < 8; ++scene) {
            freshShow();
            show.tick.store(flags ? 37 : 0);
            show.pulse.store(flags ? 1.5f : 0.0f);
            const uint8_t on = static_cast<uint8_t>(flags);
            show.beatFlash.store(on);
            show.showVersus.store(on);
            show.wisdomAlt.store(on);
            show.spinX.store(on);
            show.spinY.store(on);
            show.spinZ.store(on);
            show.fadeLevel = flags ? 100 : 0;
            show.overlayMode = -1;
            glTranslatef(3.0f, 4.0f, 0.5f);
            glRotatef(10.0f, 0.0f, 0.0f, 1.0f);
            const Matrix callers = currentMatrix(GL_MODELVIEW_MATRIX);
            const Matrix canvas = currentMatrix(GL_PROJECTION_MATRIX);
            GLint modelDepth = 0;
            GLint projectionDepth = 0;
            glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &modelDepth);
            glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &projectionDepth);

            SCENES[scene]();

            SCOPED_TRACE(::testing::Message() << "scene " << scene << (flags ? " with every flag on" : ""));
            EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
            EXPECT_EQ(currentMatrix(GL_MODELVIEW_MATRIX), callers);
            EXPECT_EQ(currentMatrix(GL_PROJECTION_MATRIX), canvas);
            GLint value = 0;
            glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &value);
            EXPECT_EQ(value, modelDepth);
            glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &value);
            EXPECT_EQ(value, projectionDepth);
            glGetIntegerv(GL_MATRIX_MODE, &value);
            EXPECT_EQ(value, GL_MODELVIEW);
            glGetIntegerv(GL_BLEND_SRC, &value);
            EXPECT_EQ(value, GL_SRC_ALPHA);
            glGetIntegerv(GL_BLEND_DST, &value);
            EXPECT_EQ(value, GL_ONE_MINUS_SRC_ALPHA);
            EXPECT_TRUE(glIsEnabled(GL_BLEND));
            EXPECT_EQ(glIsEnabled(GL_TEXTURE_2D) == GL_TRUE, scene != 7);
            EXPECT_EQ(show.overlayMode, expectedOverlay[scene]);
        }
    }
}

TEST(Scenes, RandomNumbersTakenPerFrame)
{
    struct Case {
        int scene;
        float pulse;
        bool wisdomAlt;
        int draws;
    };
    const Case cases[] = {
        {0, 1.0f, false, 0}, {1, 0.0f, false, 44}, {1, 2.5f, false, 44}, {2, 1.0f, false, 0},
        {3, 0.0f, false, 36}, {3, 1.0f, true, 36}, {4, 1.0f, false, 0},  {4, 1.0f, true, 2},
        {5, 1.0f, true, 0},   {6, 0.0f, false, 16}, {6, 2.0f, true, 16}, {7, 1.0f, true, 0},
    };
    for (const Case& c : cases) {
        freshShow();
        show.pulse.store(c.pulse);
        show.wisdomAlt.store(c.wisdomAlt ? 1 : 0);
        show.tick.store(11);
        const uint32_t seed = 4242u;
        k3l::randState = seed;
        SCENES[c.scene]();
        EXPECT_EQ(drawsBetween(seed, k3l::randState), c.draws)
            << "scene " << c.scene << " pulse " << c.pulse << " wisdomAlt " << c.wisdomAlt;
    }
}

// The first (narrowest) pass of each ghost sprite a frame draws: canvas rectangles at depth 1.
std::vector<std::array<float, 4>> spriteRects(const std::vector<SeenPrimitive>& seen)
{
    std::vector<std::array<float, 4>> rects;
    int pass = 0;
    for (const SeenPrimitive& primitive : seen) {
        if (primitive.kind != SeenKind::Polygon || primitive.vertices.size() != 4) {
            continue;
        }
        const SeenVertex& v = primitive.vertices[0];
        if (std::fabs(canvasDepth(v.z) - 1.0f) > NEAR || v.a != 0.5f) {
            continue;
        }
        if (pass++ % 5 == 0) {
            rects.push_back({v.x, v.y, primitive.vertices[2].x, primitive.vertices[2].y});
        }
    }
    return rects;
}

// Compares rectangle lists to within feedback precision.
::testing::AssertionResult sameRects(const std::vector<std::array<float, 4>>& seen,
                                     const std::vector<std::array<float, 4>>& expected)
{
    bool same = seen.size() == expected.size();
    for (size_t i = 0; same && i < seen.size(); ++i) {
        for (int k = 0; k < 4; ++k) {
            same = same && std::fabs(seen[i][k] - expected[i][k]) < NEAR;
        }
    }
    if (same) {
        return ::testing::AssertionSuccess();
    }
    auto failure = ::testing::AssertionFailure() << "seen";
    for (const auto& rect : seen) {
        failure << " (" << rect[0] << ", " << rect[1] << ")-(" << rect[2] << ", " << rect[3] << ")";
    }
    return failure << ", expected " << expected.size() << " rectangles";
}

TEST(Scenes, GhostSpritesWhereEachSceneLaysThem)
{
    using Rects = std::vector<std::array<float, 4>>;
    freshShow();
    show.tickRandom = 12345;  // 12345 % 120 = 105
    const Rects expected[8] = {
        {{10, 40, 110, 90}}, {{120, 135, 170, 165}}, {{170, 40, 230, 80}}, {{45, 125, 95, 155}},
        {{45, 150, 105, 180}}, {}, {}, {},
    };
    for (int scene = 0; scene < 8; ++scene) {
        const Rects seen = spriteRects(captureFeedback(SCENES[scene]));
        EXPECT_TRUE(sameRects(seen, expected[scene])) << "scene " << scene;
    }

    show.showVersus.store(1);
    EXPECT_TRUE(sameRects(spriteRects(captureFeedback(scene4)), {{45, 150, 105, 180}, {240, 43, 304, 107}}));

    // The wisdom caption takes its width first, then its place.
    show.wisdomAlt.store(1);
    show.showVersus.store(0);
    for (uint32_t seed : {7u, 8u, 9u}) {
        k3l::randState = seed;
        uint32_t replay = seed;
        const int width = 50 + replayRand(replay) % 10;
        const int x = 50 - replayRand(replay) % 10;
        const float left = static_cast<float>(x);
        EXPECT_TRUE(sameRects(spriteRects(captureFeedback(scene4)), {{left, 150, left + width, 180}})) << seed;
    }
}

TEST(Scenes, ClearColourTakesEffectOnTheNextFrame)
{
    freshShow();
    // Every image fully transparent: the clear colour shows wherever no untextured layer lies.
    setAllTextureSlots(makeSolidTexture(0, 0, 0, 0));
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    struct Step {
        int scene;
        uint8_t firstFrame, secondFrame;  // red at canvas (40, 100)
        float clear[4];
    };
    const Step steps[] = {
        {2, 0, 255, {1.0f, 1.0f, 1.0f, 0.5f}},
        {5, 255, 0, {0.0f, 0.0f, 0.0f, 1.0f}},
        {4, 0, 255, {1.0f, 1.0f, 1.0f, 1.0f}},
    };
    for (const Step& step : steps) {
        show.scene.store(step.scene);
        onDisplay();
        const uint8_t first = canvasPixel(readPixels(), 40.0f, 100.0f)[0];
        float clear[4];
        glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
        onDisplay();
        const uint8_t second = canvasPixel(readPixels(), 40.0f, 100.0f)[0];
        SCOPED_TRACE(step.scene);
        EXPECT_EQ(first, step.firstFrame);
        EXPECT_EQ(second, step.secondFrame);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(clear[i], step.clear[i]);
        }
    }

    // Scene 3 clears to transparent black; 0, 1, 6 and 7 leave the clear colour alone.
    scene3();
    float clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[0], 0.0f);
    EXPECT_EQ(clear[3], 0.0f);
    for (int scene : {0, 1, 6, 7}) {
        glClearColor(0.25f, 0.5f, 0.75f, 1.0f);
        SCENES[scene]();
        glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
        EXPECT_EQ(clear[0], 0.25f) << scene;
        EXPECT_EQ(clear[2], 0.75f) << scene;
    }
    freshShow();
}

TEST(Scenes, TextureFiltersLeftBehind)
{
    // Backdrops stay blocky; the tile and the card get their smooth filtering back.
    struct Case {
        int scene;
        const TextureImage* image;
        GLint filter;
    };
    const Case cases[] = {
        {1, &afraid512, GL_NEAREST}, {2, &confidence512, GL_NEAREST},
        {3, &scoramento, GL_LINEAR}, {4, &wisdom, GL_LINEAR},
    };
    for (const Case& c : cases) {
        freshShow();
        glBindTexture(GL_TEXTURE_2D, c.image->texName);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST_MIPMAP_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, c.filter == GL_LINEAR ? GL_NEAREST : GL_LINEAR);
        SCENES[c.scene]();
        glBindTexture(GL_TEXTURE_2D, c.image->texName);
        GLint minifying = 0;
        GLint magnifying = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minifying);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magnifying);
        EXPECT_EQ(minifying, c.filter) << "scene " << c.scene;
        EXPECT_EQ(magnifying, c.filter) << "scene " << c.scene;
    }
}

// ---------------------------------------------------------------- scene 1

TEST(Scene1, CubeRowsJitterAndFlickerInDrawingOrder)
{
    freshShow();
    show.pulse.store(0.25f);  // jitter 0 to 2
    const Matrix view = squeezedView();
    const uint32_t seed = 2024u;
    k3l::randState = seed;
    const auto seen = captureFeedback(scene1);
    const auto dots = pointsOf(seen);
    ASSERT_EQ(dots.size(), 22u * 8u);
    const auto flicker = flickerPerCube(seen);
    ASSERT_EQ(flicker.size(), 22u);

    uint32_t replay = seed;
    for (int i = -1; i <= 9; ++i) {
        // tick 0, pulse 0.25: trunc(2.5 + 10i); the nearest pair turns by -7.
        const int angle = i == -1 ? -7 : 2 + 10 * i;
        const int jitterA = replayRand(replay) % 3;
        const float flickerA = static_cast<float>(replayRand(replay) % 2);
        const int jitterB = replayRand(replay) % 3;
        const float flickerB = static_cast<float>(replayRand(replay) % 2);
        const int pair = 2 * (i + 1);
        expectCube(dots, pair, {7 * i + jitterA, i * i / 3 - 5, -40 - 18 * i, angle}, view, [] {});
        expectCube(dots, pair + 1, {7 * i + jitterB - 45, 20 - i * i / 3, 18 * i - 150, angle}, view, [] {});
        for (float alpha : flicker[pair]) {
            EXPECT_EQ(alpha, flickerA) << "cube " << pair;
        }
        for (float alpha : flicker[pair + 1]) {
            EXPECT_EQ(alpha, flickerB) << "cube " << pair + 1;
        }
        EXPECT_FALSE(flicker[pair].empty());
    }
}

// ---------------------------------------------------------------- scene 2

TEST(Scene2, ThirtyCubesOnARingOfRadiusTen)
{
    freshShow();
    show.tick.store(4);
    const Matrix view = squeezedView();
    const auto dots = pointsOf(captureFeedback(scene2));
    ASSERT_EQ(dots.size(), 30u * 8u);
    const int ring[30][2] = {
        {10, 0},  {9, 2},   {9, 4},   {8, 5},   {6, 7},   {5, 8},   {3, 9},   {1, 9},   {-1, 9},  {-3, 9},
        {-4, 8},  {-6, 7},  {-8, 5},  {-9, 4},  {-9, 2},  {-10, 0}, {-9, -2}, {-9, -4}, {-8, -5}, {-6, -7},
        {-5, -8}, {-3, -9}, {-1, -9}, {1, -9},  {3, -9},  {4, -8},  {6, -7},  {8, -5},  {9, -4},  {9, -2},
    };
    for (int i = 0; i < 30; ++i) {
        expectCube(dots, i, {ring[i][0], ring[i][1], -50, 4 + 12 * i}, view, [] { glTranslatef(6.0f, -6.0f, 0.0f); });
    }
}

// ---------------------------------------------------------------- scene 3

// Scene 3 turns and moves its cube loop before drawing it.
void scene3Placement()
{
    glRotatef(-45.0f, 0.0f, 0.0f, 1.0f);
    glRotatef(10.0f, 0.0f, 1.0f, 0.0f);
    glTranslatef(7.5f, 0.0f, 0.0f);
}

TEST(Scene3, LoopOfThirtySixCubesAtItsTellingSteps)
{
    freshShow();
    const Matrix view = squeezedView();
    const auto dots = pointsOf(captureFeedback(scene3));
    ASSERT_EQ(dots.size(), 36u * 8u);
    // Step 10 x index: (x, y, z, angle) at tick 0.
    const TellingCube telling[] = {
        {0, {0, 0, -20, 0}},   {3, {4, 4, -22, 2}},    {9, {0, 10, -39, 6}},
        {18, {0, 0, -60, 12}}, {27, {0, -10, -40, 18}}, {35, {-1, -1, -20, 23}},
    };
    for (const TellingCube& row : telling) {
        expectCube(dots, row.index, row.place, view, scene3Placement);
    }

    // At tick 5 the step-40 cube sits at a = 45, where cos x float(10 sin) is 4.99999...: x is 4.
    show.tick.store(5);
    const auto later = pointsOf(captureFeedback(scene3));
    expectCube(later, 4, {4, 7, -25, 7}, view, scene3Placement);
}

// ---------------------------------------------------------------- scene 4

TEST(Scene4, FigureOfEightAtItsTellingSteps)
{
    freshShow();
    const Matrix view = squeezedView();
    const auto seen = captureFeedback(scene4);
    const auto dots = pointsOf(seen);
    ASSERT_EQ(dots.size(), 36u * 8u);
    const TellingCube telling[] = {
        {0, {0, 0, -20, 0}},   {3, {7, 4, -22, 2}},     {9, {0, 10, -39, 6}},   {15, {7, 5, -57, 10}},
        {18, {0, 0, -60, 12}}, {21, {-7, -4, -57, 14}}, {33, {-7, -5, -22, 22}},
    };
    for (const TellingCube& row : telling) {
        expectCube(dots, row.index, row.place, view, [] { glTranslatef(4.0f, 0.0f, 0.0f); });
    }
    // Steady cubes: every face half transparent.
    for (const SeenPrimitive& polygon : primitivesOf(seen, SeenKind::Polygon)) {
        if (polygon.vertices[0].r == 1.0f && polygon.vertices[0].b == 1.0f) {
            EXPECT_TRUE(polygon.vertices[0].a == 0.5f || polygon.vertices[0].a == 1.0f);
        }
    }
}

// ---------------------------------------------------------------- scene 6

TEST(Scene6, BlocksLightAtRandomBottomRowFirst)
{
    freshShow();
    const uint32_t seed = 99u;
    k3l::randState = seed;
    const auto seen = captureFeedback(scene6);
    uint32_t replay = seed;
    for (float bottom : {30.0f, 190.0f}) {
        for (int block = 0; block < 8; ++block) {
            const float expected = replayRand(replay) % 2 == 1 ? 0.8f : 0.3f;
            const SeenPrimitive* quad = findRect(seen, 40.0f * block, bottom, 40.0f * block + 40, bottom + 20);
            ASSERT_TRUE(quad) << bottom << " " << block;
            EXPECT_EQ(quad->vertices[0].a, expected) << bottom << " " << block;
            EXPECT_EQ(quad->vertices[0].r, 1.0f);
        }
    }
}

TEST(Scene6, VeilFollowsTheFadeAndHandsOverAtExactly250)
{
    for (uint8_t level : {0, 120, 245, 250}) {
        freshShow();
        show.scene.store(6);
        show.fadeActive.store(1);
        show.fadeLevel = level;
        const auto seen = captureFeedback(scene6);
        const SeenPrimitive* veil = findRect(seen, 0, 0, 320, 240);
        ASSERT_TRUE(veil);
        EXPECT_EQ(veil, &seen.back());
        EXPECT_FLOAT_EQ(veil->vertices[0].a, level / 255.0f);
        EXPECT_EQ(veil->vertices[0].r, 0.0f);
        SCOPED_TRACE(static_cast<int>(level));
        if (level == 250) {
            EXPECT_EQ(show.scene.load(), 7);
            EXPECT_EQ(show.fadeLevel, 0);
            EXPECT_EQ(show.fadeActive.load(), 0);
        } else {
            EXPECT_EQ(show.scene.load(), 6);
            EXPECT_EQ(show.fadeLevel, level);
            EXPECT_EQ(show.fadeActive.load(), 1);
        }
    }
}

// ---------------------------------------------------------------- scene 7

TEST(Scene7, ClosingCardFadesInWithTheFadeLevel)
{
    for (uint8_t level : {0, 128, 250}) {
        freshShow();
        show.fadeLevel = level;
        const auto seen = captureFeedback(scene7);
        ASSERT_EQ(seen.size(), 1u);
        const SeenPrimitive* card = findRect(seen, 110, 70, 210, 170);
        ASSERT_TRUE(card);
        for (int v = 0; v < 4; ++v) {
            EXPECT_FLOAT_EQ(card->vertices[v].a, level / 255.0f);
            EXPECT_EQ(card->vertices[v].r, 1.0f);
        }
        EXPECT_EQ(card->vertices[1].s, 1.0f);
        EXPECT_EQ(card->vertices[3].t, 1.0f);
        GLint bound = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        EXPECT_EQ(static_cast<GLuint>(bound), creditifinali.texName);
    }
}

}  // namespace
