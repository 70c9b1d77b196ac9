// The TGA loader and the texture set, in an offscreen GL context, on files written here.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "assets/textures.h"

// Every malloc of the program goes through here (linked with --wrap=malloc), so
// a test can tell how large a buffer the loader asked for.
namespace {
size_t largestMalloc = 0;  // written by the wrapper, read and cleared by the tests
}
extern "C" void* __real_malloc(size_t size);
extern "C" void* __wrap_malloc(size_t size)
{
    if (size > largestMalloc) {
        largestMalloc = size;
    }
    return __real_malloc(size);
}

namespace {

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
    void SetUp() override
    {
        char pattern[] = "/tmp/k3l-tga.XXXXXX";
        dir = mkdtemp(pattern);
        slot = TextureImage{};
    }
    void TearDown() override
    {
        std::free(slot.pixels);
        std::system(("rm -rf " + dir).c_str());
    }

    // Empties the slot between loads, releasing what a successful load kept.
    void clearSlot()
    {
        std::free(slot.pixels);
        slot = TextureImage{};
    }

    std::string write(const std::string& name, const Bytes& bytes)
    {
        const std::string path = dir + "/" + name;
        FILE* file = std::fopen(path.c_str(), "wb");
        if (!bytes.empty()) {
            std::fwrite(bytes.data(), 1, bytes.size(), file);
        }
        std::fclose(file);
        return path;
    }

    bool load(const Bytes& bytes) { return loadTGA(&slot, write("image.tga", bytes).c_str()); }

    void expectEmpty()
    {
        EXPECT_EQ(slot.texName, 0u);
        EXPECT_EQ(slot.pixels, nullptr);
    }

    std::string dir;
    TextureImage slot;
};

TEST_F(TgaTest, RejectsEveryHeaderItCannotRead)
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
    const Bytes rejected[] = {
        tga(1, 1, 24, pixel, 10),  // run-length encoded
        tga(1, 1, 8, {7}, 3),      // greyscale
        colourMapped, withId, originX, originY,
        Bytes{0, 0, 2, 0, 0},      // header cut short
    };
    for (const Bytes& bytes : rejected) {
        clearSlot();
        EXPECT_FALSE(load(bytes));
        expectEmpty();
    }
}

TEST_F(TgaTest, StoresTheSizeOnlyOnceTheImageSpecificationIsAccepted)
{
    // Image description cut short, zero width, zero height, 16 bits: nothing stored.
    Bytes shortSpec = tga(2, 2, 24, {});
    shortSpec.resize(15);
    const Bytes early[] = {shortSpec, tga(0, 5, 24, {}), tga(5, 0, 32, {}), tga(2, 1, 16, {1, 2, 3, 4})};
    for (const Bytes& bytes : early) {
        clearSlot();
        EXPECT_FALSE(load(bytes));
        expectEmpty();
        EXPECT_EQ(slot.width, 0u);
        EXPECT_EQ(slot.bpp, 0u);
    }

    // Pixel data one byte short: the size was stored, but there are no pixels and no texture.
    clearSlot();
    EXPECT_FALSE(load(tga(2, 2, 24, Bytes(11, 9))));
    expectEmpty();
    EXPECT_EQ(slot.width, 2u);
    EXPECT_EQ(slot.height, 2u);
    EXPECT_EQ(slot.bpp, 24u);
}

TEST_F(TgaTest, MissingDirectoryOrEmptyFilesLeaveTheSlotEmpty)
{
    EXPECT_FALSE(loadTGA(&slot, (dir + "/absent.tga").c_str()));
    expectEmpty();
    mkdir((dir + "/folder.tga").c_str(), 0755);
    EXPECT_FALSE(loadTGA(&slot, (dir + "/folder.tga").c_str()));
    expectEmpty();
    EXPECT_FALSE(loadTGA(&slot, write("empty.tga", {}).c_str()));
    expectEmpty();
}

TEST_F(TgaTest, SwapsBlueAndRedOfTrueColourPixels)
{
    ASSERT_TRUE(load(tga(2, 1, 24, {1, 2, 3, 4, 5, 6})));
    EXPECT_EQ(Bytes(slot.pixels, slot.pixels + 6), (Bytes{3, 2, 1, 6, 5, 4}));
    EXPECT_NE(slot.texName, 0u);
    GLint format = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    EXPECT_EQ(format, GL_RGB);

    clearSlot();
    ASSERT_TRUE(load(tga(1, 1, 32, {10, 20, 30, 40})));
    EXPECT_EQ(Bytes(slot.pixels, slot.pixels + 4), (Bytes{30, 20, 10, 40}));
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    EXPECT_EQ(format, GL_RGBA);
    // The new texture is left bound, with linear filters.
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), slot.texName);
    GLint filter = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
    EXPECT_EQ(filter, GL_LINEAR);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &filter);
    EXPECT_EQ(filter, GL_LINEAR);
}

TEST_F(TgaTest, IgnoresBytesAfterThePixelsAndTheOrientationBit)
{
    const Bytes pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    Bytes padded = tga(2, 2, 32, pixels);
    padded.insert(padded.end(), 26, 0xEE);  // a footer
    ASSERT_TRUE(load(padded));
    const Bytes bottomLeft(slot.pixels, slot.pixels + 16);

    clearSlot();
    ASSERT_TRUE(load(tga(2, 2, 32, pixels, 2, 0x20)));  // top-left origin: rows still taken in file order
    EXPECT_EQ(Bytes(slot.pixels, slot.pixels + 16), bottomLeft);
    EXPECT_EQ(bottomLeft[0], 3);
    EXPECT_EQ(bottomLeft[8], 11);
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
    expectEmpty();
    EXPECT_LT(largestMalloc, 1000000u);

    largestMalloc = 0;
    EXPECT_FALSE(load(tga(1000, 1000, 24, Bytes(100, 0))));
    EXPECT_LT(largestMalloc, 3000000u);

    // A whole image still gets its buffer.
    largestMalloc = 0;
    EXPECT_TRUE(load(tga(300, 200, 24, Bytes(300 * 200 * 3, 7))));
    EXPECT_GE(largestMalloc, 300u * 200 * 3);
}

TEST_F(TgaTest, AMissingFileLeavesOnlyItsSlotEmptyAndPrintsNothing)
{
    const char* names[] = {"afraid512", "afraid64", "noise", "credits", "noiseliscio", "confidence512",
                           "confidence", "schizzi", "sprite", "scoramento", "gatto", "wisdom", "wisdom64",
                           "vs", "uncertainty64", "brave", "creditifinali"};
    mkdir((dir + "/data").c_str(), 0755);
    for (const char* name : names) {
        if (std::string(name) != "schizzi") {
            write(std::string("data/") + name + ".tga", tga(4, 4, 32, Bytes(64, 200)));
        }
    }
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(dir.c_str()), 0);
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    loadTextures();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    ASSERT_EQ(chdir(previous), 0);

    TextureImage* slots[] = {&afraid512, &afraid64, &noise, &credits, &noiseliscio, &confidence512,
                             &confidence, &schizzi, &sprite, &scoramento, &gatto, &wisdom, &wisdom64,
                             &vs, &uncertainty64, &brave, &creditifinali};
    for (int i = 0; i < 17; ++i) {
        if (slots[i] == &schizzi) {
            EXPECT_EQ(slots[i]->texName, 0u);
        } else {
            EXPECT_NE(slots[i]->texName, 0u) << names[i];
            EXPECT_EQ(slots[i]->width, 4u) << names[i];
        }
    }
}

}  // namespace
