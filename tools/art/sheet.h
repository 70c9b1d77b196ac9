#pragma once
// Pictures for people to look at while working on the images: a contact sheet of
// all seventeen and mock-ups of the scenes that draw them, written as PNG files.
#include <string>
#include <vector>

#include "art/artwork.h"

namespace art {

// A texture sample at (u, v) the way OpenGL takes it with GL_REPEAT: nearest or linear.
Rgba sampleTexture(const Picture& texture, float u, float v, bool nearest);

// Draws a textured quad onto an opaque picture as the show's OpenGL state would: modulated
// by the tint, blended over or added, turned by degrees about its centre. The quad spans
// x0..x1, y0..y1 in the picture's pixels and the texture window u0..u1, v0..v1.
struct Quad {
    float x0, y0, x1, y1;
    float u0 = 0.0f, v0 = 0.0f, u1 = 1.0f, v1 = 1.0f;
    float degrees = 0.0f;
};
void drawQuad(Picture& target, const Picture& texture, Quad quad, Rgba tint, bool nearest, bool additive);

// The contact sheet: each image over a checkerboard, beside how the show lays it, named.
Picture contactSheet(const std::vector<Artwork>& artworks, const Fonts& fonts);

// Mock-ups of the scenes at 640 x 480 each, built from the images alone.
Picture sceneMockups(const std::vector<Artwork>& artworks, const Fonts& fonts);

// Writes an opaque picture as an 8-bit RGB PNG; false when it cannot be written.
bool savePNG(const Picture& picture, const std::string& path);

}  // namespace art
