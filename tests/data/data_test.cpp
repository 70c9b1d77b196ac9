// The show's data as the build makes it (build/data): the seventeen images through the show's own
// loader, and the module through libopenmpt and the player's row scan, against what the composer
// meant, with docs/show.md up to date.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "assets/textures.h"
#include "platform/module_render.h"
#include "song.h"
#include "synth.h"
#include "timeline.h"

namespace {

TEST(Images, AllSeventeenLoadThroughTheShowsLoaderInSizesOpenGLTakes)
{
    loadTextures();
    for (const ImageSlot& image : IMAGE_SLOTS) {
        const TextureImage* slot = image.slot;
        EXPECT_NE(slot->texName, 0u);
        EXPECT_TRUE(slot->bpp == 24 || slot->bpp == 32);
        for (const uint32_t side : {slot->width, slot->height}) {
            EXPECT_TRUE(side >= 64 && side <= 512 && (side & (side - 1)) == 0) << side;
        }
    }
    EXPECT_EQ(afraid512.width, 512u);
    EXPECT_EQ(afraid64.width, 64u);
}

const music::ReadBack& played()
{
    static const music::ReadBack readBack = music::readBack(music::readFile("data/zelto-07.tga"));
    return readBack;
}

// What libopenmpt plays of the build's module (an IT file under its image name), and what the
// player's scan finds, is what the composer meant: the same events on the same rows, each within a
// row of its time. (That the file holds the recorded bytes, tests/data/reference, is data.deterministic's.)
TEST(Module, PlaysTheIntendedEventsAndThePlayersScanFindsThem)
{
    EXPECT_EQ(played().type, "it");
    const std::vector<music::SyncEvent> intended = music::syncEvents(music::song());
    const std::vector<music::PlayedEvent>& events = played().events;
    ASSERT_EQ(events.size(), intended.size());
    for (size_t i = 0; i < events.size(); ++i) {
        EXPECT_EQ(events[i].code, intended[i].code) << "event " << i;
        EXPECT_EQ(events[i].order * music::ROWS_PER_PATTERN + events[i].row, intended[i].row) << "event " << i;
        EXPECT_LT(std::fabs(events[i].seconds - intended[i].row * music::rowSeconds()), music::rowSeconds());
    }
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(readModuleFile("data\\zelto-07.tga", bytes));
    ModuleRender module;
    ASSERT_TRUE(loadModule(module, std::move(bytes), 44100, false));
    std::vector<uint8_t> found;
    float buffer[2 * 4096];
    ModuleEvent scanned[64];
    while (!module.ended) {
        const int count = renderModule(module, buffer, 4096, scanned, 64);
        for (int i = 0; i < count; ++i) {
            found.push_back(scanned[i].parameter);
        }
    }
    unloadModule(module);
    for (size_t i = 0; i < found.size() && i < intended.size(); ++i) {
        EXPECT_EQ(found[i], intended[i].code) << "event " << i;
    }
    EXPECT_EQ(found.size(), intended.size());
}

// The module's samples are compressed (the web page downloads it), and it plays what the same song
// written plain plays, frame for frame, from start to end.
TEST(Module, PlaysAsTheSongWrittenPlain)
{
    itw::Module song = music::arrange(music::song(), music::makeInstruments());
    ASSERT_TRUE(song.compressSamples);
    song.compressSamples = false;
    std::vector<uint8_t> plain = itw::writeIT(song);
    std::vector<uint8_t> built = music::readFile("data/zelto-07.tga");
    EXPECT_LT(built.size(), plain.size() * 3 / 4);
    ModuleRender modules[2];
    ASSERT_TRUE(loadModule(modules[0], std::move(plain), 44100, false));
    ASSERT_TRUE(loadModule(modules[1], std::move(built), 44100, false));
    static float buffers[2][2 * 4096];
    ModuleEvent events[64];
    int64_t frames = 0, differing = 0;
    while (!modules[0].ended || !modules[1].ended) {
        for (int i = 0; i < 2; ++i) {
            renderModule(modules[i], buffers[i], 4096, events, 64);
        }
        differing += std::memcmp(buffers[0], buffers[1], sizeof buffers[0]) != 0;
        frames += 4096;
        ASSERT_LT(frames, 44100 * 600) << "the song does not end";
    }
    EXPECT_EQ(differing, 0) << "buffers of 4096 frames that differ";
    EXPECT_GT(frames, 44100 * 200);
    unloadModule(modules[0]);
    unloadModule(modules[1]);
}

// docs/show.md is the timeline tool's output for this module.
TEST(ShowDoc, MatchesTheMusic)
{
    const std::vector<uint8_t> committed = music::readFile(K3L_SHOW_DOC);
    EXPECT_EQ(std::string(committed.begin(), committed.end()), music::showDocument(played()))
        << "docs/show.md is out of date: run `make show-doc` in the build directory";
}

}  // namespace
