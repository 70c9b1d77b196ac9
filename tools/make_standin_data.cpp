// Writes a stand-in module for the show into a directory: a short module whose
// sync track cuts through every scene, fades out and ends the show (the images
// come from make_art). Usage: make_standin_data <directory>
#include <cmath>
#include <cstdio>
#include <string>

#include "itwriter/itwriter.h"

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr int RATE = 44100;  // Hz
constexpr int ROWS = 64;     // rows per pattern
constexpr int SYNC = 3;      // the sync channel

// A decaying sine sweep: the kick drum.
itw::Sample kick()
{
    itw::Sample sample;
    sample.name = "kick";
    const int length = RATE / 4;
    double phase = 0.0;
    for (int i = 0; i < length; ++i) {
        const double t = static_cast<double>(i) / RATE;
        phase += 2.0 * PI * (45.0 + 120.0 * std::exp(-t * 30.0)) / RATE;
        const double envelope = std::exp(-t * 9.0) * std::min(1.0, i / 40.0);
        sample.frames.push_back(static_cast<int16_t>(26000.0 * envelope * std::sin(phase)));
    }
    return sample;
}

// Short noise with a fast decay: the hi-hat.
itw::Sample hat()
{
    itw::Sample sample;
    sample.name = "hat";
    const int length = RATE / 20;
    uint32_t state = 12345;
    for (int i = 0; i < length; ++i) {
        state = state * 1664525u + 1013904223u;
        const double white = static_cast<double>(static_cast<int32_t>(state)) / 2147483648.0;
        const double envelope = std::exp(-static_cast<double>(i) / RATE * 60.0) * std::min(1.0, i / 20.0);
        sample.frames.push_back(static_cast<int16_t>(9000.0 * envelope * white));
    }
    return sample;
}

// A looped soft square wave at C-5 (one cycle of 84 frames ≈ 525 Hz at 44.1 kHz).
itw::Sample bass()
{
    itw::Sample sample;
    sample.name = "bass";
    const int cycle = 84;
    const int cycles = 50;
    for (int i = 0; i < cycle * cycles; ++i) {
        const double x = 2.0 * PI * i / cycle;
        const double value = std::sin(x) + std::sin(3.0 * x) / 3.0 + std::sin(5.0 * x) / 5.0;
        sample.frames.push_back(static_cast<int16_t>(9000.0 * value));
    }
    sample.loop = true;
    sample.loopBegin = 0;
    sample.loopEnd = cycle * cycles;
    sample.c5Speed = static_cast<uint32_t>(RATE * 523.251 / (RATE / static_cast<double>(cycle)));
    return sample;
}

void beat(itw::Pattern& pattern, int patternIndex)
{
    static const int bassLine[4] = {36, 36, 43, 41};  // C, C, G, F in octave 3
    for (int row = 0; row < ROWS; ++row) {
        if (row % 8 == 0 || (patternIndex >= 2 && row % 8 == 6)) {
            pattern.at(row, 0) = itw::Cell{itw::C5, 1, 64, 0, 0};
        }
        if (row % 4 == 2 && patternIndex >= 1) {
            pattern.at(row, 1) = itw::Cell{itw::C5, 2, 48, 0, 0};
        }
        if (row % 16 == 0) {
            pattern.at(row, 2) = itw::Cell{bassLine[(row / 16) % 4], 3, 40, 0, 0};
        }
        if (row % 16 == 12) {
            pattern.at(row, 2) = itw::Cell{itw::NOTE_OFF, 0, itw::VOLUME_NONE, 0, 0};
        }
        if (row % 8 == 0 && patternIndex >= 1 && patternIndex <= 6) {
            pattern.at(row, SYNC) = itw::Cell{itw::NOTE_NONE, 0, itw::VOLUME_NONE, 'Z', 0x0A};
        }
    }
}

void sync(itw::Pattern& pattern, int row, uint8_t event)
{
    pattern.at(row, SYNC) = itw::Cell{itw::NOTE_NONE, 0, itw::VOLUME_NONE, 'Z', event};
}

bool writeModule(const std::string& path)
{
    itw::Module module;
    module.name = "k3lvana stand-in";
    module.channels = 4;
    module.initialSpeed = 6;
    module.initialTempo = 125;
    module.samples = {kick(), hat(), bass()};
    for (int p = 0; p < 8; ++p) {
        itw::Pattern pattern(ROWS, module.channels);
        beat(pattern, p);
        module.patterns.push_back(pattern);
        module.orders.push_back(static_cast<uint8_t>(p));
    }
    // Bar lines of 8 rows, 0.96 s each; sync rows avoid the beat pulses on rows % 8 == 0.
    sync(module.patterns[0], 1, 0x00);
    sync(module.patterns[1], 1, 0x01);
    sync(module.patterns[2], 1, 0x02);
    sync(module.patterns[3], 1, 0x03);
    sync(module.patterns[4], 1, 0x04);
    sync(module.patterns[4], 17, 0x0C);
    sync(module.patterns[4], 33, 0x0D);
    sync(module.patterns[4], 49, 0x0C);
    sync(module.patterns[5], 1, 0x05);
    sync(module.patterns[6], 1, 0x06);
    sync(module.patterns[6], 9, 0x0E);
    sync(module.patterns[6], 17, 0x0F);
    sync(module.patterns[6], 25, 0x10);
    sync(module.patterns[6], 33, 0x11);
    sync(module.patterns[7], 9, 0x11);
    sync(module.patterns[7], 57, 0x1B);
    return itw::saveIT(module, path);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_standin_data <directory>\n");
        return 2;
    }
    const std::string dir = argv[1];
    const bool ok = writeModule(dir + "/zelto-07.tga");
    if (!ok) {
        std::fprintf(stderr, "make_standin_data: cannot write into %s\n", dir.c_str());
        return 1;
    }
    return 0;
}
