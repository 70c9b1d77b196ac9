#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdio>

#include "platform/offscreen_gl.h"
#include "support/gl_test.h"

std::vector<uint8_t> readPixels()
{
    std::vector<uint8_t> pixels(static_cast<size_t>(offscreenWidth()) * offscreenHeight() * 4);
    readOffscreenPixels(pixels.data());
    return pixels;
}

const uint8_t* canvasPixel(const std::vector<uint8_t>& pixels, float x, float y)
{
    const int px = static_cast<int>(x * offscreenWidth() / 320.0f);
    const int py = static_cast<int>(y * offscreenHeight() / 240.0f);
    return &pixels[(static_cast<size_t>(py) * offscreenWidth() + px) * 4];
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // The GL driver runs threads of its own: death tests start a fresh process instead of forking.
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    if (!createOffscreenGL(GL_TEST_WIDTH, GL_TEST_HEIGHT)) {
        std::fprintf(stderr, "no offscreen OpenGL context (Mesa EGL surfaceless)\n");
        return 1;
    }
    applyCanvasState();
    // The context lives until the process ends, as the show's own does.
    return RUN_ALL_TESTS();
}
