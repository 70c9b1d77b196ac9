// The timeline's words for the show's own music: every event of the module, as its take finds it,
// labelled as the show's sync vocabulary says.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "platform/module_render.h"
#include "studio/song_take.h"
#include "studio/view.h"

namespace {

// What each code of the show's music means, written out (the closing card comes by the fade, not by a cut).
const std::map<int, std::string> WORDS = {
    {0x00, "credits"}, {0x01, "afraid"},     {0x02, "confidence"}, {0x03, "scoramento"}, {0x04, "wisdom"},
    {0x05, "tunnel"},  {0x06, "lattice"},    {0x0A, "beat"},       {0x0C, "showVersus"},
    {0x0D, "wisdomAlt"}, {0x0E, "spinX"},    {0x0F, "spinY"},      {0x10, "spinZ"},      {0x11, "fade"},
    {0x1B, "end"},
};

TEST(Timeline, LabelsEveryEventOfTheShowsMusicByWhatItDoes)
{
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(readModuleFile(K3L_DATA_DIR "/zelto-07.tga", bytes));
    std::string error;
    SongTake* take = startSongTake(std::move(bytes), error);
    ASSERT_NE(take, nullptr) << error;
    waitForTake(*take, INT64_MAX);
    std::vector<SongEvent> events;
    std::vector<SongRow> rows;
    copyTake(*take, events, rows);
    endSongTake(take);
    ASSERT_GT(events.size(), 100u);
    std::map<int, int> seen;
    for (const SongEvent& event : events) {
        const auto words = WORDS.find(event.parameter);
        ASSERT_NE(words, WORDS.end()) << "the show's music uses code " << int{event.parameter} << ", not in the table";
        EXPECT_EQ(timelineWords(event.parameter), words->second) << "code " << int{event.parameter};
        ++seen[event.parameter];
    }
    EXPECT_EQ(seen.size(), WORDS.size()) << "the table names codes the music never uses";
    EXPECT_EQ(timelineWords(0x42), "Z42");  // a code the show ignores keeps its number
}

}  // namespace
