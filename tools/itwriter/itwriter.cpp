#include "itwriter.h"

#include <algorithm>
#include <array>
#include <climits>
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
constexpr uint8_t SAMPLE_COMPRESSED = 0x08;
constexpr uint8_t SAMPLE_SIGNED = 0x01;
constexpr uint8_t SAMPLE_DOUBLE_DELTA = 0x04;  // in the convert byte: compressed with IT 2.15's deltas of deltas
constexpr size_t BLOCK_FRAMES = 0x4000;        // 16-bit frames in a compressed block (0x8000 bytes decoded)
constexpr int WIDEST = 17;                     // bits: a block's first width, which holds any 16-bit delta
constexpr int NARROW = 6;                      // bits: a change from this width or less names the new one in 4 more
constexpr int CHANGE_BITS = 4;                 // bits naming the new width after a narrow width's change mark
constexpr int WIDE_MARKS = 8;                  // values at each end of a 7 to 16 bit width that mark a change

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

// Bits packed least significant first, as the tracker reads them.
struct BitWriter {
    std::vector<uint8_t> bytes;
    int used = 8;  // bits taken of the last byte

    // Appends the low `bits` bits of `value`.
    void put(uint32_t value, int bits)
    {
        for (int i = 0; i < bits; ++i) {
            if (used == 8) {
                bytes.push_back(0);
                used = 0;
            }
            bytes.back() = static_cast<uint8_t>(bytes.back() | (((value >> i) & 1u) << used));
            ++used;
        }
    }
};

// Whether a delta can be written at `width` bits; the values left out there mark a change of width.
bool fitsWidth(int delta, int width)
{
    if (width == WIDEST) {
        return true;
    }
    const int half = 1 << (width - 1);
    if (width > NARROW) {
        return delta >= -half + WIDE_MARKS && delta < half - WIDE_MARKS;
    }
    return delta > -half && delta < half;
}

// Bits a change of width takes when made from `width`.
int changeBits(int width)
{
    return width <= NARROW ? width + CHANGE_BITS : width;
}

// Writes the mark that changes the width from `from` to `to` bits.
void putChange(BitWriter& out, int from, int to)
{
    // A change never names the width it leaves, so the widths past it move down by one.
    const uint32_t named = static_cast<uint32_t>(to < from ? to : to - 1);
    if (from <= NARROW) {
        out.put(1u << (from - 1), from);
        out.put(named - 1, CHANGE_BITS);
    } else if (from < WIDEST) {
        out.put((0xFFFFu >> (WIDEST - from)) - WIDE_MARKS + named, from);
    } else {
        out.put(0x10000u | static_cast<uint32_t>(to - 1), WIDEST);
    }
}

// One block's deltas in the fewest bits: the width of every delta chosen over the whole block (a
// shortest path through the widths, where a change costs its mark), then the block written with
// its byte count in front.
void putBlock(std::vector<uint8_t>& out, const std::vector<int>& deltas)
{
    constexpr long UNREACHED = LONG_MAX / 4;
    const size_t count = deltas.size();
    // Per delta and per width it may be written at: the width in force before it.
    std::vector<std::array<uint8_t, WIDEST + 1>> before(count);
    std::array<long, WIDEST + 1> cost;  // bits so far, by the width in force; [0] unused
    cost.fill(UNREACHED);
    cost[WIDEST] = 0;
    for (size_t i = 0; i < count; ++i) {
        // The two cheapest widths to change from: a change to the cheapest comes from the other.
        int best = 0, second = 0;
        std::array<long, WIDEST + 1> changed{};
        changed[0] = UNREACHED;
        for (int width = 1; width <= WIDEST; ++width) {
            changed[width] = cost[width] + changeBits(width);
            if (changed[width] < changed[best]) {
                second = best;
                best = width;
            } else if (changed[width] < changed[second]) {
                second = width;
            }
        }
        std::array<long, WIDEST + 1> next;
        next.fill(UNREACHED);
        for (int width = 1; width <= WIDEST; ++width) {
            if (!fitsWidth(deltas[i], width)) {
                continue;
            }
            const int source = best != width ? best : second;
            const bool stay = cost[width] <= changed[source];
            before[i][static_cast<size_t>(width)] = static_cast<uint8_t>(stay ? width : source);
            next[width] = (stay ? cost[width] : changed[source]) + width;
        }
        cost = next;
    }
    std::vector<uint8_t> widths(count);
    int width = static_cast<int>(std::min_element(cost.begin() + 1, cost.end()) - cost.begin());
    for (size_t i = count; i-- > 0;) {
        widths[i] = static_cast<uint8_t>(width);
        width = before[i][static_cast<size_t>(width)];
    }
    BitWriter bits;
    int current = WIDEST;
    for (size_t i = 0; i < count; ++i) {
        if (widths[i] != current) {
            putChange(bits, current, widths[i]);
            current = widths[i];
        }
        const uint32_t mask = current == WIDEST ? 0xFFFFu : (1u << current) - 1;
        bits.put(static_cast<uint32_t>(deltas[i]) & mask, current);
    }
    append16(out, static_cast<uint16_t>(bits.bytes.size()));
    out.insert(out.end(), bits.bytes.begin(), bits.bytes.end());
}

// A difference of 16-bit values as the tracker's 16-bit accumulators take it.
int wrapped(int difference)
{
    return static_cast<int16_t>(static_cast<uint16_t>(difference));
}

}  // namespace

std::vector<uint8_t> compressSample(const std::vector<int16_t>& frames, bool doubleDelta)
{
    std::vector<uint8_t> out;
    std::vector<int> deltas;
    for (size_t first = 0; first < frames.size(); first += BLOCK_FRAMES) {
        const size_t end = std::min(frames.size(), first + BLOCK_FRAMES);
        deltas.clear();
        int previous = 0, previousDelta = 0;  // both start from 0 in every block
        for (size_t i = first; i < end; ++i) {
            const int delta = wrapped(frames[i] - previous);
            deltas.push_back(doubleDelta ? wrapped(delta - previousDelta) : delta);
            previous = frames[i];
            previousDelta = delta;
        }
        putBlock(out, deltas);
    }
    return out;
}

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
        // Compressed, the samples take whichever of single and double deltas is shorter.
        const bool compressed = module.compressSamples && frames > 0;
        std::vector<uint8_t> packed;
        bool doubleDelta = false;
        if (compressed) {
            packed = compressSample(sample.frames, false);
            std::vector<uint8_t> twice = compressSample(sample.frames, true);
            doubleDelta = twice.size() < packed.size();
            if (doubleDelta) {
                packed.swap(twice);
            }
        }
        uint8_t flags = SAMPLE_16_BIT;
        flags |= frames > 0 ? SAMPLE_HAS_DATA : 0;
        flags |= sample.loop ? SAMPLE_LOOP : 0;
        flags |= compressed ? SAMPLE_COMPRESSED : 0;
        put8(out, at + 0x12, flags);
        put8(out, at + 0x13, sample.defaultVolume);
        putText(out, at + 0x14, sample.name, 26);
        put8(out, at + 0x2E, static_cast<uint8_t>(SAMPLE_SIGNED | (doubleDelta ? SAMPLE_DOUBLE_DELTA : 0)));
        put8(out, at + 0x2F, 32);
        put32(out, at + 0x30, static_cast<uint32_t>(frames));
        put32(out, at + 0x34, sample.loopBegin);
        put32(out, at + 0x38, sample.loopEnd);
        put32(out, at + 0x3C, sample.c5Speed);
        put32(out, at + 0x48, static_cast<uint32_t>(out.size()));
        if (compressed) {
            out.insert(out.end(), packed.begin(), packed.end());
            continue;
        }
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
