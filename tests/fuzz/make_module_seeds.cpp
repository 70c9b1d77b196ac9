// Writes the module fuzzer's seed corpus: small IT modules from our IT writer that
// move the playing position every way a module can (loops, jumps, breaks, delays,
// tempo and speed changes, skipped and missing orders) with Z effects on many
// channels, and a tiny ProTracker module built by hand.
//   Usage: make_module_seeds <directory>
#include <cstdio>
#include <string>
#include <vector>

#include "itwriter/itwriter.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int SAMPLE_FRAMES = 32;  // frames: enough to sound, small enough to keep seeds short

// Writes bytes to a file; false on failure.
bool save(const std::string& path, const Bytes& bytes)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

// A short saw wave.
itw::Sample tinySample()
{
    itw::Sample sample;
    sample.name = "saw";
    for (int i = 0; i < SAMPLE_FRAMES; ++i) {
        sample.frames.push_back(static_cast<int16_t>(i * 1000 - 16000));
    }
    return sample;
}

// A module of `patterns` patterns of `rows` rows, one per order, a note every 4 rows on channel 0.
itw::Module base(int patterns, int rows, int channels, uint8_t speed = 3, uint8_t tempo = 150)
{
    itw::Module module;
    module.name = "fuzz seed";
    module.channels = channels;
    module.initialSpeed = speed;
    module.initialTempo = tempo;
    module.samples = {tinySample()};
    for (int p = 0; p < patterns; ++p) {
        itw::Pattern pattern(rows, channels);
        for (int row = 0; row < rows; row += 4) {
            pattern.at(row, 0) = itw::Cell{itw::C5, 1, 64, 0, 0};
        }
        module.patterns.push_back(pattern);
        module.orders.push_back(static_cast<uint8_t>(p));
    }
    return module;
}

// A Zxx cell, no note.
itw::Cell z(uint8_t parameter)
{
    return itw::Cell{itw::NOTE_NONE, 0, itw::VOLUME_NONE, 'Z', parameter};
}

// A cell with only an effect.
itw::Cell effect(char letter, uint8_t parameter)
{
    return itw::Cell{itw::NOTE_NONE, 0, itw::VOLUME_NONE, letter, parameter};
}

// A ProTracker "M.K." module: one pattern, a note every 16 rows, a short square wave.
Bytes tinyProTracker()
{
    constexpr size_t HEADER = 1084;        // bytes: title, 31 sample headers, orders, signature
    constexpr size_t PATTERN = 64 * 4 * 4; // bytes: 64 rows of 4 channels of 4 bytes
    constexpr size_t SAMPLE_WORDS = 32;    // sample length in 16-bit words
    constexpr int PERIOD_C2 = 428;         // Amiga period of C-2
    Bytes mod(HEADER + PATTERN + SAMPLE_WORDS * 2, 0);
    mod[20 + 22] = 0;
    mod[20 + 23] = static_cast<uint8_t>(SAMPLE_WORDS);
    mod[20 + 25] = 64;
    mod[20 + 29] = 1;
    mod[950] = 1;
    mod[951] = 127;
    mod[1080] = 'M';
    mod[1081] = '.';
    mod[1082] = 'K';
    mod[1083] = '.';
    for (int row = 0; row < 64; row += 16) {
        uint8_t* cell = &mod[HEADER + static_cast<size_t>(row) * 16];
        cell[0] = static_cast<uint8_t>(PERIOD_C2 >> 8);
        cell[1] = static_cast<uint8_t>(PERIOD_C2 & 0xFF);
        cell[2] = 0x10;
    }
    // A pattern break on channel 1 at row 32 (effect D, row 0).
    mod[HEADER + 32 * 16 + 4 + 2] = 0x0D;
    for (size_t i = 2; i < SAMPLE_WORDS * 2; ++i) {
        mod[HEADER + PATTERN + i] = (i / 8) % 2 == 0 ? 0x60 : 0xA0;
    }
    return mod;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_module_seeds <directory>\n");
        return 2;
    }
    const std::string dir = argv[1];
    bool ok = true;

    // Plain: a Z on every row, every value the show knows and a few it ignores.
    itw::Module plain = base(1, 32, 2);
    for (int row = 0; row < 32; ++row) {
        plain.patterns[0].at(row, 1) = z(static_cast<uint8_t>(row < 28 ? row : 0x80 + row));
    }
    ok &= itw::saveIT(plain, dir + "/plain.it");

    // A pattern loop (SB0 .. SB2) around rows with Z.
    itw::Module loop = base(2, 16, 2);
    loop.patterns[0].at(4, 1) = effect('S', 0xB0);
    loop.patterns[0].at(5, 1) = z(0x0A);
    loop.patterns[0].at(6, 0) = z(0x0C);
    loop.patterns[0].at(8, 1) = effect('S', 0xB2);
    loop.patterns[1].at(0, 1) = z(0x01);
    ok &= itw::saveIT(loop, dir + "/pattern-loop.it");

    // A position jump over an order whose Z must never fire, and a jump back to the start.
    itw::Module jump = base(3, 16, 2);
    jump.patterns[0].at(10, 1) = effect('B', 2);
    jump.patterns[0].at(2, 0) = z(0x00);
    jump.patterns[1].at(0, 1) = z(0x1B);
    jump.patterns[1].at(5, 1) = z(0x11);
    jump.patterns[2].at(3, 1) = z(0x05);
    jump.patterns[2].at(15, 1) = effect('B', 0);
    ok &= itw::saveIT(jump, dir + "/position-jump.it");

    // Pattern breaks into the middle of the next pattern, and a Z on the break's own row.
    itw::Module cut = base(3, 24, 3);
    cut.patterns[0].at(7, 1) = effect('C', 5);
    cut.patterns[0].at(7, 2) = z(0x02);
    cut.patterns[1].at(4, 2) = z(0x03);
    cut.patterns[1].at(5, 2) = z(0x04);
    cut.patterns[1].at(20, 1) = effect('C', 23);
    cut.patterns[2].at(23, 2) = z(0x06);
    ok &= itw::saveIT(cut, dir + "/pattern-break.it");

    // Tempo and speed changes, slides and a pattern delay under Z cells.
    itw::Module tempo = base(2, 32, 3, 6, 125);
    tempo.patterns[0].at(2, 1) = effect('T', 0xFF);
    tempo.patterns[0].at(3, 2) = z(0x0A);
    tempo.patterns[0].at(6, 1) = effect('A', 1);
    tempo.patterns[0].at(7, 2) = z(0x0A);
    tempo.patterns[0].at(10, 1) = effect('T', 0x20);
    tempo.patterns[0].at(11, 2) = z(0x0E);
    tempo.patterns[0].at(12, 1) = effect('T', 0x1F);
    tempo.patterns[0].at(16, 1) = effect('S', 0xE3);
    tempo.patterns[0].at(16, 2) = z(0x0F);
    tempo.patterns[0].at(20, 1) = effect('A', 0x1F);
    tempo.patterns[0].at(21, 2) = z(0x10);
    tempo.patterns[0].at(24, 1) = effect('T', 0x08);
    tempo.patterns[1].at(0, 1) = effect('S', 0x6F);
    tempo.patterns[1].at(0, 2) = z(0x11);
    ok &= itw::saveIT(tempo, dir + "/tempo-speed.it");

    // Sixty-four channels, Z on every channel of several rows.
    itw::Module wide = base(1, 16, itw::MAX_CHANNELS, 1, 255);
    for (int row = 0; row < 16; row += 3) {
        for (int channel = 1; channel < itw::MAX_CHANNELS; ++channel) {
            wide.patterns[0].at(row, channel) = z(static_cast<uint8_t>(channel + row));
        }
    }
    ok &= itw::saveIT(wide, dir + "/many-channels.it");

    // Orders that skip (254), name a pattern that does not exist, and patterns of 1 and 200 rows.
    itw::Module orders = base(2, 1, 2);
    orders.patterns[0].at(0, 1) = z(0x07);
    orders.patterns[1] = itw::Pattern(itw::MAX_ROWS, 2);
    orders.patterns[1].at(itw::MAX_ROWS - 1, 1) = z(0x1B);
    orders.orders = {0, 254, 1, 9, 0};
    ok &= itw::saveIT(orders, dir + "/odd-orders.it");

    // No patterns at all, and a song of one empty order.
    itw::Module empty = base(0, 1, 1);
    ok &= itw::saveIT(empty, dir + "/no-patterns.it");

    ok &= save(dir + "/tiny.mod", tinyProTracker());
    return ok ? 0 : 1;
}
