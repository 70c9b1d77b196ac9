#pragma once
// Writes Impulse Tracker (IT) modules in sample mode (no instruments), with an
// embedded, empty MIDI macro configuration so that Zxx effects only carry
// sync bytes and never change the sound.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace itw {

constexpr int MAX_CHANNELS = 64;
constexpr int MAX_ROWS = 200;
constexpr int NOTE_NONE = -1;  // no note in the cell
constexpr int NOTE_CUT = 254;  // ^^^ in a tracker
constexpr int NOTE_OFF = 255;  // === in a tracker
constexpr int C5 = 60;         // note number of C-5
constexpr int VOLUME_NONE = -1;

// One mono sample, 16-bit signed.
struct Sample {
    std::string name;                 // up to 25 characters
    std::vector<int16_t> frames;
    bool loop = false;
    uint32_t loopBegin = 0;           // frames
    uint32_t loopEnd = 0;             // frames, one past the last looped frame
    uint32_t c5Speed = 44100;         // Hz at which C-5 plays the sample as recorded
    uint8_t globalVolume = 64;        // 0..64
    uint8_t defaultVolume = 64;       // 0..64
};

// One cell of a pattern.
struct Cell {
    int note = NOTE_NONE;   // 0..119 (C-0..B-9), NOTE_CUT, NOTE_OFF or NOTE_NONE
    int sample = 0;         // 1-based sample number, 0 for none
    int volume = VOLUME_NONE;  // 0..64, or a raw IT volume-column byte up to 212
    char effect = 0;        // 'A'..'Z', or 0 for none
    uint8_t parameter = 0;
};

// A pattern: rows of cells, one per channel.
struct Pattern {
    int rows = 64;
    std::vector<std::vector<Cell>> cells;  // [row][channel]; missing rows or channels are empty

    explicit Pattern(int rowCount = 64, int channelCount = 0);
    Cell& at(int row, int channel);
};

struct Module {
    std::string name;                  // up to 25 characters
    int channels = 4;                  // 1..64 channels in use
    uint8_t initialSpeed = 6;          // ticks per row
    uint8_t initialTempo = 125;        // BPM; a tick lasts 2.5 / tempo seconds
    uint8_t globalVolume = 128;        // 0..128
    uint8_t mixVolume = 48;            // 0..128
    std::array<uint8_t, MAX_CHANNELS> channelPan{};     // 0..64 (32 centre); filled by the constructor
    std::array<uint8_t, MAX_CHANNELS> channelVolume{};  // 0..64; filled by the constructor
    std::vector<uint8_t> orders;       // pattern numbers; 254 skips; the writer adds the end mark
    std::vector<Sample> samples;
    std::vector<Pattern> patterns;
    bool compressSamples = false;      // samples in IT 2.14/2.15 compression: fewer bytes, the same frames decoded

    Module();
};

// The module as IT file bytes.
std::vector<uint8_t> writeIT(const Module& module);

// A 16-bit sample's frames in Impulse Tracker's own lossless compression: blocks of 0x4000
// frames, each a 16-bit byte count and a bit stream of deltas (deltas of deltas when
// `doubleDelta`, IT 2.15) in widths it changes as it goes, chosen for the fewest bits.
std::vector<uint8_t> compressSample(const std::vector<int16_t>& frames, bool doubleDelta);

// Writes the module to a file; false when the file cannot be written.
bool saveIT(const Module& module, const std::string& path);

}  // namespace itw
