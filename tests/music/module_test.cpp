// The module the build writes, as libopenmpt loads and plays it: its sync timeline against the
// composer's intended one, the show's rules for events, lengths and scenes, and a reproducible build.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include <libopenmpt/libopenmpt.hpp>

#include "song.h"
#include "timeline.h"

namespace {

const std::vector<uint8_t>& moduleFile()
{
    static const std::vector<uint8_t> bytes = music::readFile(K3L_MODULE_PATH);
    return bytes;
}

const music::ReadBack& played()
{
    static const music::ReadBack readBack = music::readBack(moduleFile());
    return readBack;
}

// Seconds at which the first event with the code plays, or -1.
double firstTime(uint8_t code, int skip = 0)
{
    for (const music::PlayedEvent& e : played().events) {
        if (e.code == code && skip-- == 0) return e.seconds;
    }
    return -1.0;
}

// Calls visit(pattern, row, channel, letter, parameter, note) for every cell of the module's patterns.
template <typename Visit>
void everyCell(Visit visit)
{
    std::ostringstream log;
    openmpt::module module(moduleFile(), log);
    for (int p = 0; p < module.get_num_patterns(); ++p) {
        for (int r = 0; r < module.get_pattern_num_rows(p); ++r) {
            for (int c = 0; c < module.get_num_channels(); ++c) {
                visit(p, r, c, module.format_pattern_row_channel_command(p, r, c, openmpt::module::command_effect),
                      module.get_pattern_row_channel_command(p, r, c, openmpt::module::command_parameter),
                      module.get_pattern_row_channel_command(p, r, c, openmpt::module::command_note));
            }
        }
    }
}

}  // namespace

TEST(Module, LoadsAsAnITModuleUnderItsImageName)
{
    ASSERT_FALSE(moduleFile().empty()) << K3L_MODULE_PATH;
    EXPECT_EQ(played().type, "it");
    EXPECT_EQ(std::filesystem::path(K3L_MODULE_PATH).filename(), "zelto-07.tga");
}

TEST(Module, TheBuildWritesTheComposersModule)
{
    EXPECT_TRUE(music::moduleBytes() == moduleFile()) << "build/data/zelto-07.tga is stale";
}

// Two runs of the composer into two fresh directories write the same bytes.
TEST(Module, ComposingTwiceGivesTheSameBytes)
{
    const std::filesystem::path root = std::filesystem::temp_directory_path() / "k3l-music-twice";
    std::filesystem::remove_all(root);
    std::vector<std::vector<uint8_t>> outputs;
    for (const char* name : {"a", "b"}) {
        std::filesystem::create_directories(root / name);
        const std::string file = (root / name / "zelto-07.tga").string();
        const std::string command = std::string("'") + K3L_COMPOSE_MUSIC + "' '" + file + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        outputs.push_back(music::readFile(file));
    }
    std::filesystem::remove_all(root);
    ASSERT_GT(outputs[0].size(), 100000u);
    EXPECT_TRUE(outputs[0] == outputs[1]);
}

// The sync channel never plays a note, and no channel that plays notes carries a Zxx.
TEST(Module, ZxxOnlyOnAChannelWithoutNotes)
{
    std::set<int> withNotes;
    std::set<int> withSync;
    everyCell([&](int, int, int channel, const std::string& letter, uint8_t, uint8_t note) {
        if (note != 0) withNotes.insert(channel);
        if (letter == "Z") withSync.insert(channel);
    });
    ASSERT_EQ(withSync.size(), 1u) << "one sync channel";
    EXPECT_EQ(withNotes.count(*withSync.begin()), 0u);
}

// A row repeated in place (SBx loops, SEx delays) is seen once by a row scanner: none are written.
TEST(Module, NoRowRepeatsInPlace)
{
    int repeats = 0;
    everyCell([&](int, int, int, const std::string& letter, uint8_t parameter, uint8_t) {
        if (letter == "S" && ((parameter >> 4) == 0xB || (parameter >> 4) == 0xE)) ++repeats;
    });
    EXPECT_EQ(repeats, 0);
}

// Speed and tempo are set on the first row (a loop back lands there), and every tempo keeps whole
// frames a tick at 44.1 kHz.
TEST(Module, TempoIsSetAtTheStartAndNeverDrifts)
{
    std::ostringstream log;
    openmpt::module module(moduleFile(), log);
    const int first = module.get_order_pattern(0);
    std::map<std::string, int> atStart;
    int tempos = 0;
    everyCell([&](int p, int r, int, const std::string& letter, uint8_t parameter, uint8_t) {
        if (p == first && r == 0 && (letter == "A" || letter == "T")) atStart[letter] = parameter;
        if (letter == "T") {
            ++tempos;
            EXPECT_GE(parameter, 32) << "a tempo, not a slide";
            EXPECT_EQ(110250 % std::max<int>(parameter, 1), 0) << "tempo " << int(parameter) << " drifts";
        }
    });
    EXPECT_EQ(atStart["A"], music::SPEED);
    EXPECT_EQ(atStart["T"], music::TEMPO);
    EXPECT_GE(tempos, 1);
}

// What libopenmpt plays is what the composer meant: the same events on the same rows, each within a row of its time.
TEST(Timeline, PlaysTheIntendedEvents)
{
    const std::vector<music::SyncEvent> intended = music::syncEvents(music::song());
    const std::vector<music::PlayedEvent>& events = played().events;
    ASSERT_EQ(events.size(), intended.size());
    const double row = music::rowSeconds();
    for (size_t i = 0; i < events.size(); ++i) {
        SCOPED_TRACE("event " + std::to_string(i));
        EXPECT_EQ(events[i].code, intended[i].code);
        EXPECT_EQ(events[i].order, intended[i].row / music::ROWS_PER_PATTERN);
        EXPECT_EQ(events[i].row, intended[i].row % music::ROWS_PER_PATTERN);
        EXPECT_LT(std::fabs(events[i].seconds - intended[i].row * row), row);
    }
}

TEST(Timeline, UsesEveryEventTheShowKnowsAndEndsWithZ1B)
{
    std::set<uint8_t> codes;
    for (const music::PlayedEvent& e : played().events) codes.insert(e.code);
    for (const uint8_t code : {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x0A, 0x0C, 0x0D, 0x0E, 0x0F, 0x10,
                               0x11, 0x1B}) {
        EXPECT_EQ(codes.count(code), 1u) << "Z" << std::hex << int(code) << " is never used";
    }
    for (const uint8_t code : codes) {
        EXPECT_NE(music::meaning(code), "nothing") << "Z" << std::hex << int(code) << " means nothing to the show";
    }
    ASSERT_FALSE(played().events.empty());
    EXPECT_EQ(played().events.back().code, 0x1B);
    EXPECT_EQ(firstTime(0x1B), played().events.back().seconds) << "a single Z1B";
}

TEST(Timeline, LastsBetweenTwoAndAHalfAndFourMinutes)
{
    const double end = firstTime(0x1B);
    EXPECT_GE(end, 150.0);
    EXPECT_LE(end, 240.0);
    EXPECT_GE(played().songSeconds, end);
    EXPECT_LE(played().songSeconds, 240.0);
    EXPECT_NEAR(played().playedSeconds, played().songSeconds, 1.0) << "libopenmpt's length matches what it plays";
}

// Scenes 0 to 7 follow each other in order, each on screen for 10 s at least; scene 7 comes by the hand-over.
TEST(Timeline, EverySceneIsSeenLongEnoughInOrder)
{
    const std::vector<music::SceneSpan> spans = music::scenes(played().events, played().playedSeconds);
    ASSERT_EQ(spans.size(), 8u);
    for (size_t i = 0; i < spans.size(); ++i) {
        EXPECT_EQ(spans[i].scene, static_cast<int>(i));
        EXPECT_GE(spans[i].end - spans[i].start, 10.0) << "scene " << i;
    }
    EXPECT_EQ(firstTime(0x07), -1.0) << "the hand-over alone brings the closing card";
}

// The closing card fades in only once the hand-over has happened, with room for a show whose ticks
// run a quarter slow, and stays fully visible for a few seconds before the end.
TEST(Timeline, TheClosingCardFadesInAfterTheHandOver)
{
    const double fade = firstTime(0x11);
    const double cardFade = firstTime(0x11, 1);
    ASSERT_GE(fade, 0.0);
    ASSERT_GE(cardFade, 0.0);
    EXPECT_EQ(music::sceneAfter(played().events)[0], 0);
    EXPECT_GE(cardFade - fade, music::HANDOVER_AFTER * 1.25);
    EXPECT_GE(firstTime(0x1B) - (cardFade + music::HANDOVER_AFTER), 3.0);
    EXPECT_GT(fade, firstTime(0x10)) << "the fade starts after the lattice's last spin";
}

// The show's document is the timeline tool's output for this module.
TEST(ShowDoc, MatchesTheMusic)
{
    const std::vector<uint8_t> committed = music::readFile(K3L_SHOW_DOC);
    const std::string expected = music::showDocument(played());
    EXPECT_EQ(std::string(committed.begin(), committed.end()), expected)
        << "docs/show.md is out of date: run `make show-doc` in the build directory";
}
