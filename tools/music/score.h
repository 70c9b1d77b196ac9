#pragma once
// A song written as readable lines of notes, drum grids and chord names, and
// its arrangement into an IT module: notes become cells, released notes fade
// out with volume slides before they are cut, and sync events (Zxx) go on a
// channel that never plays a note.
//
// Notation, one token or character per step of rows:
//   melodic lines  "E5 . . D5 . - C#5 |"  a note name starts a note (legato when
//                  one sounds), '.' changes nothing, '-' releases, '|' is only a bar line
//   drum grids     "x...x..o"  'X' accent, 'x' hit, 'o' soft hit, '.' nothing
//   bass grids     "r.o-f..."  'r' root, 'o' octave above, 'f' fifth, '-' release, '.' nothing
//   arpeggios      "0.1.2.3."  chord tone: 0 root, 1 third, 2 fifth, 3-5 the same an octave up
//   progressions   "Am F . -"  one chord per bar: a name, '.' holds, '-' releases
#include <cstdint>
#include <string>
#include <vector>

#include "itwriter/itwriter.h"
#include "synth.h"
#include "sync/sync_codes.h"

namespace music {

constexpr int TEMPO = 125;            // IT tempo (BPM); 110250 / 125 is whole, so no drift at 44.1 kHz
constexpr int SPEED = 6;              // ticks per row
constexpr int ROWS_PER_BEAT = 4;      // a row is a sixteenth note
constexpr int ROWS_PER_BAR = 16;      // 4/4
constexpr int ROWS_PER_PATTERN = 64;  // four bars

// Seconds one row lasts at TEMPO and SPEED at 44.1 kHz (whole frames per tick).
double rowSeconds();

// How a line is played: where, with what, how loud, how it ends.
struct Voice {
    int channel = 0;
    int sample = 0;          // SampleNumber
    int volume = 64;         // 0..64
    int releaseRows = -1;    // rows a released note takes to fade out; -1: one-shot, plays out
    bool vibrato = false;    // notes of two beats or more get a gentle vibrato after their first beat
};

// One note of the song.
struct Note {
    int row = 0;             // from the start of the song
    int channel = 0;
    int sample = 0;
    int pitch = itw::C5;     // IT note number
    int volume = 64;         // 0..64
    int releaseRow = -1;     // row where the fade starts; -1 for a one-shot
    int releaseRows = 0;     // rows the fade takes
    bool vibrato = false;
};

// One sync event: the Zxx byte and the row it sits on, from the start of the song.
struct SyncEvent {
    int row = 0;
    uint8_t code = 0;
};

// The whole song before arrangement.
struct Score {
    int bars = 0;
    int channels = 0;
    int syncChannel = 0;
    uint8_t globalVolume = 128;          // 0..128
    uint8_t mixVolume = 48;              // 0..128
    std::vector<uint8_t> pans;           // per channel, 0..64
    std::vector<uint8_t> channelVolumes; // per channel, 0..64
    std::vector<Note> notes;
    std::vector<SyncEvent> marks;        // cuts, toggles, fades and the end
    std::vector<int> pulses;             // rows with a beat (Z0A), unless a mark holds the row
};

// IT note number of a name like "A4", "C#5" or "Bb3"; throws on anything else.
int pitchOf(const std::string& name);

// Drum hits from a grid repeated over `bars` bars from `bar` on.
void hits(Score& score, int bar, int bars, const Voice& voice, const std::string& grid);

// A melodic line from `bar` on, one token every `step` rows, transposed by `transpose` semitones.
void line(Score& score, int bar, const Voice& voice, int step, const std::string& text, int transpose = 0);

// A line of one-shots whose notes alternate between two voices, so that each rings under the next.
void lineAlternating(Score& score, int bar, const Voice& a, const Voice& b, int step, const std::string& text,
                     int transpose = 0);

// Three-voice pad chords from `bar` on, one per bar; each change crossfades between two sets of channels.
void chords(Score& score, int bar, const std::string& progression, const Voice& setA, const Voice& setB);

// A bass line: the grid, repeated each bar (or every grid length), on the roots of the progression.
void bassline(Score& score, int bar, const std::string& progression, const Voice& voice, const std::string& grid);

// Arpeggiated chord tones from the progression, one-shots alternating between two voices.
void arpeggio(Score& score, int bar, const std::string& progression, const Voice& a, const Voice& b,
              const std::string& pattern, int octave);

// Beats (Z0A) from a grid repeated over `bars` bars.
void pulses(Score& score, int bar, int bars, const std::string& grid);

// A sync event at a row of a bar.
void mark(Score& score, int bar, int row, uint8_t code);

// Copies one channel's notes that start in bars [firstBar, endBar) onto another,
// `delayRows` later and quieter: an echo.
void echo(Score& score, int fromChannel, int toChannel, int delayRows, double volumeScale, int firstBar, int endBar);

// The sync events in row order: the marks, and the pulses on rows no mark holds. Throws when two marks share a row.
std::vector<SyncEvent> syncEvents(const Score& score);

// The module: the score's cells in 64-row patterns, speed and tempo set on the first row.
itw::Module arrange(const Score& score, const std::vector<Instrument>& instruments);

}  // namespace music
