#pragma once
// An OpenGL context with no window and no X server (EGL on Mesa's surfaceless
// platform), drawing into a framebuffer object that stands for the window.
#include <cstdint>

// Creates the context, makes it current and binds a width x height colour buffer;
// false when no such context can be had.
bool createOffscreenGL(int width, int height);

// Releases the context and its framebuffer.
void destroyOffscreenGL();

// Copies the colour buffer out as RGBA bytes, bottom row first (width x height x 4 bytes).
void readOffscreenPixels(uint8_t* rgba);

// Size of the colour buffer, in pixels.
int offscreenWidth();
int offscreenHeight();
