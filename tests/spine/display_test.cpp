// Frame composition: the clear, the noise band and its phases, the letterbox bars.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "assets/textures.h"
#include "scenes/display.h"
#include "support/gl_test.h"
#include "support/glut_stub.h"
#include "sync/show_state.h"

namespace {

// One vertex as OpenGL's feedback mode hands it back: window position, colour, texture coordinate.
struct FedVertex {
    float x, y, z;
    float r, g, b, a;
    float s, t;
};

// Draws one frame in feedback mode and returns the vertices of every polygon it drew.
std::vector<FedVertex> frameVertices()
{
    static GLfloat buffer[1 << 16];
    glFeedbackBuffer(sizeof buffer / sizeof buffer[0], GL_3D_COLOR_TEXTURE, buffer);
    glRenderMode(GL_FEEDBACK);
    onDisplay();
    const GLint used = glRenderMode(GL_RENDER);
    std::vector<FedVertex> vertices;
    for (GLint i = 0; i < used;) {
        const GLint token = static_cast<GLint>(buffer[i++]);
        if (token == GL_POLYGON_TOKEN) {
            const int count = static_cast<int>(buffer[i++]);
            for (int v = 0; v < count; ++v, i += 11) {
                const GLfloat* f = &buffer[i];
                vertices.push_back({f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7] / f[10], f[8] / f[10]});
            }
        } else if (token == GL_PASS_THROUGH_TOKEN) {
            i += 1;
        } else if (token == GL_POINT_TOKEN || token == GL_BITMAP_TOKEN || token == GL_DRAW_PIXEL_TOKEN ||
                   token == GL_COPY_PIXEL_TOKEN) {
            i += 11;
        } else {
            i += 22;  // line tokens
        }
    }
    return vertices;
}

// A 2 x 2 texture of one colour, standing for a loaded image.
GLuint solidTexture(unsigned char r, unsigned char g, unsigned char b, unsigned char a)
{
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    const unsigned char texels[16] = {r, g, b, a, r, g, b, a, r, g, b, a, r, g, b, a};
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
    return name;
}

class DisplayTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        applyCanvasState();
        resetGlutStub();
        // No scene is drawn for scene 8: the frame holds only what the display handler lays.
        show.scene = 8;
        show.overlayMode = 1;
        show.overlayPhase = 0;
        noise.texName = solidTexture(255, 0, 0, 255);
        noiseliscio.texName = solidTexture(0, 0, 255, 255);
    }

    // Canvas y of a window y: the 640 x 480 buffer holds the 320 x 240 canvas at twice its size.
    static float canvasY(float windowY) { return windowY / 2.0f; }
};

TEST_F(DisplayTest, BarsAreOpaqueBlackAndDrawnLast)
{
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    onDisplay();
    const std::vector<uint8_t> pixels = readPixels();
    for (const float y : {1.0f, 15.0f, 29.0f, 211.0f, 225.0f, 239.0f}) {
        for (const float x : {1.0f, 160.0f, 319.0f}) {
            const uint8_t* p = canvasPixel(pixels, x, y);
            EXPECT_EQ(p[0] + p[1] + p[2], 0) << x << "," << y;
        }
    }
    EXPECT_EQ(glutStub.swapBuffers, 1);
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(colour[0] + colour[1] + colour[2], 0.0f);
    EXPECT_EQ(colour[3], 1.0f);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
}

TEST_F(DisplayTest, BandWindowMovesUpOneTenthPerFrameAndWraps)
{
    const float bottoms[8] = {0.0f, 0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f};
    for (int phase = 0; phase < 8; ++phase) {
        show.overlayPhase = phase;
        const std::vector<FedVertex> vertices = frameVertices();
        int bandVertices = 0;
        for (const FedVertex& v : vertices) {
            if (v.r == 1.0f && v.g == 1.0f) {  // the band is drawn in white; the bars in black
                ++bandVertices;
                if (std::abs(canvasY(v.y) - 30.0f) < 0.01f) {
                    EXPECT_NEAR(v.t, bottoms[phase], 1e-6) << "phase " << phase;
                } else {
                    EXPECT_NEAR(canvasY(v.y), 210.0f, 0.01f);
                    EXPECT_NEAR(v.t, bottoms[phase] + 0.3f, 1e-6) << "phase " << phase;
                }
            }
        }
        EXPECT_GE(bandVertices, 4) << "phase " << phase;
        EXPECT_EQ(show.overlayPhase, phase == 7 ? 0 : phase + 1);
    }
}

TEST_F(DisplayTest, NoBandInOverlayModeZeroAndThePhaseStands)
{
    show.overlayMode = 0;
    show.overlayPhase = 5;
    for (const FedVertex& v : frameVertices()) {
        EXPECT_EQ(v.r + v.g + v.b, 0.0f);  // only the black bars
    }
    EXPECT_EQ(show.overlayPhase, 5);
}

TEST_F(DisplayTest, BandTextureFollowsTheOverlayMode)
{
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    show.overlayMode = 1;
    onDisplay();
    std::vector<uint8_t> pixels = readPixels();
    const uint8_t* p = canvasPixel(pixels, 160, 120);
    EXPECT_EQ(p[0], 255);
    EXPECT_EQ(p[2], 0);

    show.overlayMode = 2;
    onDisplay();
    pixels = readPixels();
    p = canvasPixel(pixels, 160, 120);
    EXPECT_EQ(p[0], 0);
    EXPECT_EQ(p[2], 255);
}

TEST_F(DisplayTest, BandIsTexturedEvenWhenTheSceneLeftTexturingOff)
{
    glDisable(GL_TEXTURE_2D);
    onDisplay();
    const std::vector<uint8_t> pixels = readPixels();
    const uint8_t* p = canvasPixel(pixels, 100, 100);
    EXPECT_EQ(p[0], 255);
    EXPECT_EQ(p[1], 0);
}

TEST_F(DisplayTest, MissingBandTextureCoversThePictureInWhite)
{
    noise.texName = 0;
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    onDisplay();
    const std::vector<uint8_t> pixels = readPixels();
    for (const float y : {31.0f, 120.0f, 209.0f}) {
        const uint8_t* p = canvasPixel(pixels, 200, y);
        EXPECT_EQ(p[0] + p[1] + p[2], 3 * 255) << y;
    }
}

TEST_F(DisplayTest, PhaseOutsideItsRangeDrawsNoBand)
{
    show.overlayPhase = 9;
    for (const FedVertex& v : frameVertices()) {
        EXPECT_EQ(v.r + v.g + v.b, 0.0f);
    }
    EXPECT_EQ(show.overlayPhase, 9);
}

}  // namespace
