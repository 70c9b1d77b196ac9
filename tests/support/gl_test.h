#pragma once
// Test programs linked with gl_test_main.cpp run with a current offscreen
// OpenGL context (Mesa through EGL, no window) of this size.
#include <cstdint>
#include <vector>

constexpr int GL_TEST_WIDTH = 640;   // pixels
constexpr int GL_TEST_HEIGHT = 480;  // pixels

// Puts the OpenGL state the loading sequence leaves: blending, texturing,
// culling, smoothing, point size 5, the 320 x 240 canvas and an identity model-view.
void applyCanvasState();

// The colour buffer as RGBA bytes, bottom row first.
std::vector<uint8_t> readPixels();

// The RGBA bytes of the pixel under canvas point (x, y), for a canvas stretched over the buffer.
const uint8_t* canvasPixel(const std::vector<uint8_t>& pixels, float x, float y);
