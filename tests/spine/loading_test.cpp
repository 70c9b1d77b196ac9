// The loading sequence, the keyboard and the exit sequence, in an offscreen GL context.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/demo.h"
#include "app/frame_timer.h"
#include "shared/random.h"
#include "assets/textures.h"
#include "gfx/particles.h"
#include "gfx/projection.h"
#include "gfx/rings.h"
#include "support/call_log.h"
#include "support/fake_clock.h"
#include "support/fmod_recorder.h"
#include "support/gl_test.h"
#include "support/glut_stub.h"
#include "sync/music.h"
#include "sync/show_state.h"

namespace {

const std::string LOADED = "[LOADING" + std::string(16, '.') + "..]\nLoaded." + std::string(25, '\n');
const std::string NOT_LOADED = "[LOADING" + std::string(14, '.') + "\nImpossibile caricare il file\n";

class LoadingTest : public ::testing::Test {
protected:
    // Loading runs in an empty directory: no images to load, whatever the test's own directory holds.
    static void SetUpTestSuite()
    {
        char pattern[] = "/tmp/k3l-loading.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        ASSERT_EQ(chdir(pattern), 0);
    }

    void SetUp() override
    {
        resetFmodRecorder();
        resetGlutStub();
        clearCallLog();
        song = nullptr;
        fakeClock = FakeClock{};
        fakeClock.counter = 4242;
        frameTimer = FrameTimer{};
        glMatrixMode(GL_MODELVIEW);
        glDisable(GL_BLEND);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_CULL_FACE);
    }

    // Runs the loading sequence and returns what it printed.
    std::string load()
    {
        ::testing::internal::CaptureStdout();
        loadDemo();
        return ::testing::internal::GetCapturedStdout();
    }
};

TEST_F(LoadingTest, SuccessPrintsTheWholeLineAndRequestsFullScreen)
{
    EXPECT_EQ(load(), LOADED);
    EXPECT_STREQ(callLog, "FSOUND_Init;FMUSIC_LoadSong;FMUSIC_SetZxxCallback(song);glutFullScreen;");
    EXPECT_STREQ(fmodRecorder.lastLoadPath, "data\\zelto-07.tga");
    EXPECT_EQ(fmodRecorder.callback, &onSyncEvent);
    EXPECT_EQ(song, recordedSong());
    // The timer started during loading.
    EXPECT_EQ(frameTimer.startCount, 4242);
}

TEST_F(LoadingTest, MissingModuleStopsEarlyWithItsMessage)
{
    fmodRecorder.loadSucceeds = false;
    noise.texName = 0;
    EXPECT_EQ(load(), NOT_LOADED);
    EXPECT_STREQ(callLog, "FSOUND_Init;FMUSIC_LoadSong;");
    EXPECT_EQ(song, nullptr);
    EXPECT_EQ(glutStub.fullScreen, 0);
    // The timer was started all the same, so the tick has a time base.
    EXPECT_EQ(frameTimer.startCount, 4242);
}

TEST_F(LoadingTest, LeavesTheCanvasState)
{
    load();
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_TRUE(glIsEnabled(GL_LINE_SMOOTH));
    EXPECT_TRUE(glIsEnabled(GL_POINT_SMOOTH));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    GLint value = 0;
    glGetIntegerv(GL_BLEND_SRC, &value);
    EXPECT_EQ(value, GL_SRC_ALPHA);
    glGetIntegerv(GL_BLEND_DST, &value);
    EXPECT_EQ(value, GL_ONE_MINUS_SRC_ALPHA);
    glGetIntegerv(GL_MATRIX_MODE, &value);
    EXPECT_EQ(value, GL_MODELVIEW);
    GLfloat size = 0;
    glGetFloatv(GL_POINT_SIZE, &size);
    EXPECT_EQ(size, 5.0f);
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[0] + clear[1] + clear[2] + clear[3], 0.0f);

    // The canvas: (320, 240, 4) lands on the top right corner of the far clip plane.
    GLfloat projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    EXPECT_FLOAT_EQ(projection[0] * 320 + projection[12], 1.0f);
    EXPECT_FLOAT_EQ(projection[5] * 240 + projection[13], 1.0f);
    EXPECT_FLOAT_EQ(projection[10] * -4 + projection[14], 1.0f);
    EXPECT_FLOAT_EQ(projection[12], -1.0f);
    EXPECT_FLOAT_EQ(projection[13], -1.0f);
}

TEST_F(LoadingTest, BuildsTablesSwarmAndRingsWithTwoHundredWalkSteps)
{
    k3l::randState = 1;
    k3l::rand();  // the draw static initialisation makes
    load();
    uint32_t expected = 1;
    for (int i = 0; i < 1 + 200 * 2 * PARTICLE_COUNT; ++i) {
        expected = expected * 214013u + 2531011u;
    }
    EXPECT_EQ(k3l::randState, expected);
    EXPECT_EQ(sinDeg(90), 1.0f);
    EXPECT_EQ(ringDepths[23], -230);
    EXPECT_EQ(ringOutline[0].x, 2.0f);
    for (const Particle& particle : particles) {
        EXPECT_LE(std::abs(particle.x), 100.0f);
        EXPECT_LE(std::abs(particle.y - 200.0f), 100.0f);
    }
}

TEST_F(LoadingTest, EscapeEndsTheShowWithStatusZero)
{
    load();
    EXPECT_EXIT(
        {
            std::atexit([] { std::fprintf(stderr, "calls:%s<end>", callLog); });
            clearCallLog();
            onKeyboard(27, 100, 100);
        },
        ::testing::ExitedWithCode(0),
        "^calls:FMUSIC_StopSong\\(song\\);FMUSIC_FreeSong\\(song\\);FSOUND_Close;ShowCursor\\(TRUE\\);<end>");
}

TEST_F(LoadingTest, EscapeWithoutAModuleStillEndsCleanly)
{
    fmodRecorder.loadSucceeds = false;
    load();
    EXPECT_EXIT(
        {
            std::atexit([] { std::fprintf(stderr, "calls:%s<end>", callLog); });
            clearCallLog();
            onKeyboard(27, 0, 0);
        },
        ::testing::ExitedWithCode(0),
        "^calls:FMUSIC_StopSong\\(null\\);FMUSIC_FreeSong\\(null\\);FSOUND_Close;ShowCursor\\(TRUE\\);<end>");
}

TEST_F(LoadingTest, OtherKeysDoNothing)
{
    load();
    clearCallLog();
    for (int key = 0; key < 256; ++key) {
        if (key != 27) {
            onKeyboard(static_cast<unsigned char>(key), 27, 27);
        }
    }
    EXPECT_STREQ(callLog, "");
}

}  // namespace
