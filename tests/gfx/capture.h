#pragma once
// What the OpenGL pipeline receives from a drawing call, seen through feedback
// mode, and small aids the drawing tests share.
#include <GL/gl.h>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

// The feedback window: feedback coordinates of the canvas are canvas units.
constexpr int FEEDBACK_WIDTH = 320;   // pixels
constexpr int FEEDBACK_HEIGHT = 240;  // pixels

// One vertex as feedback reports it: window position, colour, texture coordinate.
struct SeenVertex {
    float x, y, z, w;
    float r, g, b, a;
    float s, t, p, q;
};

// What one feedback token describes (a line segment whether or not it restarts a stipple).
enum class SeenKind { Polygon, Line, Point, Marker };

// One primitive that survived culling and clipping, in drawing order.
struct SeenPrimitive {
    SeenKind kind;
    std::vector<SeenVertex> vertices;
    float marker;  // the glPassThrough value, for markers
};

// Runs `draw` in feedback mode over a 320 x 240 viewport and returns what reached
// the rasteriser; a quad that was not clipped comes back as one 4-vertex polygon.
std::vector<SeenPrimitive> captureFeedback(const std::function<void()>& draw);

// The primitives of one kind, in order.
std::vector<SeenPrimitive> primitivesOf(const std::vector<SeenPrimitive>& seen, SeenKind kind);

// The window position of each point primitive, in order.
std::vector<SeenVertex> pointsOf(const std::vector<SeenPrimitive>& seen);

// Canvas z of a feedback depth under the canvas projection (z -4 .. 4).
float canvasDepth(float windowZ);

// A 4 x 4 matrix as OpenGL stores it (column after column).
using Matrix = std::array<float, 16>;

// The current matrix of the given stack (GL_MODELVIEW_MATRIX or GL_PROJECTION_MATRIX).
Matrix currentMatrix(GLenum which);

// Scene-space position of a feedback vertex under the given model-view and projection.
std::array<double, 3> unproject(const SeenVertex& vertex, const Matrix& modelView, const Matrix& projection);

// Numbers k3l::rand handed out while the state went from `before` to `after`; -1 if unreachable.
int drawsBetween(uint32_t before, uint32_t after);

// The next number of the show's sequence computed on a copy of its state, as k3l::rand would give it.
int replayRand(uint32_t& state);

// A 1 x 1 texture of one colour; returns its name.
GLuint makeSolidTexture(uint8_t r, uint8_t g, uint8_t b, uint8_t a);

// Points all seventeen texture slots at one texture name (0 empties them).
void setAllTextureSlots(GLuint texName);

// Puts the show state back to rest: scene 0, tick 0, pulse 0, every flag off.
void resetShowState();
