// Loading by content and finding the rows a module plays, with real libopenmpt and
// module files written by the IT writer.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/module_render.h"
#include "player_modules.h"
#include "support/process.h"

namespace {

// One Zxx effect found, placed from the song's start.
struct Found {
    int64_t frame;
    int parameter;
    bool operator==(const Found& other) const { return frame == other.frame && parameter == other.parameter; }
};

std::ostream& operator<<(std::ostream& out, const Found& found)
{
    return out << "{frame " << found.frame << ", Z" << std::hex << found.parameter << std::dec << "}";
}

// Renders `total` frames in buffers of `buffer` frames; the effects found, and the audio if asked.
std::vector<Found> renderAll(ModuleRender& module, int64_t total, int buffer, std::vector<float>* audio = nullptr)
{
    std::vector<Found> found;
    std::vector<float> out(static_cast<size_t>(buffer) * MODULE_CHANNELS);
    ModuleEvent events[256];
    for (int64_t done = 0; done < total; done += buffer) {
        const int count = renderModule(module, out.data(), buffer, events, 256);
        for (int i = 0; i < count; ++i) {
            found.push_back(Found{done + events[i].frame, events[i].parameter});
        }
        if (audio != nullptr) {
            audio->insert(audio->end(), out.begin(), out.end());
        }
    }
    return found;
}

// Loads a copy of the bytes.
bool load(ModuleRender& module, std::vector<uint8_t> bytes, bool loop)
{
    return loadModule(module, std::move(bytes), TEST_RATE, loop);
}

// The largest left-channel level among frames [from, to) of interleaved stereo audio.
float peak(const std::vector<float>& audio, int64_t from, int64_t to)
{
    float level = 0.0f;
    for (int64_t i = from; i < to && i * 2 < static_cast<int64_t>(audio.size()); ++i) {
        level = std::max(level, std::fabs(audio[i * 2]));
    }
    return level;
}

constexpr int64_t ROW_125_6 = 6 * 882;  // frames in a row at speed 6, tempo 125
constexpr int64_t ROW_150_3 = 3 * 735;  // frames in a row at speed 3, tempo 150

TEST(ModuleFile, IsFoundByContentWhateverItsName)
{
    ScratchDir dir;
    itw::Module it = blankModule(1, 16, 2, 6, 125);
    it.patterns[0].at(1, 1) = zCell(0x2A);
    ASSERT_TRUE(itw::saveIT(it, dir / "song.tga"));
    std::vector<uint8_t> garbage(4096);
    for (size_t i = 0; i < garbage.size(); ++i) {
        garbage[i] = static_cast<uint8_t>(i * 2654435761u >> 13);
    }
    ASSERT_TRUE(writeFile(dir / "garbage.tga", garbage));
    ASSERT_TRUE(writeFile(dir / "empty.tga", {}));
    ASSERT_EQ(mkdir((dir / "folder.tga").c_str(), 0700), 0);

    // An IT file named .tga, reached through a path written the show's way.
    std::vector<uint8_t> bytes;
    ModuleRender module;
    ASSERT_TRUE(readModuleFile((dir.path + "\\song.tga").c_str(), bytes));
    ASSERT_TRUE(load(module, std::move(bytes), true));
    EXPECT_EQ(renderAll(module, 2 * ROW_125_6, 512), (std::vector<Found>{{ROW_125_6, 0x2A}}));

    // Neither garbage, nor an empty file, a directory or a missing file.
    ASSERT_TRUE(readModuleFile((dir / "garbage.tga").c_str(), bytes));
    EXPECT_FALSE(load(module, std::move(bytes), true));
    EXPECT_EQ(module.decoder, nullptr);
    EXPECT_FALSE(readModuleFile((dir / "empty.tga").c_str(), bytes));
    EXPECT_FALSE(readModuleFile((dir / "folder.tga").c_str(), bytes));
    EXPECT_FALSE(readModuleFile((dir / "missing.tga").c_str(), bytes));
    unloadModule(module);
}

// Every row starts on its frame, whatever the buffer sizes, through changes of tempo and
// speed and a pattern delay; every channel's Z comes, in channel order.
TEST(ModuleScan, FindsEachRowAtTheFrameItStarts)
{
    itw::Module song = blankModule(2, 8, 4, 6, 125);
    itw::Pattern& first = song.patterns[0];
    itw::Pattern& second = song.patterns[1];
    for (int row = 0; row < 8; ++row) {
        first.at(row, 3) = zCell(static_cast<uint8_t>(row));
        second.at(row, 3) = zCell(static_cast<uint8_t>(0x10 + row));
    }
    first.at(2, 0) = clickCell('T', 150);   // from row 2: 735 frames a tick
    first.at(4, 0) = clickCell('A', 3);     // from row 4: 3 ticks a row
    first.at(6, 0) = clickCell('S', 0xE2);  // row 6 lasts three times
    first.at(5, 0) = zCell(0x00);           // row 5: Z on every channel
    first.at(5, 1) = zCell(0x80);
    first.at(5, 2) = zCell(0xFF);
    second.at(0, 0) = clickCell('T', 97);   // 1136 frames a tick
    const std::vector<uint8_t> bytes = itw::writeIT(song);

    const int64_t tick150 = 735, tick97 = 1136;
    const int64_t firstRows[8] = {ROW_125_6, ROW_125_6, 6 * tick150, 6 * tick150, 3 * tick150, 3 * tick150,
                                  9 * tick150, 3 * tick150};
    std::vector<Found> expected;
    int64_t frame = 0;
    for (int row = 0; row < 8; ++row) {
        if (row == 5) {
            expected.insert(expected.end(), {{frame, 0x00}, {frame, 0x80}, {frame, 0xFF}});
        }
        expected.push_back(Found{frame, row});
        frame += firstRows[row];
    }
    for (int row = 0; row < 8; ++row) {
        expected.push_back(Found{frame, 0x10 + row});
        frame += 3 * tick97;
    }
    for (int buffer : {1, 64, 1000, 4096}) {
        ModuleRender module;
        ASSERT_TRUE(load(module, bytes, false));
        EXPECT_EQ(renderAll(module, frame + 8192, buffer), expected) << "buffers of " << buffer << " frames";
        EXPECT_TRUE(module.ended);
        unloadModule(module);
    }
    // A list with room for two events keeps row 5's first two and counts the other two as dropped.
    ModuleRender module;
    ASSERT_TRUE(load(module, bytes, false));
    std::vector<float> out(static_cast<size_t>(expected[8].frame + 1) * MODULE_CHANNELS);
    ModuleEvent events[8];
    EXPECT_EQ(renderModule(module, out.data(), static_cast<int>(expected[8].frame), events, 8), 5);
    EXPECT_EQ(renderModule(module, out.data(), 1, events, 2), 2);
    EXPECT_EQ(events[1].parameter, 0x80);
    EXPECT_EQ(module.droppedEvents, 2);
    unloadModule(module);
}

// A tempo slide defeats the guess of where the next row starts: rows are then placed within
// half a read of 128 frames (longer reads would lose rows), and exactly again afterwards.
TEST(ModuleScan, StaysCloseThroughATempoSlide)
{
    itw::Module song = blankModule(1, 16, 2, 6, 125);
    for (int row = 0; row < 16; ++row) {
        song.patterns[0].at(row, 1) = zCell(static_cast<uint8_t>(row));
    }
    for (int row = 2; row < 6; ++row) {
        song.patterns[0].at(row, 0).effect = 'T';
        song.patterns[0].at(row, 0).parameter = 0x1F;  // tempo +15 a tick
    }
    const std::vector<uint8_t> bytes = itw::writeIT(song);
    ModuleRender exact, guessed;
    ASSERT_TRUE(load(exact, bytes, false));
    ASSERT_TRUE(load(guessed, bytes, false));
    const std::vector<Found> reference = renderAll(exact, 16 * ROW_125_6, 1);
    const std::vector<Found> found = renderAll(guessed, 16 * ROW_125_6, 4096);
    ASSERT_EQ(found.size(), 16u);
    ASSERT_EQ(found.size(), reference.size());
    for (size_t i = 0; i < found.size(); ++i) {
        EXPECT_EQ(found[i].parameter, reference[i].parameter);
        EXPECT_LE(std::abs(found[i].frame - reference[i].frame), 64) << "row " << i;
    }
    EXPECT_EQ(found.back(), reference.back());
    unloadModule(exact);
    unloadModule(guessed);
}

// A pattern loop plays its rows again, and they fire again; at its end the song starts
// over, and row 0 fires exactly where its note is heard again. Played once, the song ends
// in silence, nothing fires at its end, and a restart plays it from the start.
TEST(ModuleScan, LoopsFireAgainTheSongStartsOverOrEndsInSilence)
{
    itw::Module song = blankModule(1, 6, 2, 3, 150);
    itw::Pattern& pattern = song.patterns[0];
    pattern.at(0, 0) = clickCell('S', 0xB0);  // loop start
    pattern.at(0, 1) = zCell(0xA0);
    pattern.at(2, 1) = zCell(0xA2);
    pattern.at(3, 0) = itw::Cell{itw::NOTE_NONE, 0, itw::VOLUME_NONE, 'S', 0xB1};  // back to row 0 once
    pattern.at(5, 1) = zCell(0xA5);
    const std::vector<uint8_t> bytes = itw::writeIT(song);
    const int64_t songLength = 10 * ROW_150_3;  // rows 0-3 twice, then 4 and 5

    ModuleRender module;
    ASSERT_TRUE(load(module, bytes, true));
    std::vector<float> audio;
    const std::vector<Found> expected = {{0, 0xA0}, {2 * ROW_150_3, 0xA2}, {4 * ROW_150_3, 0xA0},
                                         {6 * ROW_150_3, 0xA2}, {9 * ROW_150_3, 0xA5}, {songLength, 0xA0}};
    EXPECT_EQ(renderAll(module, songLength + ROW_150_3, 300, &audio), expected);
    EXPECT_LT(peak(audio, songLength - 200, songLength), 0.001f);  // the last note died away
    EXPECT_GT(peak(audio, songLength, songLength + 200), 0.05f);   // and row 0's note plays again
    unloadModule(module);

    ASSERT_TRUE(load(module, bytes, false));
    audio.clear();
    EXPECT_EQ(renderAll(module, 3 * songLength, 256, &audio),
              std::vector<Found>(expected.begin(), expected.end() - 1));
    EXPECT_TRUE(module.ended);
    EXPECT_EQ(peak(audio, songLength + 256, 3 * songLength), 0.0f);
    ASSERT_TRUE(restartModule(module));
    EXPECT_EQ(renderAll(module, ROW_150_3, 256), (std::vector<Found>{{0, 0xA0}}));
    unloadModule(module);
}

// Samples in IT 2.14/2.15 compression, written by the IT writer, play exactly as the same frames
// written plain: over several blocks, silence, a smooth sweep (deltas of deltas the shorter), and a
// rough walk through every delta width, the values at each width's edges and full-scale jumps.
TEST(ModuleFile, CompressedSamplesPlayAsTheirFramesWrittenPlain)
{
    itw::Sample smooth, rough;
    for (int i = 0; i < 40000; ++i) {
        const double level = i < 3000 ? 0.0 : (i - 3000) / 37000.0;
        smooth.frames.push_back(static_cast<int16_t>(32000.0 * level * std::sin(i * (0.01 + i * 2e-6))));
    }
    uint32_t random = 1;
    int value = 0;
    for (int i = 0; i < 36000; ++i) {
        random = random * 1664525u + 1013904223u;
        const int width = 1 + static_cast<int>(i / 300) % 17;  // a stretch at each width, then again
        const int half = 1 << (width - 1);
        const int edges[] = {half - 1, half - 8, half - 9, -half + 1, -half + 8, -half + 9, 0};
        const int delta = width == 17 ? static_cast<int>(random >> 16) - 32768
                                      : (random >> 8) % 2 ? edges[(random >> 12) % 7] : static_cast<int>(random >> 16) % half;
        value = static_cast<int16_t>(static_cast<uint16_t>(value + delta));
        rough.frames.push_back(static_cast<int16_t>(value));
    }
    EXPECT_LT(itw::compressSample(smooth.frames, true).size(), itw::compressSample(smooth.frames, false).size());
    EXPECT_LT(itw::compressSample(rough.frames, false).size(), itw::compressSample(rough.frames, true).size());

    itw::Module song = blankModule(1, 16, 2, 6, 125);
    song.samples = {smooth, rough};
    song.patterns[0].at(0, 0) = itw::Cell{itw::C5, 1, 64, 0, 0};
    song.patterns[0].at(0, 1) = itw::Cell{itw::C5, 2, 64, 0, 0};
    const std::vector<uint8_t> plain = itw::writeIT(song);
    song.compressSamples = true;
    const std::vector<uint8_t> compressed = itw::writeIT(song);
    EXPECT_LT(compressed.size(), plain.size() * 3 / 4);
    std::vector<float> heard[2];
    for (int i = 0; i < 2; ++i) {
        ModuleRender module;
        ASSERT_TRUE(load(module, i == 0 ? plain : compressed, false));
        renderAll(module, 16 * ROW_125_6, 4096, &heard[i]);
        unloadModule(module);
    }
    EXPECT_GT(peak(heard[0], 0, 40000), 0.1f);
    EXPECT_TRUE(heard[0] == heard[1]);
}

}  // namespace
