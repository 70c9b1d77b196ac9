// Fuzzes the player's module path: file bytes read and loaded as FMUSIC_LoadSong
// does, a few seconds rendered in the live outputs' buffer sizes (with a restart
// halfway, as a replay does), and every Zxx event checked against libopenmpt's own
// account of what played.
//
// The link wraps openmpt_module_read_interleaved_float_stereo (-Wl,--wrap), so
// the target sees every read the renderer makes and the order, pattern and row
// libopenmpt reports right after it. From that log alone it knows which reads
// started a row, and it reads that row's Z cells from the pattern data itself:
// each event must belong to such a read, fall inside it, and carry the row's
// bytes in channel order; a row that started must give all its events (or count
// them as dropped); a read that came up short (the song's end) gives none.
#include <libopenmpt/libopenmpt.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/module_render.h"

namespace {

constexpr int RATE = 44100;                    // Hz, the show's mixing rate
constexpr int64_t FRAMES_PER_INPUT = RATE;     // frames rendered per input, half before the restart, half after
constexpr int MAX_READS_PER_CALL = 4096;       // reads one renderModule call may make (buffers are at most 1024 frames)
constexpr int MAX_BUFFER_FRAMES = 1024;        // frames, the largest buffer asked for
constexpr int EVENT_CAPACITY = 1024;           // events per buffer, as the live player allows
constexpr int SMALL_CAPACITY = 3;              // events per buffer on some calls, to make the renderer drop
constexpr int BUFFER_SIZES[] = {512, 256, 1, 77, 128, 1024, 3};  // frames per call: the device's, the silent output's, odd ones

// One read the renderer made, and what libopenmpt reported right after it.
struct Read {
    int64_t start;    // frames since the song (re)started, where the read began
    int32_t length;   // frames asked for
    int32_t got;      // frames rendered
    int32_t order;    // as reported after the read
    int32_t pattern;  // as reported after the read
    int32_t row;      // as reported after the read
};

// The reads of the current renderModule call: written by the wrapper, read and cleared by the target.
Read reads[MAX_READS_PER_CALL];
// Entries used in reads: written by the wrapper and the target.
int readCount = 0;
// Frames rendered since the song (re)started, by the wrapper's count: written by the wrapper and the target.
int64_t framesSoFar = 0;
// The path inputs are written to: written once by LLVMFuzzerInitialize.
char inputPath[64];

// Reports a broken promise and ends the run: libFuzzer keeps the input as a crash.
[[noreturn]] void fault(const char* what)
{
    std::fprintf(stderr, "module_fuzz: %s\n", what);
    std::abort();
}

}  // namespace

// The renderer's only read call, logged.
extern "C" size_t __real_openmpt_module_read_interleaved_float_stereo(openmpt_module* mod, int32_t rate,
                                                                      size_t count, float* buffer);
extern "C" size_t __wrap_openmpt_module_read_interleaved_float_stereo(openmpt_module* mod, int32_t rate,
                                                                      size_t count, float* buffer)
{
    const size_t got = __real_openmpt_module_read_interleaved_float_stereo(mod, rate, count, buffer);
    if (readCount >= MAX_READS_PER_CALL) {
        fault("more reads in one call than frames asked for");
    }
    reads[readCount++] = Read{framesSoFar, static_cast<int32_t>(count), static_cast<int32_t>(got),
                              openmpt_module_get_current_order(mod), openmpt_module_get_current_pattern(mod),
                              openmpt_module_get_current_row(mod)};
    framesSoFar += static_cast<int64_t>(got);
    return got;
}

namespace {

// The Z bytes of one pattern row, channel by channel, straight from libopenmpt's pattern data.
std::vector<uint8_t> zCells(openmpt_module* decoder, int32_t pattern, int32_t row)
{
    std::vector<uint8_t> bytes;
    if (pattern < 0 || pattern >= openmpt_module_get_num_patterns(decoder) || row < 0 ||
        row >= openmpt_module_get_pattern_num_rows(decoder, pattern)) {
        return bytes;
    }
    const int32_t channels = openmpt_module_get_num_channels(decoder);
    for (int32_t channel = 0; channel < channels; ++channel) {
        const char* text = openmpt_module_format_pattern_row_channel_command(decoder, pattern, row, channel,
                                                                             OPENMPT_MODULE_COMMAND_EFFECT);
        if (text != nullptr && text[0] == 'Z' && text[1] == '\0') {
            bytes.push_back(openmpt_module_get_pattern_row_channel_command(decoder, pattern, row, channel,
                                                                           OPENMPT_MODULE_COMMAND_PARAMETER));
        }
        openmpt_free_string(text);
    }
    return bytes;
}

// Where the playing position stood after the last read checked.
struct Position {
    int32_t order = -1;
    int32_t row = -1;
};

// Renders one buffer and checks its events against the reads made for it.
void renderAndCheck(ModuleRender& module, Position& position, int frames, int capacity, float* outEnd,
                    ModuleEvent* eventsEnd)
{
    // The buffers end where their allocations end: a write past them is a heap overflow.
    float* out = outEnd - MODULE_CHANNELS * frames;
    ModuleEvent* events = eventsEnd - capacity;
    const int64_t bufferStart = framesSoFar;
    const int64_t droppedBefore = module.droppedEvents;
    const bool endedBefore = module.ended;
    readCount = 0;
    const int count = renderModule(module, out, frames, events, capacity);
    if (count < 0 || count > capacity) {
        fault("event count out of range");
    }
    if (endedBefore && readCount != 0) {
        fault("rendering went on after the song ended");
    }

    // What the reads say should have fired, in order, each with the read its row started in.
    struct Expected {
        int32_t readStart;   // frames from the buffer's start
        int32_t readLength;  // frames
        uint8_t parameter;
    };
    std::vector<Expected> expected;
    int64_t readFrames = 0;
    for (int i = 0; i < readCount; ++i) {
        const Read& read = reads[i];
        if (read.length <= 0 || read.length > MODULE_MAX_READ || read.got > read.length) {
            fault("read of a bad length");
        }
        readFrames += read.got;
        if (read.got < read.length) {
            // The song ended inside this read: nothing fires, and nothing is read after it.
            if (i != readCount - 1) {
                fault("a read after the song's end");
            }
            position = Position{};
            break;
        }
        if (read.order == position.order && read.row == position.row) {
            continue;
        }
        position = Position{read.order, read.row};
        const int32_t offset = static_cast<int32_t>(read.start - bufferStart);
        for (const uint8_t byte : zCells(module.decoder, read.pattern, read.row)) {
            expected.push_back(Expected{offset, read.length, byte});
        }
    }
    if (readFrames > frames) {
        fault("more frames read than the buffer holds");
    }
    if (static_cast<int64_t>(count) + (module.droppedEvents - droppedBefore) != static_cast<int64_t>(expected.size())) {
        fault("events fired or dropped differ from the Z cells of the rows that started");
    }
    for (int i = 0; i < count; ++i) {
        // The event's frame lies inside the read where its row started.
        const Expected& want = expected[static_cast<size_t>(i)];
        if (events[i].parameter != want.parameter) {
            fault("event byte differs from its row's Z cell");
        }
        if (events[i].frame < want.readStart || events[i].frame >= want.readStart + want.readLength) {
            fault("event placed outside the read where its row started");
        }
        if (events[i].frame < 0 || events[i].frame >= frames) {
            fault("event placed outside its buffer");
        }
    }
    // Past the song's end the buffer is silence.
    if (module.ended) {
        for (int64_t i = MODULE_CHANNELS * readFrames; i < int64_t{MODULE_CHANNELS} * frames; ++i) {
            if (out[i] != 0.0f) {
                fault("sound after the song's end");
            }
        }
    }
}

// Renders `total` frames in varying buffer sizes chosen by `seed`.
void renderStretch(ModuleRender& module, int64_t total, uint32_t seed, float* outEnd, ModuleEvent* eventsEnd)
{
    Position position;
    int64_t done = 0;
    for (uint32_t call = seed; done < total; ++call) {
        const int frames = BUFFER_SIZES[call % (sizeof BUFFER_SIZES / sizeof BUFFER_SIZES[0])];
        const int capacity = call % 5 == 4 ? SMALL_CAPACITY : EVENT_CAPACITY;
        const int64_t renderedBefore = module.framesRendered;
        renderAndCheck(module, position, frames, capacity, outEnd, eventsEnd);
        if (module.framesRendered != renderedBefore + frames) {
            fault("frames rendered do not add up");
        }
        done += frames;
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    std::snprintf(inputPath, sizeof inputPath, "/dev/shm/k3l-module-fuzz-%d.tga", static_cast<int>(getpid()));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The file path, as FMUSIC_LoadSong takes it.
    FILE* file = std::fopen(inputPath, "wb");
    if (!file) {
        std::abort();
    }
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    std::vector<uint8_t> bytes;
    const bool read = readModuleFile(inputPath, bytes);
    if (read != (size > 0) || bytes.size() != size || (size > 0 && std::memcmp(bytes.data(), data, size) != 0)) {
        fault("the file's bytes were not read back as written");
    }

    ModuleRender module;
    if (!loadModule(module, std::move(bytes), RATE, true)) {
        if (module.decoder != nullptr || !module.patternFirstRow.empty() || !module.bytes.empty()) {
            fault("a refused module kept something");
        }
        return 0;
    }
    if (module.patternFirstRow.size() != static_cast<size_t>(std::max(0, openmpt_module_get_num_patterns(module.decoder))) + 1) {
        fault("pattern table of the wrong size");
    }

    std::vector<float> out(MODULE_CHANNELS * MAX_BUFFER_FRAMES);
    std::vector<ModuleEvent> events(EVENT_CAPACITY);
    uint32_t seed = 0;
    for (size_t i = 0; i < size && i < 64; ++i) {
        seed = seed * 31u + data[i];
    }
    framesSoFar = 0;
    renderStretch(module, FRAMES_PER_INPUT / 2, seed, out.data() + out.size(), events.data() + events.size());
    const bool restarted = restartModule(module);
    if (restarted != (module.decoder != nullptr) || module.framesRendered != 0) {
        fault("restart did not put the song back at its start");
    }
    framesSoFar = 0;
    renderStretch(module, FRAMES_PER_INPUT / 2, seed + 1, out.data() + out.size(), events.data() + events.size());
    unloadModule(module);
    return 0;
}
