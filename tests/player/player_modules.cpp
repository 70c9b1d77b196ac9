#include "player_modules.h"

#include <cmath>

itw::Sample clickSample()
{
    itw::Sample sample;
    sample.name = "click";
    const int length = TEST_RATE / 50;  // 20 ms
    for (int i = 0; i < length; ++i) {
        const double envelope = std::exp(-static_cast<double>(i) / (TEST_RATE / 1000.0 * 2.0));
        const double square = (i / 20) % 2 == 0 ? 1.0 : -1.0;  // about 1.1 kHz
        sample.frames.push_back(static_cast<int16_t>(30000.0 * envelope * square));
    }
    return sample;
}

itw::Module blankModule(int patterns, int rows, int channels, uint8_t speed, uint8_t tempo)
{
    itw::Module module;
    module.name = "player test";
    module.channels = channels;
    module.initialSpeed = speed;
    module.initialTempo = tempo;
    module.samples = {clickSample()};
    for (int p = 0; p < patterns; ++p) {
        module.patterns.emplace_back(rows, channels);
        module.orders.push_back(static_cast<uint8_t>(p));
    }
    return module;
}

itw::Cell zCell(uint8_t parameter)
{
    return itw::Cell{itw::NOTE_NONE, 0, itw::VOLUME_NONE, 'Z', parameter};
}

itw::Cell clickCell(char effect, uint8_t parameter)
{
    return itw::Cell{itw::C5, 1, 64, effect, parameter};
}
