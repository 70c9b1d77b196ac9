// Writes a small module for the end-to-end tests: a kick on every beat and a
// sync channel that ends the show with Z1B after the given number of rows.
// Usage: make_test_module <path> <rows before Z1B>   (a row lasts 120 ms)
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "itwriter/itwriter.h"

namespace {
constexpr int RATE = 44100;      // Hz
constexpr int SYNC_CHANNEL = 1;

// A short decaying sine: something to hear on every beat.
itw::Sample blip()
{
    itw::Sample sample;
    sample.name = "blip";
    for (int i = 0; i < RATE / 10; ++i) {
        const double t = static_cast<double>(i) / RATE;
        sample.frames.push_back(static_cast<int16_t>(20000.0 * std::exp(-t * 30.0) * std::sin(2.0 * M_PI * 220.0 * t)));
    }
    return sample;
}
}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_test_module <path> <rows before Z1B>\n");
        return 2;
    }
    const int quitRow = std::atoi(argv[2]);
    itw::Module module;
    module.name = "end-to-end";
    module.channels = 2;
    module.samples = {blip()};
    const int patterns = quitRow / itw::MAX_ROWS + 1;
    for (int p = 0; p < patterns; ++p) {
        itw::Pattern pattern(itw::MAX_ROWS, module.channels);
        for (int row = 0; row < itw::MAX_ROWS; ++row) {
            const int songRow = p * itw::MAX_ROWS + row;
            if (songRow % 4 == 0) {
                pattern.at(row, 0) = itw::Cell{itw::C5, 1, 64, 0, 0};
            }
            if (songRow == quitRow) {
                pattern.at(row, SYNC_CHANNEL) = itw::Cell{itw::NOTE_NONE, 0, itw::VOLUME_NONE, 'Z', 0x1B};
            }
        }
        module.patterns.push_back(pattern);
        module.orders.push_back(static_cast<uint8_t>(p));
    }
    return itw::saveIT(module, argv[1]) ? 0 : 1;
}
