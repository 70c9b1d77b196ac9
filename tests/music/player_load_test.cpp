// The show's module, loaded the way the show loads it: through the player layer,
// under its Windows-style name, from the directory the show runs in.
#include <gtest/gtest.h>

#include "platform/fmod.h"
#include "platform/module_render.h"
#include "song.h"

namespace {

TEST(PlayerLoad, TheShowsModuleLoadsThroughThePlayer)
{
    FSOUND_Init(44100, 32, 0);
    FMUSIC_MODULE* song = FMUSIC_LoadSong("data\\zelto-07.tga");
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(FMUSIC_FreeSong(song), 1);
    FSOUND_Close();
}

TEST(PlayerLoad, ThePlayersScanFindsTheComposersEventsInOrder)
{
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(readModuleFile("data\\zelto-07.tga", bytes));
    ModuleRender module;
    ASSERT_TRUE(loadModule(module, std::move(bytes), 44100, false));
    std::vector<uint8_t> found;
    float buffer[2 * 4096];
    ModuleEvent events[64];
    while (!module.ended) {
        const int count = renderModule(module, buffer, 4096, events, 64);
        for (int i = 0; i < count; ++i) {
            found.push_back(events[i].parameter);
        }
    }
    unloadModule(module);

    std::vector<uint8_t> intended;
    for (const music::SyncEvent& event : music::syncEvents(music::song())) {
        intended.push_back(event.code);
    }
    EXPECT_EQ(found, intended);
}

}  // namespace
