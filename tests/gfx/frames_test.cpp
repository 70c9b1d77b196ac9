// Whole frames of every scene, drawn by onDisplay after the real loading sequence with the images
// the build makes (build/data), checked two ways against tests/gfx/reference/:
//   - what reaches OpenGL, exactly: every primitive with its vertices, colours and texture
//     coordinates (through feedback mode), the random numbers the frame took, and the state it
//     left behind (show state, clear colour, blending, matrices, bound texture, filters), as a
//     fingerprint in frames.txt;
//   - the picture, within a small tolerance, in <shot>.png.
// A mismatch leaves <shot>-feedback.txt, <shot>-actual.png and <shot>-difference.png in the
// working directory. After a scene or the art changes on purpose, look at the new pictures and
// write the references anew: cmake --build build --target update-reference-pictures
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "app/demo.h"
#include "assets/textures.h"
#include "gfx/rings.h"
#include "offline/carried.h"
#include "scenes/display.h"
#include "shared/fnv.h"
#include "shared/random.h"
#include "support/gl_test.h"
#include "support/png_file.h"
#include "sync/show_state.h"

namespace {

constexpr int CHANNEL_TOLERANCE = 12;      // levels of 255 a channel may differ by
constexpr double PIXEL_TOLERANCE = 0.001;  // share of pixels allowed beyond CHANNEL_TOLERANCE
constexpr uint32_t LOADING_SEED = 1u;      // random state before the loading sequence, as the show has it
constexpr uint32_t FRAME_SEED = 777u;      // random state before the checked frame
constexpr size_t FEEDBACK_FLOATS = 4u << 20;  // room for the busiest frame's feedback
const std::string REFERENCE_DIR = K3L_REFERENCE_DIR;

// One show state to check, and the rings' advances before it.
struct Shot {
    const char* name;
    ShowValues values;  // scene, tick, pulse, beatFlash, showVersus, wisdomAlt, spinX, spinY, spinZ, fadeActive,
                        // quitRequested, tickRandom, fadeLevel, overlayMode, overlayPhase (restartFrame sets its own)
    int ringAdvances;
};

const Shot SHOTS[] = {
    {"scene0-rest", {0, 0, 0.0f, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0},
    {"scene0-beat", {0, 5, 2.5f, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0},
    {"scene1-rest", {1, 10, 0.0f, 0, 0, 0, 0, 0, 0, 0, 0, 1000, 0, 0, 0}, 0},
    {"scene1-beat", {1, 37, 1.0f, 1, 0, 0, 0, 0, 0, 0, 0, 54321, 0, 0, 0}, 0},
    {"scene2-rest", {2, 0, 0.0f, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0},
    {"scene2-beat", {2, 20, 1.5f, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0},
    {"scene3-rest", {3, 0, 0.0f, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0},
    {"scene3-beat", {3, 45, 1.0f, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0},
    {"scene4-versus", {4, 0, 0.0f, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0},
    {"scene4-wisdom", {4, 30, 0.75f, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0},
    {"scene5-start", {5, 0, 0.0f, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0},
    {"scene5-tunnel", {5, 30, 0.5f, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 30},
    {"scene6-rest", {6, 12, 0.0f, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0},
    {"scene6-spin-fade", {6, 40, 1.0f, 0, 0, 0, 1, 0, 1, 1, 0, 0, 120, 0, 0}, 0},
    {"scene6-handover", {6, 25, 0.25f, 0, 0, 0, 0, 1, 0, 1, 0, 0, 250, 0, 0}, 0},
    {"scene7-fading", {7, 0, 0.0f, 0, 0, 0, 0, 0, 0, 1, 0, 0, 100, 0, 0}, 0},
    {"scene7-full", {7, 0, 0.0f, 0, 0, 0, 0, 0, 0, 0, 0, 0, 250, 0, 0}, 0},
};

// Loads the show as it starts (images from data/), then moves its rings on as the shot has them.
void enterShot(const Shot& shot)
{
    for (int i = 24; i < RING_COUNT; ++i) {
        ringDepths[i] = 0;  // the rings loading leaves alone, as a freshly started show has them
    }
    k3l::randState = LOADING_SEED;
    ::testing::internal::CaptureStdout();
    loadDemo();
    ::testing::internal::GetCapturedStdout();
    for (int advance = 0; advance < shot.ringAdvances; ++advance) {
        advanceRings();
    }
}

// Sets the show state to the shot's (what a frame may change back too), before the checked frame.
void restartFrame(const Shot& shot, int index)
{
    putShowValues(show, shot.values);
    show.overlayPhase = index % 8;  // every phase of the noise band in some shot
    k3l::randState = FRAME_SEED;
}

// Appends a formatted line to the text.
template <typename... Values>
void line(std::string& text, const char* format, Values... values)
{
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, format, values...);
    text += buffer;
}

long scaled(float value, float scale)
{
    return std::lround(value * scale);
}

// The slot (1 to 17) whose texture a name is, 0 for none.
int slotOf(GLint name)
{
    for (int i = 0; i < IMAGE_COUNT; ++i) {
        if (name != 0 && IMAGE_SLOTS[i].slot->texName == static_cast<GLuint>(name)) {
            return i + 1;
        }
    }
    return 0;
}

// The frame as OpenGL receives it, and the state it leaves, as text.
std::string drawFingerprint(std::vector<GLfloat>& buffer)
{
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_4D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    const uint32_t seed = k3l::randState;
    onDisplay();
    const GLint used = glRenderMode(GL_RENDER);
    std::string text;
    line(text, "feedback %d\n", used);
    for (GLint i = 0; i < used;) {
        const GLint token = static_cast<GLint>(buffer[i++]);
        int vertices = token == GL_POLYGON_TOKEN ? static_cast<int>(buffer[i++])
                       : token == GL_POINT_TOKEN ? 1
                       : token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN ? 2
                                                                                 : 0;
        line(text, "%d", token);
        for (int v = 0; v < vertices; ++v, i += 12) {
            const GLfloat* f = &buffer[i];
            line(text, " %ld,%ld,%ld %ld,%ld,%ld,%ld %ld,%ld", scaled(f[0], 100), scaled(f[1], 100),
                 scaled(f[2], 10000), scaled(f[4], 1000), scaled(f[5], 1000), scaled(f[6], 1000), scaled(f[7], 1000),
                 scaled(f[8], 1000), scaled(f[9], 1000));
        }
        text += '\n';
    }
    const uint32_t end = k3l::randState;
    int draws = 0;
    for (k3l::randState = seed; k3l::randState != end && draws < 100000; ++draws) {
        k3l::rand();
    }
    line(text, "draws %d\nshow %d %d %d %d %d\n", draws, show.scene.load(), show.fadeLevel, show.fadeActive.load(),
         show.overlayMode, show.overlayPhase);
    GLfloat values[16];
    for (const GLenum state : {GL_COLOR_CLEAR_VALUE, GL_CURRENT_COLOR, GL_MODELVIEW_MATRIX, GL_PROJECTION_MATRIX}) {
        glGetFloatv(state, values);
        line(text, "%#x", state);
        for (int k = 0; k < (state == GL_MODELVIEW_MATRIX || state == GL_PROJECTION_MATRIX ? 16 : 4); ++k) {
            line(text, " %ld", scaled(values[k], 1000));
        }
        text += '\n';
    }
    for (const GLenum state : {GL_BLEND_SRC, GL_BLEND_DST, GL_MATRIX_MODE, GL_MODELVIEW_STACK_DEPTH,
                               GL_PROJECTION_STACK_DEPTH, GL_TEXTURE_BINDING_2D, GL_POINT_SIZE}) {
        GLint value = 0;
        glGetIntegerv(state, &value);
        line(text, "%#x %d\n", state, state == GL_TEXTURE_BINDING_2D ? slotOf(value) : value);
    }
    for (const GLenum capability : {GL_BLEND, GL_TEXTURE_2D, GL_CULL_FACE, GL_DEPTH_TEST}) {
        line(text, "%#x %d\n", capability, glIsEnabled(capability));
    }
    for (int i = 0; i < IMAGE_COUNT; ++i) {
        GLint minifying = 0;
        GLint magnifying = 0;
        glBindTexture(GL_TEXTURE_2D, IMAGE_SLOTS[i].slot->texName);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minifying);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magnifying);
        line(text, "slot %d %#x %#x\n", i + 1, minifying, magnifying);
    }
    return text;
}

// The frame drawn, as a picture.
RgbPicture drawPicture()
{
    onDisplay();
    glFinish();
    const std::vector<uint8_t> rgba = readPixels();
    RgbPicture picture{GL_TEST_WIDTH, GL_TEST_HEIGHT, {}};
    for (int row = GL_TEST_HEIGHT - 1; row >= 0; --row) {  // OpenGL's rows run bottom up
        for (int x = 0; x < GL_TEST_WIDTH; ++x) {
            const uint8_t* p = &rgba[(static_cast<size_t>(row) * GL_TEST_WIDTH + x) * 4];
            picture.rgb.insert(picture.rgb.end(), p, p + 3);
        }
    }
    return picture;
}

// The fingerprints in frames.txt: "name hash", one shot a line.
std::map<std::string, std::string> referenceFingerprints()
{
    std::map<std::string, std::string> fingerprints;
    std::ifstream file(REFERENCE_DIR + "/frames.txt");
    std::string name;
    std::string hash;
    while (file >> name >> hash) {
        fingerprints[name] = hash;
    }
    return fingerprints;
}

bool updating()
{
    const char* flag = std::getenv("K3L_UPDATE_REFERENCE");
    return flag != nullptr && std::string(flag) == "1";
}

class Frames : public ::testing::TestWithParam<int> {};

TEST_P(Frames, MatchTheReference)
{
    const Shot& shot = SHOTS[GetParam()];
    enterShot(shot);
    for (const ImageSlot& image : IMAGE_SLOTS) {
        const TextureImage* slot = image.slot;
        ASSERT_NE(slot->texName, 0u) << "the show's images were not found in data/: run from the build directory";
    }
    restartFrame(shot, GetParam());
    onDisplay();  // a frame of the scene before: it sets the clear colour the checked frame starts with
    restartFrame(shot, GetParam());
    static std::vector<GLfloat> buffer(FEEDBACK_FLOATS);
    const std::string fingerprint = drawFingerprint(buffer);
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(k3l::fnv1a64(fingerprint.data(), fingerprint.size())));
    restartFrame(shot, GetParam());
    const RgbPicture actual = drawPicture();
    const std::string picturePath = REFERENCE_DIR + "/" + shot.name + ".png";

    if (updating()) {
        std::map<std::string, std::string> fingerprints = referenceFingerprints();
        fingerprints[shot.name] = hash;
        std::ofstream file(REFERENCE_DIR + "/frames.txt");
        for (const auto& [name, value] : fingerprints) {
            file << name << ' ' << value << '\n';
        }
        ASSERT_TRUE(writePng(picturePath, actual)) << picturePath;
        return;
    }

    if (referenceFingerprints()[shot.name] != hash) {
        std::ofstream(std::string(shot.name) + "-feedback.txt") << fingerprint;
        ADD_FAILURE() << shot.name << ": what reached OpenGL differs from the reference; it is in "
                      << shot.name << "-feedback.txt in the working directory";
    }
    RgbPicture expected;
    ASSERT_TRUE(readPng(picturePath, expected)) << picturePath << " is missing";
    ASSERT_EQ(expected.rgb.size(), actual.rgb.size());
    size_t differing = 0;
    RgbPicture difference = actual;
    for (size_t i = 0; i < actual.rgb.size(); i += 3) {
        int worst = 0;
        for (int c = 0; c < 3; ++c) {
            worst = std::max(worst, std::abs(actual.rgb[i + c] - expected.rgb[i + c]));
        }
        differing += worst > CHANNEL_TOLERANCE ? 1 : 0;
        for (int c = 0; c < 3; ++c) {
            difference.rgb[i + c] = worst > CHANNEL_TOLERANCE ? (c == 0 ? 255 : 0) : actual.rgb[i + c] / 4;
        }
    }
    if (differing > PIXEL_TOLERANCE * actual.width * actual.height) {
        writePng(std::string(shot.name) + "-actual.png", actual);
        writePng(std::string(shot.name) + "-difference.png", difference);
        ADD_FAILURE() << shot.name << ": " << differing << " pixels differ by more than " << CHANNEL_TOLERANCE
                      << "; the frame drawn and a map of the differences are in the working directory";
    }
}

// Scene 6 hands the show to scene 7 at the frame that finds the fade at its last step (250, steps
// of 5 from 0: the scene6-handover shot's fingerprint holds the show state it leaves), not a step
// before: at 245 it stays under its veil.
TEST(Scene6, StaysUnderItsVeilAStepBeforeTheFadesLastStep)
{
    const Shot& shot = *std::find_if(std::begin(SHOTS), std::end(SHOTS),
                                     [](const Shot& s) { return std::string(s.name) == "scene6-handover"; });
    enterShot(shot);
    restartFrame(shot, 0);
    show.fadeLevel = 245;
    onDisplay();
    EXPECT_EQ(show.scene.load(), 6);
    EXPECT_EQ(show.fadeLevel, 245);
    EXPECT_EQ(show.fadeActive.load(), 1);
}

INSTANTIATE_TEST_SUITE_P(EveryScene, Frames, ::testing::Range(0, static_cast<int>(std::size(SHOTS))),
                         [](const ::testing::TestParamInfo<int>& info) {
                             std::string name = SHOTS[info.param].name;
                             for (char& c : name) {
                                 c = c == '-' ? '_' : c;
                             }
                             return name;
                         });

}  // namespace
