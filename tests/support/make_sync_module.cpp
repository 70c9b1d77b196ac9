// Writes a small module for the tests of the real show: a kick every four rows and Zxx
// effects at chosen rows of a sync channel. A row lasts 120 ms (speed 6, tempo 125).
//   Usage: make_sync_module <path> <rows> ROW:HEX [ROW:HEX ...]
//   e.g.   make_sync_module zelto-07.tga 80 0:06 10:11 70:1B
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "itwriter/itwriter.h"

namespace {
constexpr int RATE = 44100;      // Hz
constexpr int KICK_CHANNEL = 0;
constexpr int SYNC_CHANNEL = 1;

// A short decaying sine: something to hear on every beat.
itw::Sample kick()
{
    itw::Sample sample;
    sample.name = "kick";
    for (int i = 0; i < RATE / 20; ++i) {
        const double t = static_cast<double>(i) / RATE;
        sample.frames.push_back(static_cast<int16_t>(20000.0 * std::exp(-t * 40.0) * std::sin(2.0 * M_PI * 110.0 * t)));
    }
    return sample;
}
}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_sync_module <path> <rows> ROW:HEX ...\n");
        return 2;
    }
    const int rows = std::atoi(argv[2]);
    if (rows <= 0 || rows > itw::MAX_ROWS * 200) {
        std::fprintf(stderr, "make_sync_module: bad row count %s\n", argv[2]);
        return 2;
    }
    itw::Module module;
    module.name = "fault test";
    module.channels = 2;
    module.samples = {kick()};
    const int patterns = (rows + itw::MAX_ROWS - 1) / itw::MAX_ROWS;
    for (int p = 0; p < patterns; ++p) {
        const int patternRows = p + 1 < patterns ? itw::MAX_ROWS : rows - p * itw::MAX_ROWS;
        itw::Pattern pattern(patternRows, module.channels);
        for (int row = 0; row < patternRows; row += 4) {
            pattern.at(row, KICK_CHANNEL) = itw::Cell{itw::C5, 1, 64, 0, 0};
        }
        module.patterns.push_back(pattern);
        module.orders.push_back(static_cast<uint8_t>(p));
    }
    for (int i = 3; i < argc; ++i) {
        int row = 0;
        unsigned code = 0;
        if (std::sscanf(argv[i], "%d:%x", &row, &code) != 2 || row < 0 || row >= rows || code > 0xFF) {
            std::fprintf(stderr, "make_sync_module: bad event %s\n", argv[i]);
            return 2;
        }
        module.patterns[static_cast<size_t>(row / itw::MAX_ROWS)].at(row % itw::MAX_ROWS, SYNC_CHANNEL) =
            itw::Cell{itw::NOTE_NONE, 0, itw::VOLUME_NONE, 'Z', static_cast<uint8_t>(code)};
    }
    return itw::saveIT(module, argv[1]) ? 0 : 1;
}
