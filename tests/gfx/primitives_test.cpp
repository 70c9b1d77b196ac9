// The drawing primitives, checked on what a real OpenGL pipeline receives.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>

#include "shared/random.h"
#include "assets/textures.h"
#include "capture.h"
#include "gfx/flash_cube.h"
#include "gfx/ghost_sprite.h"
#include "gfx/particles.h"
#include "gfx/projection.h"
#include "gfx/rings.h"
#include "support/gl_test.h"
#include "sync/show_state.h"

namespace {

constexpr float NEAR = 1e-3f;  // canvas or perspective units: feedback positions agree this closely

// The state the loading sequence leaves, with the show at rest.
void freshCanvas()
{
    applyCanvasState();
    resetShowState();
    buildDegreeTables();
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}

// Checks a matrix element by element.
void expectMatrixNear(const Matrix& actual, const Matrix& expected, float tolerance)
{
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(actual[i], expected[i], tolerance) << "element " << i;
    }
}

// Checks a feedback vertex against a canvas position (x, y, z).
void expectVertexAt(const SeenVertex& vertex, float x, float y, float z)
{
    EXPECT_NEAR(vertex.x, x, NEAR);
    EXPECT_NEAR(vertex.y, y, NEAR);
    EXPECT_NEAR(canvasDepth(vertex.z), z, NEAR);
}

// Checks a feedback vertex's colour.
void expectColour(const SeenVertex& vertex, float r, float g, float b, float a)
{
    EXPECT_NEAR(vertex.r, r, 1e-6f);
    EXPECT_NEAR(vertex.g, g, 1e-6f);
    EXPECT_NEAR(vertex.b, b, 1e-6f);
    EXPECT_NEAR(vertex.a, a, 1e-6f);
}

// Checks an unprojected position.
void expectPosition(const std::array<double, 3>& actual, float x, float y, float z, double tolerance)
{
    EXPECT_NEAR(actual[0], x, tolerance);
    EXPECT_NEAR(actual[1], y, tolerance);
    EXPECT_NEAR(actual[2], z, tolerance);
}

// ---------------------------------------------------------------- degree tables

TEST(DegreeTables, TellingRowsUseTheShortPi)
{
    buildDegreeTables();
    struct Row {
        int degrees;
        float sine, cosine;
    };
    const Row rows[] = {
        {30, 0.49998662f, 0.86603314f},  {45, 0.70709038f, 0.70712316f},  {90, 1.0f, 0.000046326793f},
        {180, 0.000092653587f, -1.0f},   {270, -1.0f, -0.00013898038f},   {359, -0.017637171f, 0.99984443f},
    };
    for (const Row& row : rows) {
        EXPECT_FLOAT_EQ(sinDeg(row.degrees), row.sine) << row.degrees;
        EXPECT_FLOAT_EQ(cosDeg(row.degrees), row.cosine) << row.degrees;
    }
    EXPECT_EQ(sinDeg(0), 0.0f);
    EXPECT_EQ(cosDeg(0), 1.0f);
}

TEST(DegreeTables, NegativeAnglesLoseTheirSignAndWholeTurnsWrap)
{
    buildDegreeTables();
    EXPECT_EQ(sinDeg(-30), sinDeg(30));
    EXPECT_GT(sinDeg(-30), 0.0f);
    EXPECT_EQ(cosDeg(-30), cosDeg(30));
    EXPECT_EQ(sinDeg(-7), sinDeg(7));
    EXPECT_EQ(sinDeg(390), sinDeg(30));
    EXPECT_EQ(cosDeg(720 + 45), cosDeg(45));
    EXPECT_EQ(sinDeg(-390), sinDeg(30));
    EXPECT_EQ(sinDeg(360), 0.0f);
    // The extremes stay inside the tables: 2147483647 and 2147483648 are 127 and 128 past whole turns.
    EXPECT_EQ(sinDeg(std::numeric_limits<int32_t>::max()), sinDeg(127));
    EXPECT_EQ(sinDeg(std::numeric_limits<int32_t>::min()), sinDeg(128));
    EXPECT_EQ(cosDeg(std::numeric_limits<int32_t>::min()), cosDeg(128));
}

// ---------------------------------------------------------------- perspective

TEST(Perspective, BreathesWithThePulseAndMirrorsPastAspectZero)
{
    // cot(fov / 2), aspect = 1.2 - pulse, near 0.1, far 200.
    struct Case {
        float pulse;
        double xScale, yScale;
    };
    const Case cases[] = {
        {0.0f, 3.7320508075688776 / 1.2, 3.7320508075688776},
        {1.0f, 3.6058835042865070 / 0.2, 3.6058835042865070},
        {1.5f, 3.5457630644660796 / -0.3, 3.5457630644660796},
    };
    for (const Case& c : cases) {
        freshCanvas();
        show.pulse.store(c.pulse);
        const Matrix canvas = currentMatrix(GL_PROJECTION_MATRIX);
        GLint depthBefore = 0;
        glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depthBefore);

        beginPerspective();
        const Matrix p = currentMatrix(GL_PROJECTION_MATRIX);
        GLint mode = 0;
        GLint depthInside = 0;
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depthInside);
        endPerspective();

        SCOPED_TRACE(c.pulse);
        EXPECT_NEAR(p[0], c.xScale, 1e-4 * std::fabs(c.xScale));
        EXPECT_NEAR(p[5], c.yScale, 1e-5 * c.yScale);
        EXPECT_NEAR(p[10], -200.1 / 199.9, 1e-6);
        EXPECT_NEAR(p[11], -1.0, 0.0);
        EXPECT_NEAR(p[14], -40.0 / 199.9, 1e-6);
        EXPECT_EQ(p[1], 0.0f);
        EXPECT_EQ(p[15], 0.0f);
        EXPECT_EQ(mode, GL_MODELVIEW);
        EXPECT_EQ(depthInside, depthBefore + 1);

        GLint depthAfter = 0;
        glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depthAfter);
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        EXPECT_EQ(depthAfter, depthBefore);
        EXPECT_EQ(mode, GL_MODELVIEW);
        expectMatrixNear(currentMatrix(GL_PROJECTION_MATRIX), canvas, 0.0f);
    }
}

// ---------------------------------------------------------------- ghost sprite

TEST(GhostSprite, FivePassesSpreadWithThePulse)
{
    struct Case {
        float pulse;
        int spread[5];
    };
    const Case cases[] = {
        {0.0f, {0, 0, 0, 0, 0}},
        {0.25f, {0, 0, 0, 0, 1}},
        {0.75f, {0, 0, 1, 2, 3}},
        {1.0f, {0, 1, 2, 3, 4}},
        {2.5f, {0, 2, 5, 7, 10}},
    };
    const TextureImage image{nullptr, 32, 1, 1, makeSolidTexture(10, 20, 30, 255)};
    for (const Case& c : cases) {
        freshCanvas();
        show.pulse.store(c.pulse);
        // The caller's model-view carries the sprite along.
        glTranslatef(5.0f, 6.0f, 0.0f);
        const Matrix callers = currentMatrix(GL_MODELVIEW_MATRIX);
        const auto seen = captureFeedback([&] { drawGhostSprite(30, 40, 100, 50, image); });

        SCOPED_TRACE(c.pulse);
        ASSERT_EQ(seen.size(), 5u);
        for (int pass = 0; pass < 5; ++pass) {
            const SeenPrimitive& quad = seen[pass];
            ASSERT_EQ(quad.kind, SeenKind::Polygon);
            ASSERT_EQ(quad.vertices.size(), 4u);
            const float left = 35.0f - c.spread[pass];
            const float right = 135.0f + c.spread[pass];
            expectVertexAt(quad.vertices[0], left, 46.0f, 1.0f);
            expectVertexAt(quad.vertices[1], right, 46.0f, 1.0f);
            expectVertexAt(quad.vertices[2], right, 96.0f, 1.0f);
            expectVertexAt(quad.vertices[3], left, 96.0f, 1.0f);
            const float texS[4] = {0, 1, 1, 0};
            const float texT[4] = {0, 0, 1, 1};
            for (int v = 0; v < 4; ++v) {
                expectColour(quad.vertices[v], 1.0f, 1.0f, 1.0f, 0.5f);
                EXPECT_EQ(quad.vertices[v].s, texS[v]);
                EXPECT_EQ(quad.vertices[v].t, texT[v]);
            }
        }

        float colour[4];
        glGetFloatv(GL_CURRENT_COLOR, colour);
        EXPECT_EQ(colour[3], 0.5f);
        EXPECT_EQ(colour[0], 1.0f);
        GLint bound = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        EXPECT_EQ(static_cast<GLuint>(bound), image.texName);
        expectMatrixNear(currentMatrix(GL_MODELVIEW_MATRIX), callers, 0.0f);
    }
}

// ---------------------------------------------------------------- flash cube

// Faces and corners as the cube draws them, in its own space.
constexpr float CUBE_FACES[24][3] = {
    {-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1},      {-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1},
    {1, -1, -1}, {1, 1, -1}, {1, 1, 1}, {1, -1, 1},      {-1, -1, -1}, {-1, 1, -1}, {-1, 1, 1}, {-1, -1, 1},
    {-1, 1, -1}, {1, 1, -1}, {1, 1, 1}, {-1, 1, 1},      {-1, -1, -1}, {1, -1, -1}, {1, -1, 1}, {-1, -1, 1},
};
constexpr float CUBE_CORNERS[8][3] = {
    {1, 1, 1}, {1, -1, 1}, {-1, -1, 1}, {-1, 1, 1}, {-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1},
};

// Loads a model-view that undoes the cube's own translation and turns, so that the
// cube's space reaches the eye through `view` alone.
void undoCubePlacement(const Matrix& view, int x, int y, int z, int angle)
{
    glLoadIdentity();
    glRotatef(static_cast<float>(angle), 1.0f, 0.0f, 0.0f);
    glRotatef(static_cast<float>(angle + 20), 0.0f, 1.0f, 0.0f);
    glRotatef(static_cast<float>(angle + 40), 0.0f, 0.0f, 1.0f);
    const Matrix turn = currentMatrix(GL_MODELVIEW_MATRIX);
    Matrix inverseTurn{};
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            inverseTurn[column * 4 + row] = turn[row * 4 + column];
        }
    }
    glLoadMatrixf(view.data());
    glMultMatrixf(inverseTurn.data());
    glTranslatef(static_cast<float>(-x), static_cast<float>(-y), static_cast<float>(-z));
}

// A camera at `eye` (cube space) looking at the cube's centre.
Matrix lookingAtCube(double ex, double ey, double ez, double upX, double upY, double upZ)
{
    glLoadIdentity();
    gluLookAt(ex, ey, ez, 0.0, 0.0, 0.0, upX, upY, upZ);
    return currentMatrix(GL_MODELVIEW_MATRIX);
}

// A 120-degree perspective reaching from 0.01 to 100, for cubes seen from close by.
void useWidePerspective()
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(120.0, 1.0, 0.01, 100.0);
    glMatrixMode(GL_MODELVIEW);
}

TEST(FlashCube, FacesThenOutlineThenCornerDotsInOrder)
{
    freshCanvas();
    glDisable(GL_CULL_FACE);
    useWidePerspective();
    const Matrix view = lookingAtCube(0.0, 0.0, 10.0, 0.0, 1.0, 0.0);
    undoCubePlacement(view, 3, -2, 5, 17);
    const Matrix callers = currentMatrix(GL_MODELVIEW_MATRIX);
    const Matrix projection = currentMatrix(GL_PROJECTION_MATRIX);
    const uint32_t before = k3l::randState;

    const auto seen = captureFeedback([] { drawFlashCube(3, -2, 5, 17, false); });

    EXPECT_EQ(k3l::randState, before);
    ASSERT_EQ(seen.size(), 6u + 24u + 8u);
    for (int face = 0; face < 6; ++face) {
        const SeenPrimitive& quad = seen[face];
        ASSERT_EQ(quad.kind, SeenKind::Polygon);
        ASSERT_EQ(quad.vertices.size(), 4u);
        for (int v = 0; v < 4; ++v) {
            const float* corner = CUBE_FACES[face * 4 + v];
            SCOPED_TRACE(face * 4 + v);
            expectPosition(unproject(quad.vertices[v], view, projection), corner[0], corner[1], corner[2], 1e-3);
            expectColour(quad.vertices[v], 1.0f, 1.0f, 1.0f, 0.5f);
        }
    }
    for (int segment = 0; segment < 24; ++segment) {
        const SeenPrimitive& line = seen[6 + segment];
        EXPECT_EQ(line.kind, SeenKind::Line);
        const float* from = CUBE_FACES[segment];
        const float* to = CUBE_FACES[(segment + 1) % 24];
        SCOPED_TRACE(segment);
        expectPosition(unproject(line.vertices[0], view, projection), from[0], from[1], from[2], 1e-3);
        expectPosition(unproject(line.vertices[1], view, projection), to[0], to[1], to[2], 1e-3);
        expectColour(line.vertices[0], 0.0f, 0.0f, 0.0f, 0.5f);
    }
    for (int dot = 0; dot < 8; ++dot) {
        const SeenPrimitive& point = seen[30 + dot];
        ASSERT_EQ(point.kind, SeenKind::Point);
        const float* corner = CUBE_CORNERS[dot];
        SCOPED_TRACE(dot);
        expectPosition(unproject(point.vertices[0], view, projection), corner[0], corner[1], corner[2], 1e-3);
        expectColour(point.vertices[0], 0.0f, 0.0f, 0.0f, 1.0f);
    }

    float colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(colour[0], 0.0f);
    EXPECT_EQ(colour[3], 1.0f);
    expectMatrixNear(currentMatrix(GL_MODELVIEW_MATRIX), callers, 0.0f);
}

TEST(FlashCube, FlickerTakesOneNumberAndItsParityIsTheFaceOpacity)
{
    freshCanvas();
    glDisable(GL_CULL_FACE);
    useWidePerspective();
    glLoadIdentity();
    std::set<float> opacities;
    for (uint32_t seed : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u}) {
        k3l::randState = seed;
        uint32_t replay = seed;
        const float expected = static_cast<float>(replayRand(replay) % 2);
        const auto seen = captureFeedback([] { drawFlashCube(0, 0, -8, 0, true); });
        EXPECT_EQ(drawsBetween(seed, k3l::randState), 1);
        const auto faces = primitivesOf(seen, SeenKind::Polygon);
        ASSERT_EQ(faces.size(), 6u);
        for (const SeenPrimitive& face : faces) {
            expectColour(face.vertices[0], 1.0f, 1.0f, 1.0f, expected);
        }
        // The outline and the dots do not flicker.
        EXPECT_EQ(primitivesOf(seen, SeenKind::Line)[0].vertices[0].a, 0.5f);
        EXPECT_EQ(pointsOf(seen)[0].a, 1.0f);
        opacities.insert(expected);
    }
    EXPECT_EQ(opacities.size(), 2u) << "the seeds should give both an even and an odd number";
}

// Which faces (1 to 6) of a cube reach the rasteriser for an eye at a cube-space position.
std::set<int> facesSeenFrom(const Matrix& view)
{
    useWidePerspective();
    undoCubePlacement(view, 0, 0, 0, 33);
    const Matrix projection = currentMatrix(GL_PROJECTION_MATRIX);
    const auto seen = captureFeedback([] { drawFlashCube(0, 0, 0, 33, false); });
    std::set<int> faces;
    for (const SeenPrimitive& polygon : primitivesOf(seen, SeenKind::Polygon)) {
        // A face is the plane where one coordinate stays at +1 or -1 for every vertex.
        int found = 0;
        for (int axis = 0; axis < 3 && found == 0; ++axis) {
            for (double side : {1.0, -1.0}) {
                bool onPlane = true;
                for (const SeenVertex& vertex : polygon.vertices) {
                    onPlane = onPlane && std::fabs(unproject(vertex, view, projection)[axis] - side) < 1e-2;
                }
                if (onPlane) {
                    const int zFace = side > 0 ? 1 : 2;
                    const int xFace = side > 0 ? 3 : 4;
                    const int yFace = side > 0 ? 5 : 6;
                    found = axis == 0 ? xFace : axis == 1 ? yFace : zFace;
                }
            }
        }
        faces.insert(found);
    }
    return faces;
}

TEST(FlashCube, CullingKeepsFacesByWindingAndEyePosition)
{
    freshCanvas();
    // Faces 1, 3 and 6 are wound outward, 2, 4 and 5 inward.
    EXPECT_EQ(facesSeenFrom(lookingAtCube(0.0, 0.0, 6.0, 0.0, 1.0, 0.0)), (std::set<int>{1, 2, 4, 5}));
    EXPECT_EQ(facesSeenFrom(lookingAtCube(0.0, 0.0, -6.0, 0.0, 1.0, 0.0)), (std::set<int>{4, 5}));
    // From inside, between the two z faces, only face 2 of the pair survives.
    glLoadIdentity();
    gluLookAt(0.0, 0.0, 0.5, 0.0, 0.0, -1.0, 0.0, 1.0, 0.0);
    EXPECT_EQ(facesSeenFrom(currentMatrix(GL_MODELVIEW_MATRIX)), (std::set<int>{2, 4, 5}));
    EXPECT_EQ(facesSeenFrom(lookingAtCube(4.0, -4.0, 0.0, 0.0, 0.0, 1.0)), (std::set<int>{2, 3, 4, 5, 6}));
}

// ---------------------------------------------------------------- particles

TEST(Particles, TheSwarmStartsAtOnePoint)
{
    particles[7].x = 3.0f;
    initParticles();
    for (const Particle& particle : particles) {
        EXPECT_EQ(particle.x, 0.0f);
        EXPECT_EQ(particle.y, 200.0f);
        EXPECT_EQ(particle.z, 0);
    }
}

TEST(Particles, EachStepTakesTwoNumbersPerParticleXFirst)
{
    const uint32_t seed = 987654321u;
    k3l::randState = seed;
    initParticles();
    stepParticles();
    EXPECT_EQ(drawsBetween(seed, k3l::randState), 2 * PARTICLE_COUNT);

    uint32_t replay = seed;
    std::set<int> remaindersX;
    std::set<int> remaindersY;
    for (const Particle& particle : particles) {
        const int forX = replayRand(replay) % 3;
        const int forY = replayRand(replay) % 3;
        remaindersX.insert(forX);
        remaindersY.insert(forY);
        // Remainder 0 steps back half a unit, 1 stays, 2 steps on half a unit.
        EXPECT_EQ(particle.x, 0.0f + (forX - 1) * 0.5f);
        EXPECT_EQ(particle.y, 200.0f + (forY - 1) * 0.5f);
    }
    EXPECT_EQ(remaindersX.size(), 3u);
    EXPECT_EQ(remaindersY.size(), 3u);

    // The loading sequence's 200 steps take 20000 numbers.
    const uint32_t loading = k3l::randState;
    for (int step = 0; step < 200; ++step) {
        stepParticles();
    }
    EXPECT_EQ(drawsBetween(loading, k3l::randState), 200 * 2 * PARTICLE_COUNT);
}

// Puts particle p at (20 + p, 170 + p) so that every square has a place of its own.
void spreadParticles()
{
    for (int p = 0; p < PARTICLE_COUNT; ++p) {
        particles[p] = Particle{20.0f + p, 170.0f + p, 0};
    }
}

TEST(Particles, EachParticleIsATexturedSquareInTheCallersColour)
{
    freshCanvas();
    spreadParticles();
    glColor4f(0.5f, 1.0f, 1.0f, 0.3f);
    const auto seen = captureFeedback([] { drawParticles(); });
    ASSERT_EQ(seen.size(), static_cast<size_t>(PARTICLE_COUNT));
    for (int p = 0; p < PARTICLE_COUNT; ++p) {
        const auto& v = seen[p].vertices;
        ASSERT_EQ(v.size(), 4u);
        const float x = 20.0f + p;
        const float y = 170.0f + p;
        expectVertexAt(v[0], x - 10, y - 10, 0);
        expectVertexAt(v[1], x + 10, y - 10, 0);
        expectVertexAt(v[2], x + 10, y + 10, 0);
        expectVertexAt(v[3], x - 10, y + 10, 0);
        EXPECT_EQ(v[0].s, 0.0f);
        EXPECT_EQ(v[2].s, 1.0f);
        EXPECT_EQ(v[2].t, 1.0f);
        expectColour(v[1], 0.5f, 1.0f, 1.0f, 0.3f);
    }
}

TEST(Particles, TheColumnRepeatsTheSwarmSixTimesThirtyUnitsDown)
{
    freshCanvas();
    spreadParticles();
    glTranslatef(2.0f, 0.0f, 0.0f);
    const Matrix callers = currentMatrix(GL_MODELVIEW_MATRIX);
    const auto seen = captureFeedback([] { drawParticleColumn(); });
    ASSERT_EQ(seen.size(), 6u * PARTICLE_COUNT);
    for (int copy = 0; copy < 6; ++copy) {
        for (int p : {0, 49}) {
            const SeenVertex& lowerLeft = seen[copy * PARTICLE_COUNT + p].vertices[0];
            expectVertexAt(lowerLeft, 22.0f + p - 10, 170.0f + p - 10 - 30.0f * copy, 0);
        }
    }
    expectMatrixNear(currentMatrix(GL_MODELVIEW_MATRIX), callers, 0.0f);
}

// ---------------------------------------------------------------- rings

TEST(Rings, LoadingLaysTwentyFourRingsTenApart)
{
    buildDegreeTables();
    initRings();
    for (int i = 0; i < 24; ++i) {
        EXPECT_EQ(ringDepths[i], -10 * i);
    }
    EXPECT_EQ(ringOutline[0].x, 2.0f);
    EXPECT_EQ(ringOutline[0].y, 0.0f);
    EXPECT_FLOAT_EQ(ringOutline[6].x, 2.0f * 0.000046326793f);
    EXPECT_EQ(ringOutline[6].y, 2.0f);
    EXPECT_EQ(ringOutline[12].x, -2.0f);
    EXPECT_FLOAT_EQ(ringOutline[2].x, 2.0f * 0.86603314f);
    EXPECT_FLOAT_EQ(ringOutline[2].y, 2.0f * 0.49998662f);
    EXPECT_EQ(ringOutline[23].z, 0.0f);
}

TEST(Rings, AdvancingBringsRingsCloserAndSendsTheNearestBack)
{
    buildDegreeTables();
    initRings();
    for (int i = 24; i < RING_COUNT; ++i) {
        ringDepths[i] = 0;  // as a freshly started show has them
    }
    advanceRings();
    EXPECT_EQ(ringDepths[0], -240);
    EXPECT_EQ(ringDepths[1], -7);
    EXPECT_EQ(ringDepths[2], -17);
    EXPECT_EQ(ringDepths[23], -227);
    EXPECT_EQ(ringDepths[29], -240);
    advanceRings();
    EXPECT_EQ(ringDepths[0], -237);
    EXPECT_EQ(ringDepths[1], -4);
    advanceRings();
    EXPECT_EQ(ringDepths[1], -1);
    advanceRings();
    EXPECT_EQ(ringDepths[1], -240);
    EXPECT_EQ(ringDepths[0], -231);
}

TEST(Rings, EveryRingCyclesEveryEightyTicks)
{
    buildDegreeTables();
    initRings();
    for (int i = 24; i < RING_COUNT; ++i) {
        ringDepths[i] = 0;
    }
    for (int tick = 0; tick < 100; ++tick) {
        advanceRings();
    }
    int32_t history[160][RING_COUNT];
    for (auto& depths : history) {
        advanceRings();
        std::copy(std::begin(ringDepths), std::end(ringDepths), depths);
    }
    for (int ring = 0; ring < RING_COUNT; ++ring) {
        int sentBack = 0;
        for (int tick = 0; tick < 80; ++tick) {
            EXPECT_EQ(history[tick][ring], history[tick + 80][ring]);
            EXPECT_GE(history[tick][ring], -240);
            EXPECT_LE(history[tick][ring], -3);
            sentBack += history[tick][ring] == -240 ? 1 : 0;
        }
        EXPECT_EQ(sentBack, 1) << "ring " << ring;
    }
}

// Ring depths that keep every ring in front of the eye and inside a far plane of 1000.
void layRingsInView()
{
    for (int i = 0; i < RING_COUNT; ++i) {
        ringDepths[i] = -5 - 7 * i;
    }
}

TEST(Rings, EachRingWobblesOnItsOwnAndTheSquareFollowsTheCaller)
{
    // At tick 0 every ring centres on (1, 0); at tick 3 ring i circles at angle (i + 6) x 3.
    for (int tick : {0, 3}) {
        SCOPED_TRACE(tick);
        freshCanvas();
        initRings();
        layRingsInView();
        show.tick.store(tick);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(90.0, 1.0, 0.1, 1000.0);
        glMatrixMode(GL_MODELVIEW);
        glTranslatef(0.5f, 0.25f, -3.0f);
        const Matrix callers = currentMatrix(GL_MODELVIEW_MATRIX);
        const Matrix projection = currentMatrix(GL_PROJECTION_MATRIX);
        glColor4f(0.2f, 0.4f, 0.6f, 0.8f);

        const auto seen = captureFeedback([] { drawRings(); });

        ASSERT_EQ(seen.size(), RING_COUNT * 48u + 1u);
        Matrix identity{};
        identity[0] = identity[5] = identity[10] = identity[15] = 1.0f;
        for (int ring = 0; ring < RING_COUNT; ++ring) {
            const float cx = tick == 0 ? 1.0f : cosDeg((ring + 6) * 3);
            const float cy = tick == 0 ? 0.0f : sinDeg((ring + 6) * 3);
            const float depth = static_cast<float>(ringDepths[ring]);
            for (int segment = 0; segment < 48; ++segment) {
                const SeenPrimitive& line = seen[ring * 48 + segment];
                ASSERT_EQ(line.kind, SeenKind::Line);
                const int j = segment / 2;
                const float z = segment % 2 == 0 ? depth : depth - 1.0f;
                SCOPED_TRACE(::testing::Message() << "ring " << ring << " segment " << segment);
                expectPosition(unproject(line.vertices[0], identity, projection), cx + ringOutline[j].x,
                               cy + ringOutline[j].y, z, 2e-3 * -z);
                expectColour(line.vertices[0], 0.2f, 0.4f, 0.6f, 0.8f);
            }
        }
        const SeenPrimitive& square = seen.back();
        ASSERT_EQ(square.kind, SeenKind::Polygon);
        const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
        for (int v = 0; v < 4; ++v) {
            expectPosition(unproject(square.vertices[v], callers, projection), corners[v][0], corners[v][1], -5.0f,
                           1e-3);
            EXPECT_EQ(square.vertices[v].s, v == 1 || v == 2 ? 1.0f : 0.0f);
            EXPECT_EQ(square.vertices[v].t, v >= 2 ? 1.0f : 0.0f);
            expectColour(square.vertices[v], 0.2f, 0.4f, 0.6f, 0.8f);
        }

        // What the rings leave behind.
        expectMatrixNear(currentMatrix(GL_MODELVIEW_MATRIX), callers, 0.0f);
        GLint source = 0;
        GLint destination = 0;
        glGetIntegerv(GL_BLEND_SRC, &source);
        glGetIntegerv(GL_BLEND_DST, &destination);
        EXPECT_EQ(source, GL_SRC_ALPHA);
        EXPECT_EQ(destination, GL_ONE_MINUS_SRC_ALPHA);
        EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
        GLint bound = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        EXPECT_EQ(static_cast<GLuint>(bound), brave.texName);
        float colour[4];
        glGetFloatv(GL_CURRENT_COLOR, colour);
        EXPECT_EQ(colour[1], 0.4f);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
}

TEST(Rings, WireIsUntexturedAndTheSquareGlowsAdditively)
{
    freshCanvas();
    initRings();
    for (int32_t& depth : ringDepths) {
        depth = -500;  // beyond the far plane
    }
    ringDepths[0] = -4;
    brave.texName = makeSolidTexture(255, 255, 255, 255);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(90.0, 4.0 / 3.0, 0.1, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glClearColor(0.4f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    // A transparent texture bound by the caller would hide a textured wire.
    glBindTexture(GL_TEXTURE_2D, makeSolidTexture(0, 0, 0, 0));
    glColor4f(0.0f, 0.6f, 0.0f, 1.0f);
    drawRings();
    glFinish();
    const auto pixels = readPixels();

    // The square's centre: red from below plus green from the square.
    const uint8_t* centre = &pixels[(240u * GL_TEST_WIDTH + 320u) * 4];
    EXPECT_NEAR(centre[0], 102, 2);
    EXPECT_NEAR(centre[1], 153, 2);
    EXPECT_EQ(centre[2], 0);

    // The wire from (3, 0, -4) to (3, 0, -5) runs along the middle row, x 480 to 500.
    int brightest = 0;
    for (int row = 238; row <= 242; ++row) {
        brightest = std::max<int>(brightest, pixels[(static_cast<size_t>(row) * GL_TEST_WIDTH + 490u) * 4 + 1]);
    }
    EXPECT_GT(brightest, 60);
    brave.texName = 0;
}

}  // namespace
