// Whole frames of every scene, drawn through onDisplay with the images the build
// makes in build/data, compared with the reference pictures in tests/gfx/reference/.
//
// After the art or a scene changes on purpose, make the pictures anew and look at them:
//     cmake --build build --target update-reference-pictures
// (the same as running this program from build/ with K3L_UPDATE_REFERENCE=1).
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "shared/random.h"
#include "assets/textures.h"
#include "capture.h"
#include "gfx/particles.h"
#include "gfx/projection.h"
#include "gfx/rings.h"
#include "png_file.h"
#include "scenes/display.h"
#include "support/gl_test.h"
#include "sync/show_state.h"

namespace {

constexpr int CHANNEL_TOLERANCE = 12;        // levels of 255 a channel may differ by
constexpr double PIXEL_TOLERANCE = 0.001;    // share of pixels allowed beyond CHANNEL_TOLERANCE
constexpr uint32_t LOADING_SEED = 1u;        // random state before the loading sequence's walk
constexpr uint32_t FRAME_SEED = 777u;        // random state before the pictured frame
constexpr int32_t BAND_PHASE = 3;            // noise band phase of the pictured frame

// One show state to picture.
struct Shot {
    const char* name;
    int scene;
    int tick;
    float pulse;
    uint8_t beatFlash, showVersus, wisdomAlt, spinX, spinY, spinZ;
    uint8_t fadeLevel;
    int ringAdvances;
    int tickRandom;
};

const Shot SHOTS[] = {
    {"scene0-rest", 0, 0, 0.0f, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {"scene0-beat", 0, 5, 2.5f, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {"scene1-rest", 1, 10, 0.0f, 0, 0, 0, 0, 0, 0, 0, 0, 1000},
    {"scene1-beat", 1, 37, 1.0f, 1, 0, 0, 0, 0, 0, 0, 0, 54321},
    {"scene2-rest", 2, 0, 0.0f, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {"scene2-beat", 2, 20, 1.5f, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {"scene3-rest", 3, 0, 0.0f, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {"scene3-beat", 3, 45, 1.0f, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {"scene4-rest", 4, 0, 0.0f, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {"scene4-wisdom-versus", 4, 30, 0.75f, 0, 1, 1, 0, 0, 0, 0, 0, 0},
    {"scene5-start", 5, 0, 0.0f, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {"scene5-tunnel", 5, 30, 0.5f, 0, 0, 0, 0, 0, 0, 0, 30, 0},
    {"scene6-rest", 6, 12, 0.0f, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {"scene6-spin-fade", 6, 40, 1.0f, 0, 0, 0, 1, 1, 1, 120, 0, 0},
    {"scene7-fading", 7, 0, 0.0f, 0, 0, 0, 0, 0, 0, 100, 0, 0},
    {"scene7-full", 7, 0, 0.0f, 0, 0, 0, 0, 0, 0, 250, 0, 0},
};

// Loads the seventeen images from data/ once; false if any is missing.
bool loadShowImages()
{
    static bool loaded = false;
    if (!loaded) {
        loadTextures();
        loaded = true;
    }
    for (const TextureImage* slot : {&afraid512, &afraid64, &noise, &credits, &noiseliscio, &confidence512,
                                     &confidence, &schizzi, &sprite, &scoramento, &gatto, &wisdom, &wisdom64, &vs,
                                     &uncertainty64, &brave, &creditifinali}) {
        if (slot->texName == 0) {
            return false;
        }
    }
    return true;
}

// Puts the show into the shot's state, as if loaded and then played up to it.
void enterShot(const Shot& shot)
{
    applyCanvasState();
    resetShowState();
    k3l::randState = LOADING_SEED;
    buildDegreeTables();
    initParticles();
    for (int step = 0; step < 200; ++step) {
        stepParticles();
    }
    initRings();
    for (int i = 24; i < RING_COUNT; ++i) {
        ringDepths[i] = 0;
    }
    for (int advance = 0; advance < shot.ringAdvances; ++advance) {
        advanceRings();
    }
    show.scene.store(shot.scene);
    show.tick.store(shot.tick);
    show.pulse.store(shot.pulse);
    show.beatFlash.store(shot.beatFlash);
    show.showVersus.store(shot.showVersus);
    show.wisdomAlt.store(shot.wisdomAlt);
    show.spinX.store(shot.spinX);
    show.spinY.store(shot.spinY);
    show.spinZ.store(shot.spinZ);
    show.fadeLevel = shot.fadeLevel;
    show.tickRandom = shot.tickRandom;
}

// Draws the shot's frame after one frame of the same scene (which sets its clear colour).
RgbPicture drawShot(const Shot& shot)
{
    enterShot(shot);
    onDisplay();
    show.scene.store(shot.scene);
    show.fadeLevel = shot.fadeLevel;
    show.overlayPhase = BAND_PHASE;
    k3l::randState = FRAME_SEED;
    onDisplay();
    glFinish();
    const std::vector<uint8_t> rgba = readPixels();

    RgbPicture picture;
    picture.width = GL_TEST_WIDTH;
    picture.height = GL_TEST_HEIGHT;
    picture.rgb.resize(static_cast<size_t>(GL_TEST_WIDTH) * GL_TEST_HEIGHT * 3);
    for (int row = 0; row < GL_TEST_HEIGHT; ++row) {
        const int sourceRow = GL_TEST_HEIGHT - 1 - row;  // OpenGL's rows run bottom up
        for (int x = 0; x < GL_TEST_WIDTH; ++x) {
            for (int c = 0; c < 3; ++c) {
                picture.rgb[(static_cast<size_t>(row) * GL_TEST_WIDTH + x) * 3 + c] =
                    rgba[(static_cast<size_t>(sourceRow) * GL_TEST_WIDTH + x) * 4 + c];
            }
        }
    }
    return picture;
}

// Whether this run writes the reference pictures instead of checking them.
bool updating()
{
    const char* flag = std::getenv("K3L_UPDATE_REFERENCE");
    return flag && std::string(flag) == "1";
}

class ScenePictures : public ::testing::TestWithParam<Shot> {};

TEST_P(ScenePictures, MatchTheReference)
{
    ASSERT_TRUE(loadShowImages()) << "the show's images were not found in data/: run from the build directory";
    const Shot& shot = GetParam();
    const RgbPicture actual = drawShot(shot);
    const std::string reference = std::string(K3L_REFERENCE_DIR) + "/" + shot.name + ".png";
    if (updating()) {
        ASSERT_TRUE(writePng(reference, actual)) << reference;
        std::printf("wrote %s\n", reference.c_str());
        return;
    }

    RgbPicture expected;
    ASSERT_TRUE(readPng(reference, expected))
        << reference << " is missing: cmake --build build --target update-reference-pictures";
    ASSERT_EQ(expected.width, actual.width);
    ASSERT_EQ(expected.height, actual.height);
    size_t differing = 0;
    int largest = 0;
    RgbPicture difference = actual;
    for (size_t i = 0; i < actual.rgb.size(); i += 3) {
        int worst = 0;
        for (int c = 0; c < 3; ++c) {
            worst = std::max(worst, std::abs(actual.rgb[i + c] - expected.rgb[i + c]));
        }
        largest = std::max(largest, worst);
        differing += worst > CHANNEL_TOLERANCE ? 1 : 0;
        for (int c = 0; c < 3; ++c) {
            difference.rgb[i + c] = worst > CHANNEL_TOLERANCE ? (c == 0 ? 255 : 0) : actual.rgb[i + c] / 4;
        }
    }
    const size_t allowed = static_cast<size_t>(PIXEL_TOLERANCE * actual.width * actual.height);
    if (differing > allowed) {
        writePng(std::string(shot.name) + "-actual.png", actual);
        writePng(std::string(shot.name) + "-difference.png", difference);
    }
    EXPECT_LE(differing, allowed) << shot.name << ": " << differing << " pixels differ by more than "
                                  << CHANNEL_TOLERANCE << " (largest " << largest << "); the frame drawn and a map"
                                  << " of the differences are in the working directory";
}

INSTANTIATE_TEST_SUITE_P(EveryScene, ScenePictures, ::testing::ValuesIn(SHOTS),
                         [](const ::testing::TestParamInfo<Shot>& info) {
                             std::string name = info.param.name;
                             for (char& c : name) {
                                 c = c == '-' ? '_' : c;
                             }
                             return name;
                         });

}  // namespace
