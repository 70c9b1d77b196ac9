#include "itwriter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace itw {

namespace {

constexpr size_t HEADER_SIZE = 0xC0;         // bytes
constexpr size_t SAMPLE_HEADER_SIZE = 0x50;  // bytes
constexpr size_t MIDI_CONFIG_SIZE = 4896;    // bytes: 9 global, 16 parametric, 128 fixed macros of 32
constexpr uint16_t TRACKER_VERSION = 0x0214;
constexpr uint16_t FLAG_STEREO = 0x01;
constexpr uint16_t FLAG_LINEAR_SLIDES = 0x08;
constexpr uint16_t FLAG_MIDI_CONFIG = 0x80;
constexpr uint16_t SPECIAL_MIDI_CONFIG = 0x08;
constexpr uint8_t CHANNEL_OFF = 128;         // added to a channel's pan
constexpr uint8_t ORDER_END = 255;
constexpr uint8_t SAMPLE_HAS_DATA = 0x01;
constexpr uint8_t SAMPLE_16_BIT = 0x02;
constexpr uint8_t SAMPLE_LOOP = 0x10;
constexpr uint8_t SAMPLE_SIGNED = 0x01;

void put8(std::vector<uint8_t>& out, size_t at, uint8_t value) { out[at] = value; }

void put16(std::vector<uint8_t>& out, size_t at, uint16_t value)
{
    out[at] = static_cast<uint8_t>(value);
    out[at + 1] = static_cast<uint8_t>(value >> 8);
}

void put32(std::vector<uint8_t>& out, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        out[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

void putText(std::vector<uint8_t>& out, size_t at, const std::string& text, size_t capacity)
{
    const size_t length = std::min(text.size(), capacity - 1);
    std::memcpy(out.data() + at, text.data(), length);
}

void append16(std::vector<uint8_t>& out, uint16_t value)
{
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

bool isEmpty(const Cell& cell)
{
    return cell.note == NOTE_NONE && cell.sample == 0 && cell.volume == VOLUME_NONE && cell.effect == 0;
}

// The packed pattern body: each cell with its own mask, a zero byte after every row.
std::vector<uint8_t> packPattern(const Pattern& pattern, int channels)
{
    std::vector<uint8_t> packed;
    for (int row = 0; row < pattern.rows; ++row) {
        if (row < static_cast<int>(pattern.cells.size())) {
            const std::vector<Cell>& cells = pattern.cells[row];
            const int used = std::min(static_cast<int>(cells.size()), channels);
            for (int channel = 0; channel < used; ++channel) {
                const Cell& cell = cells[channel];
                if (isEmpty(cell)) {
                    continue;
                }
                uint8_t mask = 0;
                mask |= cell.note != NOTE_NONE ? 1 : 0;
                mask |= cell.sample != 0 ? 2 : 0;
                mask |= cell.volume != VOLUME_NONE ? 4 : 0;
                mask |= cell.effect != 0 ? 8 : 0;
                packed.push_back(static_cast<uint8_t>((channel + 1) | 0x80));
                packed.push_back(mask);
                if (mask & 1) packed.push_back(static_cast<uint8_t>(cell.note));
                if (mask & 2) packed.push_back(static_cast<uint8_t>(cell.sample));
                if (mask & 4) packed.push_back(static_cast<uint8_t>(cell.volume));
                if (mask & 8) {
                    packed.push_back(static_cast<uint8_t>(cell.effect - 'A' + 1));
                    packed.push_back(cell.parameter);
                }
            }
        }
        packed.push_back(0);
    }
    return packed;
}

}  // namespace

Pattern::Pattern(int rowCount, int channelCount)
    : rows(rowCount), cells(static_cast<size_t>(rowCount), std::vector<Cell>(static_cast<size_t>(channelCount)))
{
}

Cell& Pattern::at(int row, int channel)
{
    if (static_cast<int>(cells.size()) < rows) {
        cells.resize(static_cast<size_t>(rows));
    }
    std::vector<Cell>& line = cells[static_cast<size_t>(row)];
    if (static_cast<int>(line.size()) <= channel) {
        line.resize(static_cast<size_t>(channel) + 1);
    }
    return line[static_cast<size_t>(channel)];
}

Module::Module()
{
    channelPan.fill(32);
    channelVolume.fill(64);
}

std::vector<uint8_t> writeIT(const Module& module)
{
    const int channels = std::clamp(module.channels, 1, MAX_CHANNELS);
    std::vector<uint8_t> orders = module.orders;
    orders.push_back(ORDER_END);
    const size_t sampleCount = module.samples.size();
    const size_t patternCount = module.patterns.size();

    std::vector<uint8_t> out(HEADER_SIZE, 0);
    std::memcpy(out.data(), "IMPM", 4);
    putText(out, 0x04, module.name, 26);
    put8(out, 0x1E, 4);
    put8(out, 0x1F, 16);
    put16(out, 0x20, static_cast<uint16_t>(orders.size()));
    put16(out, 0x22, 0);
    put16(out, 0x24, static_cast<uint16_t>(sampleCount));
    put16(out, 0x26, static_cast<uint16_t>(patternCount));
    put16(out, 0x28, TRACKER_VERSION);
    put16(out, 0x2A, TRACKER_VERSION);
    put16(out, 0x2C, FLAG_STEREO | FLAG_LINEAR_SLIDES | FLAG_MIDI_CONFIG);
    put16(out, 0x2E, SPECIAL_MIDI_CONFIG);
    put8(out, 0x30, module.globalVolume);
    put8(out, 0x31, module.mixVolume);
    put8(out, 0x32, module.initialSpeed);
    put8(out, 0x33, module.initialTempo);
    put8(out, 0x34, 128);
    put8(out, 0x35, 0);
    for (int channel = 0; channel < MAX_CHANNELS; ++channel) {
        const bool used = channel < channels;
        put8(out, 0x40 + channel, static_cast<uint8_t>(module.channelPan[channel] + (used ? 0 : CHANNEL_OFF)));
        put8(out, 0x80 + channel, module.channelVolume[channel]);
    }

    out.insert(out.end(), orders.begin(), orders.end());
    const size_t sampleOffsetTable = out.size();
    out.resize(out.size() + 4 * sampleCount);
    const size_t patternOffsetTable = out.size();
    out.resize(out.size() + 4 * patternCount);
    out.resize(out.size() + MIDI_CONFIG_SIZE, 0);

    std::vector<size_t> sampleHeaders(sampleCount);
    for (size_t i = 0; i < sampleCount; ++i) {
        sampleHeaders[i] = out.size();
        put32(out, sampleOffsetTable + 4 * i, static_cast<uint32_t>(out.size()));
        out.resize(out.size() + SAMPLE_HEADER_SIZE, 0);
    }

    for (size_t i = 0; i < patternCount; ++i) {
        const Pattern& pattern = module.patterns[i];
        const std::vector<uint8_t> packed = packPattern(pattern, channels);
        put32(out, patternOffsetTable + 4 * i, static_cast<uint32_t>(out.size()));
        append16(out, static_cast<uint16_t>(packed.size()));
        append16(out, static_cast<uint16_t>(std::clamp(pattern.rows, 1, MAX_ROWS)));
        out.insert(out.end(), 4, 0);
        out.insert(out.end(), packed.begin(), packed.end());
    }

    for (size_t i = 0; i < sampleCount; ++i) {
        const Sample& sample = module.samples[i];
        const size_t at = sampleHeaders[i];
        const size_t frames = sample.frames.size();
        std::memcpy(out.data() + at, "IMPS", 4);
        putText(out, at + 0x04, sample.name, 13);
        put8(out, at + 0x11, sample.globalVolume);
        uint8_t flags = SAMPLE_16_BIT;
        flags |= frames > 0 ? SAMPLE_HAS_DATA : 0;
        flags |= sample.loop ? SAMPLE_LOOP : 0;
        put8(out, at + 0x12, flags);
        put8(out, at + 0x13, sample.defaultVolume);
        putText(out, at + 0x14, sample.name, 26);
        put8(out, at + 0x2E, SAMPLE_SIGNED);
        put8(out, at + 0x2F, 32);
        put32(out, at + 0x30, static_cast<uint32_t>(frames));
        put32(out, at + 0x34, sample.loopBegin);
        put32(out, at + 0x38, sample.loopEnd);
        put32(out, at + 0x3C, sample.c5Speed);
        put32(out, at + 0x48, static_cast<uint32_t>(out.size()));
        for (const int16_t frame : sample.frames) {
            append16(out, static_cast<uint16_t>(frame));
        }
    }
    return out;
}

bool saveIT(const Module& module, const std::string& path)
{
    const std::vector<uint8_t> bytes = writeIT(module);
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace itw
