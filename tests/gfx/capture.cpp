#include "capture.h"

#include <GL/glu.h>

#include "shared/random.h"
#include "assets/textures.h"
#include "support/gl_test.h"
#include "sync/show_state.h"

namespace {

constexpr size_t FEEDBACK_CAPACITY = 4u << 20;  // floats
constexpr int FLOATS_PER_VERTEX = 12;           // GL_4D_COLOR_TEXTURE

// The feedback buffer: filled by OpenGL inside captureFeedback, read there alone.
std::vector<GLfloat> feedbackBuffer(FEEDBACK_CAPACITY);

// One GL_4D_COLOR_TEXTURE vertex of the feedback buffer.
SeenVertex readVertex(const GLfloat* at)
{
    return SeenVertex{at[0], at[1], at[2], at[3], at[4], at[5], at[6], at[7], at[8], at[9], at[10], at[11]};
}

// Whether two feedback vertices share position and texture coordinate.
bool sameVertex(const SeenVertex& a, const SeenVertex& b)
{
    return a.x == b.x && a.y == b.y && a.z == b.z && a.s == b.s && a.t == b.t;
}

// Mesa hands an unclipped quad (v0, v1, v2, v3) to feedback as the triangles
// (v0, v1, v3) and (v1, v2, v3): such pairs become the quad again.
std::vector<SeenPrimitive> mergeQuads(const std::vector<SeenPrimitive>& seen)
{
    std::vector<SeenPrimitive> merged;
    for (size_t i = 0; i < seen.size(); ++i) {
        const SeenPrimitive& first = seen[i];
        if (i + 1 < seen.size() && first.kind == SeenKind::Polygon && seen[i + 1].kind == SeenKind::Polygon &&
            first.vertices.size() == 3 && seen[i + 1].vertices.size() == 3) {
            const auto& a = first.vertices;
            const auto& b = seen[i + 1].vertices;
            if (sameVertex(a[1], b[0]) && sameVertex(a[2], b[2])) {
                merged.push_back(SeenPrimitive{SeenKind::Polygon, {a[0], a[1], b[1], a[2]}, 0.0f});
                ++i;
                continue;
            }
        }
        merged.push_back(first);
    }
    return merged;
}

}  // namespace

std::vector<SeenPrimitive> captureFeedback(const std::function<void()>& draw)
{
    glViewport(0, 0, FEEDBACK_WIDTH, FEEDBACK_HEIGHT);
    glFeedbackBuffer(static_cast<GLsizei>(feedbackBuffer.size()), GL_4D_COLOR_TEXTURE, feedbackBuffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint count = glRenderMode(GL_RENDER);
    glViewport(0, 0, GL_TEST_WIDTH, GL_TEST_HEIGHT);

    std::vector<SeenPrimitive> seen;
    if (count < 0) {
        seen.push_back(SeenPrimitive{SeenKind::Marker, {}, -1.0f});  // overflow
        return seen;
    }
    const GLfloat* at = feedbackBuffer.data();
    const GLfloat* end = at + count;
    while (at < end) {
        const GLint token = static_cast<GLint>(*at++);
        SeenPrimitive primitive{SeenKind::Marker, {}, 0.0f};
        int vertices = 0;
        switch (token) {
        case GL_POLYGON_TOKEN:
            primitive.kind = SeenKind::Polygon;
            vertices = static_cast<int>(*at++);
            break;
        case GL_LINE_TOKEN:
        case GL_LINE_RESET_TOKEN:
            primitive.kind = SeenKind::Line;
            vertices = 2;
            break;
        case GL_POINT_TOKEN: primitive.kind = SeenKind::Point; vertices = 1; break;
        case GL_BITMAP_TOKEN:
        case GL_DRAW_PIXEL_TOKEN:
        case GL_COPY_PIXEL_TOKEN:
            primitive.kind = SeenKind::Marker; vertices = 1; break;
        case GL_PASS_THROUGH_TOKEN:
            primitive.marker = *at++;
            break;
        default:
            seen.push_back(SeenPrimitive{SeenKind::Marker, {}, -2.0f});  // unknown token
            return seen;
        }
        for (int v = 0; v < vertices; ++v) {
            primitive.vertices.push_back(readVertex(at));
            at += FLOATS_PER_VERTEX;
        }
        seen.push_back(primitive);
    }
    return mergeQuads(seen);
}

std::vector<SeenPrimitive> primitivesOf(const std::vector<SeenPrimitive>& seen, SeenKind kind)
{
    std::vector<SeenPrimitive> chosen;
    for (const SeenPrimitive& primitive : seen) {
        if (primitive.kind == kind) {
            chosen.push_back(primitive);
        }
    }
    return chosen;
}

std::vector<SeenVertex> pointsOf(const std::vector<SeenPrimitive>& seen)
{
    std::vector<SeenVertex> points;
    for (const SeenPrimitive& primitive : seen) {
        if (primitive.kind == SeenKind::Point) {
            points.push_back(primitive.vertices[0]);
        }
    }
    return points;
}

float canvasDepth(float windowZ)
{
    return (1.0f - 2.0f * windowZ) * 4.0f;
}

Matrix currentMatrix(GLenum which)
{
    Matrix matrix{};
    glGetFloatv(which, matrix.data());
    return matrix;
}

std::array<double, 3> unproject(const SeenVertex& vertex, const Matrix& modelView, const Matrix& projection)
{
    double model[16];
    double project[16];
    for (int i = 0; i < 16; ++i) {
        model[i] = modelView[i];
        project[i] = projection[i];
    }
    const GLint viewport[4] = {0, 0, FEEDBACK_WIDTH, FEEDBACK_HEIGHT};
    std::array<double, 3> position{};
    gluUnProject(vertex.x, vertex.y, vertex.z, model, project, viewport, &position[0], &position[1], &position[2]);
    return position;
}

int drawsBetween(uint32_t before, uint32_t after)
{
    constexpr int LIMIT = 1000000;
    uint32_t state = before;
    for (int draws = 0; draws <= LIMIT; ++draws) {
        if (state == after) {
            return draws;
        }
        replayRand(state);
    }
    return -1;
}

int replayRand(uint32_t& state)
{
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7FFFu);
}

GLuint makeSolidTexture(uint8_t r, uint8_t g, uint8_t b, uint8_t a)
{
    const uint8_t texel[4] = {r, g, b, a};
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
    return name;
}

void setAllTextureSlots(GLuint texName)
{
    for (TextureImage* slot : {&afraid512, &afraid64, &noise, &credits, &noiseliscio, &confidence512, &confidence,
                               &schizzi, &sprite, &scoramento, &gatto, &wisdom, &wisdom64, &vs, &uncertainty64,
                               &brave, &creditifinali}) {
        slot->texName = texName;
    }
}

void resetShowState()
{
    show.scene.store(0);
    show.tick.store(0);
    show.pulse.store(0.0f);
    show.beatFlash.store(0);
    show.showVersus.store(0);
    show.wisdomAlt.store(0);
    show.spinX.store(0);
    show.spinY.store(0);
    show.spinZ.store(0);
    show.fadeActive.store(0);
    show.quitRequested.store(0);
    show.tickRandom = 0;
    show.fadeLevel = 0;
    show.overlayMode = 0;
    show.overlayPhase = 0;
}
