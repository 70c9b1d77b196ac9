// The score notation and its arrangement into pattern cells.
#include <gtest/gtest.h>

#include <set>
#include <stdexcept>

#include "score.h"
#include "song.h"

namespace {

// A small score with four channels, the last for sync.
music::Score smallScore(int bars)
{
    music::Score score;
    score.bars = bars;
    score.channels = 4;
    score.syncChannel = 3;
    score.pans.assign(4, 32);
    score.channelVolumes.assign(4, 64);
    return score;
}

// The arranged cell at a row counted from the song's start.
const itw::Cell& cellAt(const itw::Module& module, int row, int channel)
{
    const itw::Pattern& pattern = module.patterns.at(static_cast<size_t>(row / music::ROWS_PER_PATTERN));
    return pattern.cells.at(static_cast<size_t>(row % music::ROWS_PER_PATTERN)).at(static_cast<size_t>(channel));
}

// Volume a fade step takes off over one row at SPEED (volume column slides skip the first tick).
int fadePerRow(const itw::Cell& cell)
{
    if (cell.volume >= 95 && cell.volume <= 104) return (cell.volume - 95) * (music::SPEED - 1);
    if (cell.effect == 'D' && (cell.parameter & 0xF0) == 0xF0) return cell.parameter & 0x0F;
    return 0;
}

}  // namespace

TEST(Score, NoteNamesFollowTrackerNumbering)
{
    EXPECT_EQ(music::pitchOf("C5"), itw::C5);
    EXPECT_EQ(music::pitchOf("A4"), 57);
    EXPECT_EQ(music::pitchOf("C#5"), 61);
    EXPECT_EQ(music::pitchOf("Bb3"), 46);
    EXPECT_EQ(music::pitchOf("G#4"), 56);
    EXPECT_THROW(music::pitchOf("H4"), std::runtime_error);
    EXPECT_THROW(music::pitchOf("C"), std::runtime_error);
    EXPECT_THROW(music::pitchOf("C55"), std::runtime_error);
}

TEST(Score, RowsLastWholeFramesAndNeverDrift)
{
    // 882 frames a tick at tempo 125: exactly 0.12 s a row at speed 6.
    EXPECT_EQ(music::RATE * 5 % (2 * music::TEMPO), 0) << "110250 / tempo is whole";
    EXPECT_DOUBLE_EQ(music::rowSeconds(), 6.0 * 882.0 / 44100.0);
}

// A released note fades to silence before it is cut; a note followed at once by another is replaced.
TEST(Score, ReleasedNotesFadeOutBeforeTheCut)
{
    music::Score score = smallScore(1);
    const music::Voice voice{0, 1, 48, 3};
    music::line(score, 0, voice, 2, "C5 . D5 . - . . .");
    const itw::Module module = music::arrange(score, {});
    EXPECT_EQ(cellAt(module, 0, 0).note, itw::C5);
    EXPECT_EQ(cellAt(module, 0, 0).volume, 48);
    EXPECT_EQ(cellAt(module, 4, 0).note, 62) << "D5 replaces C5 with no fade in between";
    EXPECT_EQ(fadePerRow(cellAt(module, 3, 0)), 0);
    int faded = 0;
    for (int row = 8; row < 11; ++row) {
        EXPECT_EQ(cellAt(module, row, 0).note, itw::NOTE_NONE);
        faded += fadePerRow(cellAt(module, row, 0));
    }
    EXPECT_GE(faded, 48) << "the fade reaches silence";
    EXPECT_EQ(cellAt(module, 11, 0).note, itw::NOTE_CUT);
}

// Slow fades that a volume-column slide cannot make fine enough go to fine slides in the effect column.
TEST(Score, LongFadesUseFineSlides)
{
    music::Score score = smallScore(2);
    music::line(score, 0, music::Voice{1, 1, 20, 16}, 16, "A4 -");
    const itw::Module module = music::arrange(score, {});
    int faded = 0;
    for (int row = 16; row < 32; ++row) {
        EXPECT_EQ(cellAt(module, row, 1).effect, 'D');
        faded += fadePerRow(cellAt(module, row, 1));
    }
    EXPECT_GE(faded, 20);
}

TEST(Score, DrumGridsSetVolumesPerHit)
{
    music::Score score = smallScore(1);
    music::hits(score, 0, 1, music::Voice{0, 2, 40}, "X.x.o...");
    const itw::Module module = music::arrange(score, {});
    EXPECT_EQ(cellAt(module, 0, 0).volume, 50);
    EXPECT_EQ(cellAt(module, 2, 0).volume, 40);
    EXPECT_EQ(cellAt(module, 4, 0).volume, 24);
    EXPECT_EQ(cellAt(module, 8, 0).volume, 50) << "the grid repeats across the bar";
    EXPECT_EQ(cellAt(module, 1, 0).note, itw::NOTE_NONE);
}

TEST(Score, ChordsAreVoicedCloseAndCrossfadeBetweenChannelSets)
{
    music::Score score = smallScore(2);
    score.channels = 7;
    score.syncChannel = 6;
    score.pans.assign(7, 32);
    score.channelVolumes.assign(7, 64);
    music::chords(score, 0, "Am F", music::Voice{0, 1, 30, 4}, music::Voice{3, 1, 30, 4});
    const itw::Module module = music::arrange(score, {});
    auto chordAt = [&](int row, int firstChannel) {
        std::multiset<int> notes;
        for (int c = firstChannel; c < firstChannel + 3; ++c) notes.insert(cellAt(module, row, c).note);
        return notes;
    };
    EXPECT_EQ(chordAt(0, 0), (std::multiset<int>{57, 60, 64}));   // A minor from A-4 up: A C E
    EXPECT_EQ(chordAt(16, 3), (std::multiset<int>{57, 60, 65}));  // F major over A: A C F
    EXPECT_GT(fadePerRow(cellAt(module, 16, 0)), 0) << "A minor fades while F major enters";
    EXPECT_EQ(cellAt(module, 20, 0).note, itw::NOTE_CUT);
}

// A section's first chord goes to the set of channels that the previous section's last chord leaves free.
TEST(Score, ChordsAfterChordsStartOnTheFreeSet)
{
    music::Score score = smallScore(2);
    score.channels = 7;
    score.syncChannel = 6;
    score.pans.assign(7, 32);
    score.channelVolumes.assign(7, 64);
    const music::Voice a{0, 1, 30, 4};
    const music::Voice b{3, 1, 30, 4};
    music::chords(score, 0, "C", a, b);
    music::chords(score, 1, "G", a, b);
    const itw::Module module = music::arrange(score, {});
    EXPECT_EQ(cellAt(module, 16, 3).note, 55) << "G enters on the second set";
    EXPECT_GT(fadePerRow(cellAt(module, 16, 0)), 0) << "while C fades on the first";
}

TEST(Score, SyncMarksTakeTheirRowFromABeat)
{
    music::Score score = smallScore(1);
    music::pulses(score, 0, 1, "x...");
    music::mark(score, 0, 4, 0x0D);
    const std::vector<music::SyncEvent> events = music::syncEvents(score);
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].code, 0x0A);
    EXPECT_EQ(events[1].row, 4);
    EXPECT_EQ(events[1].code, 0x0D);
    const itw::Module module = music::arrange(score, {});
    EXPECT_EQ(cellAt(module, 4, 3).effect, 'Z');
    EXPECT_EQ(cellAt(module, 4, 3).parameter, 0x0D);
}

TEST(Score, MistakesAreRefused)
{
    music::Score twoMarks = smallScore(1);
    music::mark(twoMarks, 0, 3, 0x0C);
    music::mark(twoMarks, 0, 3, 0x0D);
    EXPECT_THROW(music::syncEvents(twoMarks), std::runtime_error);

    music::Score onSync = smallScore(1);
    music::hits(onSync, 0, 1, music::Voice{3, 1, 40}, "x");
    EXPECT_THROW(music::arrange(onSync, {}), std::runtime_error);

    music::Score clash = smallScore(1);
    music::hits(clash, 0, 1, music::Voice{0, 1, 40}, "x...");
    music::hits(clash, 0, 1, music::Voice{0, 2, 40}, "x.......");
    EXPECT_THROW(music::arrange(clash, {}), std::runtime_error);

    music::Score past = smallScore(1);
    music::line(past, 1, music::Voice{0, 1, 40}, 1, "C5");
    EXPECT_THROW(music::arrange(past, {}), std::runtime_error);
}

TEST(Score, SpeedAndTempoOpenTheSong)
{
    const itw::Module module = music::arrange(smallScore(1), {});
    EXPECT_EQ(cellAt(module, 0, 0).effect, 'A');
    EXPECT_EQ(cellAt(module, 0, 0).parameter, music::SPEED);
    EXPECT_EQ(cellAt(module, 0, 1).effect, 'T');
    EXPECT_EQ(cellAt(module, 0, 1).parameter, music::TEMPO);
}

// The sections of the piece tile the song, one per scene in scene order.
TEST(Score, SectionsCoverTheSongSceneByScene)
{
    const std::vector<music::Section> sections = music::sections();
    const music::Score song = music::song();
    ASSERT_EQ(sections.size(), 8u);
    int bar = 0;
    for (size_t i = 0; i < sections.size(); ++i) {
        EXPECT_EQ(sections[i].scene, static_cast<int>(i));
        EXPECT_EQ(sections[i].firstBar, bar);
        bar += sections[i].bars;
    }
    EXPECT_EQ(bar, song.bars);
}
