#include "score.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>
#include <stdexcept>
#include <tuple>

namespace music {

namespace {

constexpr int PAD_LOW = 55;          // G-3: the lowest note of a pad voicing
constexpr int BASS_LOW = 19;         // G-1: the lowest root of the bass
constexpr int SLIDE_DOWN = 95;       // IT volume column: 95 + x slides down by x a tick
constexpr int TICKS_SLIDING = SPEED - 1;  // volume-column slides act on every tick but the first
constexpr uint8_t VIBRATO = 0x62;    // H62: a gentle vibrato, speed 6, depth 2
constexpr int VIBRATO_MIN_ROWS = 8;  // notes at least this long get vibrato
constexpr int VIBRATO_DELAY = 4;     // rows before it starts

// The pitch classes of a chord and its root, from a name like "Am", "F", "Esus4" or "Bb".
struct Chord {
    int root = 0;                  // pitch class, 0 = C
    std::vector<int> intervals;    // semitones above the root
};

// Pitch class of a note letter with an optional sharp or flat; advances `at` past it.
int pitchClass(const std::string& text, size_t& at)
{
    static const std::map<char, int> letters = {{'C', 0}, {'D', 2}, {'E', 4}, {'F', 5},
                                                {'G', 7}, {'A', 9}, {'B', 11}};
    const auto letter = at < text.size() ? letters.find(text[at]) : letters.end();
    if (letter == letters.end()) {
        throw std::runtime_error("not a note name: " + text);
    }
    int pc = letter->second;
    ++at;
    if (at < text.size() && (text[at] == '#' || text[at] == 'b')) {
        pc += text[at] == '#' ? 1 : -1;
        ++at;
    }
    return (pc + 12) % 12;
}

// The chord a name stands for.
Chord chordOf(const std::string& name)
{
    size_t at = 0;
    Chord chord;
    chord.root = pitchClass(name, at);
    const std::string quality = name.substr(at);
    if (quality.empty()) chord.intervals = {0, 4, 7};
    else if (quality == "m") chord.intervals = {0, 3, 7};
    else if (quality == "sus4") chord.intervals = {0, 5, 7};
    else if (quality == "sus2") chord.intervals = {0, 2, 7};
    else throw std::runtime_error("unknown chord: " + name);
    return chord;
}

// Splits text at spaces and bar lines.
std::vector<std::string> tokens(std::string text)
{
    std::replace(text.begin(), text.end(), '|', ' ');
    std::istringstream in(text);
    std::vector<std::string> out;
    std::string token;
    while (in >> token) {
        out.push_back(token);
    }
    return out;
}

// Drops spaces and bar lines from a grid.
std::string compact(const std::string& grid)
{
    std::string out;
    for (const char c : grid) {
        if (c != ' ' && c != '|') {
            out.push_back(c);
        }
    }
    return out;
}

// A note of a voice at a row.
Note noteOf(const Voice& voice, int row, int pitch, int volume)
{
    Note note;
    note.row = row;
    note.channel = voice.channel;
    note.sample = voice.sample;
    note.pitch = pitch;
    note.volume = std::clamp(volume, 0, 64);
    note.releaseRows = voice.releaseRows;
    note.vibrato = voice.vibrato;
    return note;
}

// Releases the sounding sustained note, if any, at a row.
void release(Score& score, int& sounding, int row)
{
    if (sounding >= 0) {
        score.notes[static_cast<size_t>(sounding)].releaseRow = row;
        sounding = -1;
    }
}

// Starts a note; a sustained one is remembered as sounding until released or replaced.
void start(Score& score, int& sounding, const Note& note)
{
    release(score, sounding, note.row);
    score.notes.push_back(note);
    if (note.releaseRows >= 0) {
        sounding = static_cast<int>(score.notes.size()) - 1;
        score.notes.back().releaseRow = -1;
    }
}

// One progression token per bar: the chord names with '.' and '-' kept.
std::vector<std::string> bars(const std::string& progression) { return tokens(progression); }

// The volume-column byte or effect that takes `volume` to silence in `rows` rows.
void fadeStep(itw::Cell& cell, int volume, int rows)
{
    const int perRow = (volume + rows - 1) / std::max(rows, 1);
    if (perRow >= TICKS_SLIDING) {
        const int perTick = std::min(9, (perRow + TICKS_SLIDING - 1) / TICKS_SLIDING);
        cell.volume = SLIDE_DOWN + perTick;
    } else {
        cell.effect = 'D';
        cell.parameter = static_cast<uint8_t>(0xF0 | std::max(1, perRow));  // fine slide down, once a row
    }
}

}  // namespace

double rowSeconds()
{
    const int framesPerTick = RATE * 5 / 2 / TEMPO;  // floor(rate × 2.5 / tempo)
    return static_cast<double>(SPEED * framesPerTick) / RATE;
}

int pitchOf(const std::string& name)
{
    size_t at = 0;
    const int pc = pitchClass(name, at);
    if (at + 1 != name.size() || name[at] < '0' || name[at] > '9') {
        throw std::runtime_error("not a note name: " + name);
    }
    int octave = name[at] - '0';
    // B#/Cb cross the octave line: keep the written octave of the letter.
    if (name[0] == 'C' && pc == 11) --octave;
    if (name[0] == 'B' && pc == 0) ++octave;
    return octave * 12 + pc;
}

void hits(Score& score, int bar, int barCount, const Voice& voice, const std::string& grid)
{
    const std::string cells = compact(grid);
    const int first = bar * ROWS_PER_BAR;
    for (int i = 0; i < barCount * ROWS_PER_BAR; ++i) {
        const char c = cells[static_cast<size_t>(i) % cells.size()];
        int volume = 0;
        switch (c) {
        case 'X': volume = voice.volume + voice.volume / 4; break;
        case 'x': volume = voice.volume; break;
        case 'o': volume = voice.volume * 3 / 5; break;
        case '.': continue;
        default: throw std::runtime_error(std::string("bad drum cell: ") + c);
        }
        score.notes.push_back(noteOf(voice, first + i, itw::C5, volume));
    }
}

void line(Score& score, int bar, const Voice& voice, int step, const std::string& text, int transpose)
{
    int sounding = -1;
    int row = bar * ROWS_PER_BAR;
    for (const std::string& token : tokens(text)) {
        if (token == "-") {
            release(score, sounding, row);
        } else if (token != ".") {
            start(score, sounding, noteOf(voice, row, pitchOf(token) + transpose, voice.volume));
        }
        row += step;
    }
    release(score, sounding, row);
}

void lineAlternating(Score& score, int bar, const Voice& a, const Voice& b, int step, const std::string& text,
                     int transpose)
{
    int row = bar * ROWS_PER_BAR;
    int count = 0;
    for (const std::string& token : tokens(text)) {
        if (token != "." && token != "-") {
            const Voice& voice = count++ % 2 == 0 ? a : b;
            score.notes.push_back(noteOf(voice, row, pitchOf(token) + transpose, voice.volume));
        }
        row += step;
    }
}

void chords(Score& score, int bar, const std::string& progression, const Voice& setA, const Voice& setB)
{
    int sounding[2][3] = {{-1, -1, -1}, {-1, -1, -1}};
    int row = bar * ROWS_PER_BAR;
    // Begin on the first set unless it still holds an earlier chord, which then fades under the new one.
    bool firstSetHeld = false;
    for (const Note& note : score.notes) {
        const bool onFirstSet = note.channel >= setA.channel && note.channel < setA.channel + 3;
        firstSetHeld |= onFirstSet && note.row < row && (note.releaseRow < 0 || note.releaseRow >= row);
    }
    int set = firstSetHeld ? 0 : 1;  // flips before each chord
    for (const std::string& name : bars(progression)) {
        if (name == "-") {
            for (int v = 0; v < 3; ++v) release(score, sounding[set][v], row);
        } else if (name != ".") {
            const Chord chord = chordOf(name);
            for (int v = 0; v < 3; ++v) release(score, sounding[set][v], row);
            set = 1 - set;
            const Voice& base = set == 0 ? setA : setB;
            for (int v = 0; v < 3; ++v) {
                const int pc = (chord.root + chord.intervals[static_cast<size_t>(v)]) % 12;
                const int pitch = PAD_LOW + (pc - PAD_LOW % 12 + 12) % 12;
                Voice voice = base;
                voice.channel = base.channel + v;
                start(score, sounding[set][v], noteOf(voice, row, pitch, voice.volume));
            }
        }
        row += ROWS_PER_BAR;
    }
    for (int v = 0; v < 3; ++v) release(score, sounding[set][v], row);
}

void bassline(Score& score, int bar, const std::string& progression, const Voice& voice, const std::string& grid)
{
    const std::string cells = compact(grid);
    int sounding = -1;
    int row = bar * ROWS_PER_BAR;
    int root = -1;
    size_t cell = 0;
    for (const std::string& name : bars(progression)) {
        if (name == "-") {
            release(score, sounding, row);
            root = -1;
        } else if (name != ".") {
            const int pc = chordOf(name).root;
            root = BASS_LOW + (pc - BASS_LOW % 12 + 12) % 12;
        }
        for (int i = 0; i < ROWS_PER_BAR; ++i, ++cell) {
            const char c = cells[cell % cells.size()];
            if (root < 0 || c == '.') continue;
            switch (c) {
            case 'r': start(score, sounding, noteOf(voice, row + i, root, voice.volume)); break;
            case 'o': start(score, sounding, noteOf(voice, row + i, root + 12, voice.volume)); break;
            case 'f': start(score, sounding, noteOf(voice, row + i, root + 7, voice.volume)); break;
            case '-': release(score, sounding, row + i); break;
            default: throw std::runtime_error(std::string("bad bass cell: ") + c);
            }
        }
        row += ROWS_PER_BAR;
    }
    release(score, sounding, row);
}

void arpeggio(Score& score, int bar, const std::string& progression, const Voice& a, const Voice& b,
              const std::string& pattern, int octave)
{
    const std::string cells = compact(pattern);
    int row = bar * ROWS_PER_BAR;
    int alternate = 0;
    size_t cell = 0;
    std::vector<int> tones;
    for (const std::string& name : bars(progression)) {
        if (name == "-") {
            tones.clear();
        } else if (name != ".") {
            const Chord chord = chordOf(name);
            tones.clear();
            for (const int interval : chord.intervals) {
                tones.push_back(octave * 12 + chord.root + interval);
            }
        }
        for (int i = 0; i < ROWS_PER_BAR; ++i, ++cell) {
            const char c = cells[cell % cells.size()];
            if (tones.empty() || c == '.') continue;
            if (c < '0' || c > '5') throw std::runtime_error(std::string("bad arpeggio cell: ") + c);
            const int index = c - '0';
            const int pitch = tones[static_cast<size_t>(index % 3)] + 12 * (index / 3);
            const Voice& voice = alternate++ % 2 == 0 ? a : b;
            score.notes.push_back(noteOf(voice, row + i, pitch, voice.volume));
        }
        row += ROWS_PER_BAR;
    }
}

void pulses(Score& score, int bar, int barCount, const std::string& grid)
{
    const std::string cells = compact(grid);
    for (int i = 0; i < barCount * ROWS_PER_BAR; ++i) {
        if (cells[static_cast<size_t>(i) % cells.size()] != '.') {
            score.pulses.push_back(bar * ROWS_PER_BAR + i);
        }
    }
}

void mark(Score& score, int bar, int row, uint8_t code)
{
    score.marks.push_back(SyncEvent{bar * ROWS_PER_BAR + row, code});
}

void echo(Score& score, int fromChannel, int toChannel, int delayRows, double volumeScale, int firstBar, int endBar)
{
    std::vector<Note> copies;
    for (const Note& note : score.notes) {
        if (note.channel != fromChannel || note.row < firstBar * ROWS_PER_BAR || note.row >= endBar * ROWS_PER_BAR) {
            continue;
        }
        Note copy = note;
        copy.channel = toChannel;
        copy.row += delayRows;
        copy.releaseRow = note.releaseRow < 0 ? -1 : note.releaseRow + delayRows;
        copy.volume = static_cast<int>(std::lround(note.volume * volumeScale));
        copy.vibrato = false;
        if (copy.row < score.bars * ROWS_PER_BAR) copies.push_back(copy);
    }
    score.notes.insert(score.notes.end(), copies.begin(), copies.end());
}

std::vector<SyncEvent> syncEvents(const Score& score)
{
    std::map<int, uint8_t> byRow;
    for (const int row : score.pulses) {
        byRow[row] = SYNC_BEAT;
    }
    std::map<int, bool> marked;
    for (const SyncEvent& event : score.marks) {
        if (marked[event.row]) {
            throw std::runtime_error("two sync marks on row " + std::to_string(event.row));
        }
        marked[event.row] = true;
        byRow[event.row] = event.code;
    }
    std::vector<SyncEvent> out;
    for (const auto& [row, code] : byRow) {
        out.push_back(SyncEvent{row, code});
    }
    return out;
}

itw::Module arrange(const Score& score, const std::vector<Instrument>& instruments)
{
    const int rows = score.bars * ROWS_PER_BAR;
    std::vector<std::vector<itw::Cell>> grid(static_cast<size_t>(rows),
                                             std::vector<itw::Cell>(static_cast<size_t>(score.channels)));
    auto cellAt = [&](int row, int channel) -> itw::Cell& {
        if (row < 0 || row >= rows || channel < 0 || channel >= score.channels) {
            throw std::runtime_error("cell outside the song: row " + std::to_string(row));
        }
        return grid[static_cast<size_t>(row)][static_cast<size_t>(channel)];
    };

    std::vector<std::vector<Note>> byChannel(static_cast<size_t>(score.channels));
    for (const Note& note : score.notes) {
        if (note.channel == score.syncChannel) {
            throw std::runtime_error("a note on the sync channel");
        }
        cellAt(note.row, note.channel);
        byChannel[static_cast<size_t>(note.channel)].push_back(note);
    }
    for (std::vector<Note>& notes : byChannel) {
        std::stable_sort(notes.begin(), notes.end(), [](const Note& a, const Note& b) { return a.row < b.row; });
        for (size_t i = 0; i < notes.size(); ++i) {
            const Note& note = notes[i];
            const int next = i + 1 < notes.size() ? notes[i + 1].row : rows;
            if (next == note.row) {
                throw std::runtime_error("two notes on channel " + std::to_string(note.channel) + " at row " +
                                         std::to_string(note.row));
            }
            itw::Cell& cell = cellAt(note.row, note.channel);
            cell.note = note.pitch;
            cell.sample = note.sample;
            cell.volume = note.volume;
            const int heldUntil = note.releaseRow < 0 ? next : std::min(note.releaseRow, next);
            if (note.vibrato && heldUntil - note.row >= VIBRATO_MIN_ROWS) {
                for (int r = note.row + VIBRATO_DELAY; r < heldUntil; ++r) {
                    cellAt(r, note.channel).effect = 'H';
                    cellAt(r, note.channel).parameter = VIBRATO;
                }
            }
            if (note.releaseRow < 0 || note.releaseRow >= next) continue;
            const int fadeRows = std::max(1, note.releaseRows);
            for (int r = note.releaseRow; r < note.releaseRow + fadeRows && r < next; ++r) {
                fadeStep(cellAt(r, note.channel), note.volume, fadeRows);
            }
            if (note.releaseRow + fadeRows < next) {
                cellAt(note.releaseRow + fadeRows, note.channel).note = itw::NOTE_CUT;
            }
        }
    }

    for (const SyncEvent& event : syncEvents(score)) {
        itw::Cell& cell = cellAt(event.row, score.syncChannel);
        cell.effect = 'Z';
        cell.parameter = event.code;
    }

    // Speed and tempo on the first row, so that a loop back to the start plays in time.
    for (const auto& [channel, effect, parameter] :
         {std::tuple<int, char, int>{0, 'A', SPEED}, std::tuple<int, char, int>{1, 'T', TEMPO}}) {
        itw::Cell& cell = cellAt(0, channel);
        if (cell.effect != 0) throw std::runtime_error("row 0 needs a free effect for speed and tempo");
        cell.effect = effect;
        cell.parameter = static_cast<uint8_t>(parameter);
    }

    itw::Module module;
    module.name = "k3lvana";
    module.channels = score.channels;
    module.initialSpeed = SPEED;
    module.initialTempo = TEMPO;
    module.globalVolume = score.globalVolume;
    module.mixVolume = score.mixVolume;
    for (int c = 0; c < score.channels; ++c) {
        module.channelPan[static_cast<size_t>(c)] = score.pans.at(static_cast<size_t>(c));
        module.channelVolume[static_cast<size_t>(c)] = score.channelVolumes.at(static_cast<size_t>(c));
    }
    for (const Instrument& instrument : instruments) {
        module.samples.push_back(instrument.sample);
    }
    for (int first = 0; first < rows; first += ROWS_PER_PATTERN) {
        const int count = std::min(ROWS_PER_PATTERN, rows - first);
        itw::Pattern pattern(count, score.channels);
        for (int r = 0; r < count; ++r) {
            pattern.cells[static_cast<size_t>(r)] = grid[static_cast<size_t>(first + r)];
        }
        module.orders.push_back(static_cast<uint8_t>(module.patterns.size()));
        module.patterns.push_back(pattern);
    }
    return module;
}

}  // namespace music
