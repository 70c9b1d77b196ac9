#pragma once
#include <GL/gl.h>

// Canvas depths of the scenes' layers (draw order alone decides what lies on top).
constexpr int CARD_DEPTH = 0;      // canvas units: plain quads and cards
constexpr int BACKDROP_DEPTH = 2;  // canvas units: large backgrounds

// Sets the bound texture's minifying, then magnifying filter.
void useFilter(GLint filter);

// One textured canvas quad with integer corners, counter-clockwise from the lower left.
void drawCardQuad(int left, int bottom, int right, int top, int depth);

// Switches to additive blending, binds the sprite image and takes the swarm's cyan glow colour.
void beginSpriteGlow();

// Two swarm columns a canvas width apart: one about the left edge, one about the right.
void drawSwarmAtBothEdges();

// Returns to the normal (source alpha, one minus source alpha) blending.
void useNormalBlending();

// Enters a 3D section: the perspective projection, texturing off, points sized by the pulse.
void begin3D();

// Leaves a 3D section: texturing on, the canvas projection back.
void end3D();
