#pragma once
// Test programs built with the GL main run with a current offscreen OpenGL
// context (Mesa through EGL, no window) of this size.
#include <cstdint>
#include <vector>

constexpr int GL_TEST_WIDTH = 640;   // pixels
constexpr int GL_TEST_HEIGHT = 480;  // pixels

// The colour buffer as RGBA bytes, bottom row first.
std::vector<uint8_t> readPixels();
