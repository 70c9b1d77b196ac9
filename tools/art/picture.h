#pragma once
// The generator's working images: straight-alpha float colour pictures and
// coverage masks, both with row 0 at the bottom (texture row t = 0) and y up.
#include <functional>
#include <vector>

#include "imagekit/tga_writer.h"

namespace art {

// A colour with straight (not premultiplied) alpha, each channel 0..1.
struct Rgba {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
    float a = 0.0f;
};

// A picture of width x height colours.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<Rgba> px;  // width x height, bottom row first
};

// How much of each pixel a shape or a text covers, 0..1.
struct Mask {
    int width = 0;
    int height = 0;
    std::vector<float> cover;  // width x height, bottom row first
};

// A point test in pixel units: pixel (x, y) spans x..x+1, y..y+1.
using Shape = std::function<bool(float x, float y)>;

// A colour from 0..255 channels.
Rgba rgb(int r, int g, int b, int a = 255);

// The same colour with another alpha (0..1).
Rgba withAlpha(Rgba c, float a);

// Linear mix of two colours: t = 0 gives a, t = 1 gives b.
Rgba mix(Rgba a, Rgba b, float t);

// A picture filled with one colour.
Picture makePicture(int width, int height, Rgba fill = Rgba{});

// An empty mask.
Mask makeMask(int width, int height);

// The colour at (x, y); coordinates outside are clamped to the edge.
Rgba& at(Picture& picture, int x, int y);
Rgba at(const Picture& picture, int x, int y);

// The coverage at (x, y), 0 outside the mask.
float coverAt(const Mask& mask, int x, int y);

// Lays a colour over pixel (x, y) with the given coverage (source over); outside is ignored.
void paint(Picture& picture, int x, int y, Rgba colour, float coverage = 1.0f);

// Lays a colour over every pixel in proportion to the mask, shifted by (dx, dy) pixels.
void paintMask(Picture& picture, const Mask& mask, Rgba colour, int dx = 0, int dy = 0);

// The middle of the inked columns of a mask (half the width when it is empty).
float inkCentreX(const Mask& mask);

// Coverage of a shape, sampled samples x samples times per pixel (1: hard pixel-art edges).
Mask shapeMask(int width, int height, const Shape& inside, int samples);

// Paints a shape in one colour (shapeMask + paintMask).
void paintShape(Picture& picture, const Shape& inside, Rgba colour, int samples);

// The mask grown outward by a radius in pixels (a round dilation: an outline's outer edge).
Mask grow(const Mask& mask, float radius);

// Coverage of a that b does not cover (a ring when a is b grown).
Mask subtract(const Mask& a, const Mask& b);

// Coverage of either mask.
Mask unite(const Mask& a, const Mask& b);

// The mask softened by a box blur of the given radius in pixels, repeated passes times.
Mask blur(const Mask& mask, int radius, int passes);

// Each pixel repeated sx times across and sy times up: a pixel-art picture at texture size.
Picture enlarge(const Picture& picture, int sx, int sy);

// Gives fully transparent pixels the colour of their visible neighbours, spreading
// that many pixels out, so that linear filtering fades an edge without a dark fringe.
void bleed(Picture& picture, int passes);

// Rounded 8-bit RGBA for the TGA writer.
imagekit::Image toImage(const Picture& picture);

// The 4 x 4 ordered-dither threshold at (x, y), 0..1: a pixel shows the second of two colours when t > it.
float bayer(int x, int y);

// Two colours mixed by ordered dither: pixel (x, y) takes a or b in the proportion t of b.
Rgba dither(Rgba a, Rgba b, float t, int x, int y);

// A stable pseudo-random number 0..1 for integer coordinates and a seed (no global state).
float hash01(int x, int y, int seed);

}  // namespace art
