// Renders a module once through to a 32-bit float stereo WAV file at 44100 Hz with
// libopenmpt's default settings, for measuring loudness and drawing spectrograms.
// Usage: render_music <module> <out.wav> [channel ...]
// With channel numbers (from 0), only those channels are heard: stems for checking a mix.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include <libopenmpt/libopenmpt.hpp>
#include <libopenmpt/libopenmpt_ext.hpp>
#include <string>

namespace {

constexpr int RATE = 44100;         // Hz
constexpr size_t CHUNK = 4096;      // frames per read

// Appends a little-endian integer of `bytes` bytes.
void put(std::vector<uint8_t>& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

// A WAV file (IEEE float, stereo) holding the interleaved frames.
std::vector<uint8_t> wavBytes(const std::vector<float>& interleaved)
{
    const uint32_t dataBytes = static_cast<uint32_t>(interleaved.size() * sizeof(float));
    std::vector<uint8_t> out;
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    put(out, 4 + 26 + 12 + 8 + dataBytes, 4);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put(out, 18, 4);
    put(out, 3, 2);                 // IEEE float
    put(out, 2, 2);                 // channels
    put(out, RATE, 4);
    put(out, RATE * 2 * 4, 4);      // bytes a second
    put(out, 2 * 4, 2);             // bytes a frame
    put(out, 32, 2);                // bits a sample
    put(out, 0, 2);                 // no extension
    out.insert(out.end(), {'f', 'a', 'c', 't'});
    put(out, 4, 4);
    put(out, static_cast<uint32_t>(interleaved.size() / 2), 4);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put(out, dataBytes, 4);
    const size_t at = out.size();
    out.resize(at + dataBytes);
    for (size_t i = 0; i < interleaved.size(); ++i) {
        uint32_t bits = 0;
        static_assert(sizeof bits == sizeof(float), "32-bit floats");
        std::memcpy(&bits, &interleaved[i], sizeof bits);
        for (int b = 0; b < 4; ++b) out[at + 4 * i + b] = static_cast<uint8_t>(bits >> (8 * b));
    }
    return out;
}

}  // namespace

// Renders the module, writes the WAV file and prints its length and sample peak.
int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: render_music <module> <out.wav> [channel ...]\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<float> audio;
    try {
        std::ostringstream log;
        openmpt::module_ext module(bytes, log);
        if (argc > 3) {
            auto* interactive = static_cast<openmpt::ext::interactive*>(module.get_interface(openmpt::ext::interactive_id));
            for (int channel = 0; channel < module.get_num_channels(); ++channel) {
                bool heard = false;
                for (int a = 3; a < argc; ++a) heard |= std::stoi(argv[a]) == channel;
                interactive->set_channel_mute_status(channel, !heard);
            }
        }
        std::vector<float> chunk(2 * CHUNK);
        for (;;) {
            const size_t got = module.read_interleaved_stereo(RATE, CHUNK, chunk.data());
            if (got == 0) break;
            audio.insert(audio.end(), chunk.begin(), chunk.begin() + static_cast<long>(2 * got));
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "render_music: %s: %s\n", argv[1], error.what());
        return 1;
    }
    float peak = 0.0f;
    for (const float v : audio) peak = std::max(peak, std::fabs(v));
    const std::vector<uint8_t> wav = wavBytes(audio);
    std::ofstream out(argv[2], std::ios::binary);
    out.write(reinterpret_cast<const char*>(wav.data()), static_cast<std::streamsize>(wav.size()));
    if (!out) {
        std::fprintf(stderr, "render_music: cannot write %s\n", argv[2]);
        return 1;
    }
    std::printf("%s: %.2f s, sample peak %.2f dBFS\n", argv[2], static_cast<double>(audio.size() / 2) / RATE,
                20.0 * std::log10(std::max(peak, 1e-9f)));
    return 0;
}
