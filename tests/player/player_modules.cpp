#include "player_modules.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

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

std::vector<uint8_t> tinyProTrackerModule()
{
    constexpr size_t HEADER = 1084;         // bytes: title, 31 sample headers, orders, signature
    constexpr size_t PATTERN = 64 * 4 * 4;  // bytes: 64 rows of 4 channels of 4 bytes
    constexpr size_t SAMPLE_WORDS = 1000;   // sample length in 16-bit words
    constexpr int PERIOD_C2 = 428;          // Amiga period of C-2
    std::vector<uint8_t> mod(HEADER + PATTERN + SAMPLE_WORDS * 2, 0);
    const char title[] = "k3l test mod";
    std::copy(title, title + sizeof title - 1, mod.begin());
    uint8_t* sample = &mod[20];  // first sample header: name[22], length, finetune, volume, loop start, loop length
    sample[22] = static_cast<uint8_t>(SAMPLE_WORDS >> 8);
    sample[23] = static_cast<uint8_t>(SAMPLE_WORDS & 0xFF);
    sample[25] = 64;
    sample[29] = 1;  // loop length of one word: no loop
    mod[950] = 1;    // song length: one order
    mod[951] = 127;
    mod[952] = 0;    // order 0 plays pattern 0
    mod[1080] = 'M';
    mod[1081] = '.';
    mod[1082] = 'K';
    mod[1083] = '.';
    for (int row = 0; row < 64; row += 16) {
        uint8_t* cell = &mod[HEADER + static_cast<size_t>(row) * 16];
        cell[0] = static_cast<uint8_t>(PERIOD_C2 >> 8);  // sample 1: high nibble 0
        cell[1] = static_cast<uint8_t>(PERIOD_C2 & 0xFF);
        cell[2] = 0x10;  // sample 1 low nibble, no effect
    }
    for (size_t i = 2; i < SAMPLE_WORDS * 2; ++i) {  // the first word stays 0: ProTracker repeats it after the end
        mod[HEADER + PATTERN + i] = (i / 16) % 2 == 0 ? 0x60 : 0xA0;  // signed 8-bit square wave
    }
    return mod;
}

std::string makeTempDir()
{
    char name[] = "/tmp/k3l-player-XXXXXX";
    const char* made = mkdtemp(name);
    return made != nullptr ? std::string(made) : std::string("/tmp");
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}
