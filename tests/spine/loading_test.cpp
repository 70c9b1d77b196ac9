// The loading sequence, the keyboard, the exit, and the TGA loader, in an offscreen GL context.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/demo.h"
#include "app/frame_timer.h"
#include "assets/textures.h"
#include "gfx/particles.h"
#include "gfx/projection.h"
#include "shared/random.h"
#include "support/process.h"
#include "support/stand_ins.h"
#include "sync/music.h"
#include "sync/show_state.h"

// Every malloc of the program goes through here (linked with --wrap=malloc), so
// a test can tell how large a buffer the loader asked for.
namespace {
size_t largestMalloc = 0;  // written by the wrapper, read and cleared by the tests
}
extern "C" void* __real_malloc(size_t size);
extern "C" void* __wrap_malloc(size_t size)
{
    largestMalloc = size > largestMalloc ? size : largestMalloc;
    return __real_malloc(size);
}

namespace {

const std::string LOADED = "[LOADING" + std::string(16, '.') + "..]\nLoaded." + std::string(25, '\n');
const std::string NOT_LOADED = "[LOADING" + std::string(14, '.') + "\nImpossibile caricare il file\n";

class LoadingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Loading runs where there is no data directory: no image loads.
        ASSERT_EQ(chdir("/"), 0);
        loadSucceeds = true;
        clearCallLog();
        song = nullptr;
        fakeClock = FakeClock{};
        fakeClock.counter = 4242;
        frameTimer = FrameTimer{};
        glDisable(GL_BLEND);
        glDisable(GL_TEXTURE_2D);
    }

    // Runs the loading sequence and returns what it printed.
    std::string load()
    {
        ::testing::internal::CaptureStdout();
        loadDemo();
        return ::testing::internal::GetCapturedStdout();
    }
};

TEST_F(LoadingTest, SuccessPrintsTheWholeLineLeavesTheCanvasAndRequestsFullScreen)
{
    const uint32_t seed = k3l::randState;
    EXPECT_EQ(load(), LOADED);
    EXPECT_STREQ(callLog, "FSOUND_Init;FMUSIC_LoadSong;FMUSIC_SetZxxCallback(song);glutFullScreen;");
    EXPECT_STREQ(loadedPath, "data\\zelto-07.tga");
    EXPECT_EQ(registeredHandler, &onSyncEvent);
    EXPECT_EQ(song, recordedSong());
    EXPECT_EQ(frameTimer.startCount, 4242);

    // Tables, rings, and a swarm walked 200 steps: 20000 numbers of the sequence. (The rings, the
    // swarm, the canvas's projection and the matrix mode loading leaves: frames_test's fingerprints.)
    const uint32_t loaded = k3l::randState;
    k3l::randState = seed;
    for (int i = 0; i < 200 * 2 * PARTICLE_COUNT; ++i) {
        k3l::rand();
    }
    EXPECT_EQ(k3l::randState, loaded);
    EXPECT_EQ(sinDeg(90), 1.0f);
    EXPECT_EQ(sinDeg(-390), sinDeg(30));  // a negative angle loses its sign; whole turns wrap

    for (const GLenum capability : {GL_BLEND, GL_TEXTURE_2D, GL_CULL_FACE, GL_LINE_SMOOTH, GL_POINT_SMOOTH}) {
        EXPECT_TRUE(glIsEnabled(capability)) << capability;
    }
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    GLint value = 0;
    glGetIntegerv(GL_BLEND_SRC, &value);
    EXPECT_EQ(value, GL_SRC_ALPHA);
    glGetIntegerv(GL_BLEND_DST, &value);
    EXPECT_EQ(value, GL_ONE_MINUS_SRC_ALPHA);
    GLfloat size = 0;
    glGetFloatv(GL_POINT_SIZE, &size);
    EXPECT_EQ(size, 5.0f);
}

TEST_F(LoadingTest, MissingModuleStopsEarlyWithItsMessage)
{
    loadSucceeds = false;
    EXPECT_EQ(load(), NOT_LOADED);
    EXPECT_STREQ(callLog, "FSOUND_Init;FMUSIC_LoadSong;");
    EXPECT_EQ(song, nullptr);
    // The timer was started all the same, so the tick has a time base.
    EXPECT_EQ(frameTimer.startCount, 4242);
}

TEST_F(LoadingTest, EscapeAloneEndsTheShowWithStatusZero)
{
    load();
    clearCallLog();
    for (int key = 0; key < 256; ++key) {
        if (key != 27) {
            onKeyboard(static_cast<unsigned char>(key), 27, 27);
        }
    }
    EXPECT_STREQ(callLog, "");
    EXPECT_EXIT(
        {
            std::atexit([] { std::fprintf(stderr, "calls:%s<end>", callLog); });
            onKeyboard(27, 100, 100);
        },
        ::testing::ExitedWithCode(0),
        "^calls:FMUSIC_StopSong\\(song\\);FMUSIC_FreeSong\\(song\\);FSOUND_Close;ShowCursor\\(TRUE\\);<end>");
    song = nullptr;
    EXPECT_EXIT(
        {
            std::atexit([] { std::fprintf(stderr, "calls:%s<end>", callLog); });
            onKeyboard(27, 0, 0);
        },
        ::testing::ExitedWithCode(0),
        "^calls:FMUSIC_StopSong\\(null\\);FMUSIC_FreeSong\\(null\\);FSOUND_Close;ShowCursor\\(TRUE\\);<end>");
}

using Bytes = std::vector<unsigned char>;

// A TGA file: the 18-byte header as given, then the pixel bytes.
Bytes tga(unsigned width, unsigned height, unsigned bpp, const Bytes& pixels, unsigned char type = 2,
          unsigned char descriptor = 0)
{
    Bytes file = {0, 0, type, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                  static_cast<unsigned char>(width & 0xFF), static_cast<unsigned char>(width >> 8),
                  static_cast<unsigned char>(height & 0xFF), static_cast<unsigned char>(height >> 8),
                  static_cast<unsigned char>(bpp), descriptor};
    for (const unsigned char byte : pixels) {
        file.push_back(byte);
    }
    return file;
}

class TgaTest : public ::testing::Test {
protected:
    void TearDown() override { clearSlot(); }

    // Empties the slot between loads, releasing what a successful load kept.
    void clearSlot()
    {
        std::free(slot.pixels);
        slot = TextureImage{};
    }

    std::string write(const std::string& name, const Bytes& bytes)
    {
        EXPECT_TRUE(writeFile(dir / name, bytes));
        return dir / name;
    }

    // Loads the bytes into the emptied slot; false, with the slot still empty, on a refusal.
    bool load(const Bytes& bytes)
    {
        clearSlot();
        const bool loaded = loadTGA(&slot, write("image.tga", bytes).c_str());
        EXPECT_EQ(loaded, slot.texName != 0);
        EXPECT_EQ(loaded, slot.pixels != nullptr);
        return loaded;
    }

    ScratchDir dir;
    TextureImage slot{};
};

TEST_F(TgaTest, RefusesWhatItCannotReadBeforeStoringAnything)
{
    const Bytes pixel = {1, 2, 3};
    Bytes withId = tga(1, 1, 24, pixel);
    withId[0] = 1;
    Bytes colourMapped = tga(1, 1, 24, pixel, 1);
    colourMapped[1] = 1;
    Bytes originX = tga(1, 1, 24, pixel);
    originX[8] = 1;
    Bytes originY = tga(1, 1, 24, pixel);
    originY[11] = 1;
    Bytes shortDescription = tga(2, 2, 24, {});
    shortDescription.resize(15);
    const Bytes refused[] = {
        tga(1, 1, 24, pixel, 10), tga(1, 1, 8, {7}, 3), colourMapped, withId, originX, originY, Bytes{0, 0, 2, 0, 0},
        shortDescription, tga(0, 5, 24, {}), tga(5, 0, 32, {}), tga(2, 1, 16, {1, 2, 3, 4}), Bytes{},
    };
    for (const Bytes& bytes : refused) {
        EXPECT_FALSE(load(bytes));
        EXPECT_EQ(slot.width + slot.height + slot.bpp, 0u);
    }
    // Pixel data one byte short: the size was stored, but there are no pixels and no texture.
    EXPECT_FALSE(load(tga(2, 2, 24, Bytes(11, 9))));
    EXPECT_EQ(slot.width, 2u);
    EXPECT_EQ(slot.height, 2u);
    EXPECT_EQ(slot.bpp, 24u);
    // Neither a missing file nor a directory.
    EXPECT_FALSE(loadTGA(&slot, (dir / "absent.tga").c_str()));
    mkdir((dir / "folder.tga").c_str(), 0755);
    EXPECT_FALSE(loadTGA(&slot, (dir / "folder.tga").c_str()));
    EXPECT_EQ(slot.texName, 0u);
}

TEST_F(TgaTest, SwapsBlueAndRedAndUploadsWithLinearFilters)
{
    ASSERT_TRUE(load(tga(2, 1, 24, {1, 2, 3, 4, 5, 6})));
    EXPECT_EQ(Bytes(slot.pixels, slot.pixels + 6), (Bytes{3, 2, 1, 6, 5, 4}));
    GLint value = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &value);
    EXPECT_EQ(value, GL_RGB);

    // A footer and the orientation bit change nothing: rows are taken in file order.
    Bytes file = tga(2, 2, 32, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}, 2, 0x20);
    file.insert(file.end(), 26, 0xEE);
    ASSERT_TRUE(load(file));
    EXPECT_EQ(Bytes(slot.pixels, slot.pixels + 16), (Bytes{3, 2, 1, 4, 7, 6, 5, 8, 11, 10, 9, 12, 15, 14, 13, 16}));
    EXPECT_EQ(slot.width, 2u);
    EXPECT_EQ(slot.bpp, 32u);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &value);
    EXPECT_EQ(value, GL_RGBA);
    // The new texture is left bound, with linear filters.
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &value);
    EXPECT_EQ(static_cast<GLuint>(value), slot.texName);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
    EXPECT_EQ(value, GL_LINEAR);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &value);
    EXPECT_EQ(value, GL_LINEAR);
}

TEST_F(TgaTest, OddRowLengthUploadsExactly)
{
    // Three 24-bit pixels make a 9-byte row: the upload must not assume 4-byte rows.
    Bytes pixels;
    for (unsigned char i = 0; i < 18; ++i) {
        pixels.push_back(static_cast<unsigned char>(i * 13 + 1));
    }
    ASSERT_TRUE(load(tga(3, 2, 24, pixels)));
    Bytes uploaded(18);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, uploaded.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    EXPECT_EQ(uploaded, Bytes(slot.pixels, slot.pixels + 18));
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 4);
}

TEST_F(TgaTest, HugeClaimsAreRefusedWithoutAllocating)
{
    // 65535 x 65535 x 4 bytes would wrap around in 32 bits; the file holds four bytes.
    largestMalloc = 0;
    EXPECT_FALSE(load(tga(65535, 65535, 32, {1, 2, 3, 4})));
    EXPECT_FALSE(load(tga(1000, 1000, 24, Bytes(100, 0))));
    EXPECT_LT(largestMalloc, 1000000u);
    // A whole image still gets its buffer.
    EXPECT_TRUE(load(tga(300, 200, 24, Bytes(300 * 200 * 3, 7))));
    EXPECT_GE(largestMalloc, 300u * 200 * 3);
}

TEST_F(TgaTest, AMissingImageLeavesOnlyItsSlotEmptyAndPrintsNothing)
{
    mkdir((dir / "data").c_str(), 0755);
    for (int i = 0; i < IMAGE_COUNT; ++i) {
        if (i != 7) {
            write(std::string("data/") + IMAGE_SLOTS[i].file, tga(4, 4, 32, Bytes(64, static_cast<unsigned char>(i))));
        }
    }
    ASSERT_EQ(chdir(dir.path.c_str()), 0);
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    loadTextures();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    ASSERT_EQ(chdir("/"), 0);
    for (int i = 0; i < IMAGE_COUNT; ++i) {
        const TextureImage* slot = IMAGE_SLOTS[i].slot;
        EXPECT_EQ(slot->texName != 0, i != 7) << IMAGE_SLOTS[i].file;
        EXPECT_EQ(slot->pixels != nullptr && slot->pixels[0] == i, i != 7) << IMAGE_SLOTS[i].file;
    }
}

}  // namespace
