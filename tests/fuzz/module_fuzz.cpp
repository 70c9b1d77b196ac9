// Fuzzes the player's module path: file bytes read and loaded as FMUSIC_LoadSong does, a second
// rendered in the live outputs' buffer sizes and odd ones (with a restart halfway, as a replay
// does), and every Zxx event checked against libopenmpt's own account of what played.
//
// The link wraps openmpt_module_read_interleaved_float_stereo (-Wl,--wrap): the target logs every
// read the renderer makes and the order, pattern and row libopenmpt reports right after it. A read
// after which a new row plays must give that row's Z cells, in channel order, placed inside that
// read (or count them as dropped); nothing else fires; a short read (the song's end) gives nothing
// and is the last; past the end the buffer is silence.
#include <libopenmpt/libopenmpt.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <vector>

#include "platform/module_render.h"

namespace {

constexpr int RATE = 44100;                 // Hz, the show's mixing rate
constexpr int64_t FRAMES_PER_INPUT = RATE;  // frames rendered per input, half before the restart, half after
constexpr int MAX_READS = 4096;             // reads one renderModule call may make
constexpr int MAX_BUFFER_FRAMES = 1024;     // frames, the largest buffer asked for
constexpr int EVENT_CAPACITY = 1024;        // events per buffer, as the live player allows
constexpr int SMALL_CAPACITY = 3;           // events per buffer on some calls, to make the renderer drop
constexpr int BUFFER_SIZES[] = {512, 256, 1, 77, 128, 1024, 3};  // frames per call: the device's, the silent output's, odd ones

// One read the renderer made, and what libopenmpt reported right after it.
struct Read {
    int64_t start;                // frames since the song (re)started
    int32_t length, got;          // frames asked for and rendered
    int32_t order, pattern, row;  // as reported after the read
};

// The reads of the current call: written by the wrapper, read and cleared by the target.
Read reads[MAX_READS];
int readCount = 0;
// Frames rendered since the song (re)started, by the wrapper's count.
int64_t framesSoFar = 0;
// The path inputs are written to: written once by LLVMFuzzerInitialize.
char inputPath[64];

// Reports a broken promise and ends the run: libFuzzer keeps the input as a crash.
void check(bool kept, const char* what)
{
    if (!kept) {
        std::fprintf(stderr, "module_fuzz: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" size_t __real_openmpt_module_read_interleaved_float_stereo(openmpt_module*, int32_t, size_t, float*);
extern "C" size_t __wrap_openmpt_module_read_interleaved_float_stereo(openmpt_module* mod, int32_t rate,
                                                                      size_t count, float* buffer)
{
    const size_t got = __real_openmpt_module_read_interleaved_float_stereo(mod, rate, count, buffer);
    check(readCount < MAX_READS, "more reads in one call than frames asked for");
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
    for (int32_t channel = 0; channel < openmpt_module_get_num_channels(decoder); ++channel) {
        const char* text = openmpt_module_format_pattern_row_channel_command(decoder, pattern, row, channel,
                                                                             OPENMPT_MODULE_COMMAND_EFFECT);
        if (text != nullptr && std::strcmp(text, "Z") == 0) {
            bytes.push_back(openmpt_module_get_pattern_row_channel_command(decoder, pattern, row, channel,
                                                                           OPENMPT_MODULE_COMMAND_PARAMETER));
        }
        openmpt_free_string(text);
    }
    return bytes;
}

// Renders `total` frames in buffers chosen by `seed`, each checked against the reads made for it.
// The buffers end where their allocations end: a write past them is a heap overflow.
void renderAndCheck(ModuleRender& module, int64_t total, uint32_t seed)
{
    std::vector<float> outputs(MODULE_CHANNELS * MAX_BUFFER_FRAMES);
    std::vector<ModuleEvent> lists(EVENT_CAPACITY);
    int32_t order = -1, row = -1;  // where the playing position stood after the last read checked
    framesSoFar = 0;
    uint32_t call = seed;
    for (int64_t done = 0; done < total; ++call) {
        const int frames = BUFFER_SIZES[call % std::size(BUFFER_SIZES)];
        done += frames;
        const int capacity = call % 5 == 4 ? SMALL_CAPACITY : EVENT_CAPACITY;
        float* out = outputs.data() + outputs.size() - MODULE_CHANNELS * frames;
        ModuleEvent* events = lists.data() + lists.size() - capacity;
        const int64_t bufferStart = framesSoFar;
        const int64_t droppedBefore = module.droppedEvents;
        const int64_t renderedBefore = module.framesRendered;
        const bool endedBefore = module.ended;
        readCount = 0;
        const int count = renderModule(module, out, frames, events, capacity);
        check(count >= 0 && count <= capacity, "event count out of range");
        check(module.framesRendered == renderedBefore + frames, "frames rendered do not add up");
        check(!endedBefore || readCount == 0, "rendering went on after the song ended");

        // What the reads say should have fired, in order, each with the read its row started in.
        std::vector<Read> expected;
        std::vector<uint8_t> bytes;
        int64_t readFrames = 0;
        for (int i = 0; i < readCount; ++i) {
            const Read& read = reads[i];
            check(read.length > 0 && read.length <= MODULE_MAX_READ && read.got <= read.length, "read of a bad length");
            readFrames += read.got;
            if (read.got < read.length) {
                check(i == readCount - 1 && module.ended, "a read after the song's end");
                order = row = -1;
                break;
            }
            if (read.order != order || read.row != row) {
                order = read.order;
                row = read.row;
                for (const uint8_t byte : zCells(module.decoder, read.pattern, read.row)) {
                    expected.push_back(read);
                    bytes.push_back(byte);
                }
            }
        }
        check(readFrames <= frames, "more frames read than the buffer holds");
        check(count == std::min<int64_t>(capacity, static_cast<int64_t>(expected.size())) &&
                  count + module.droppedEvents - droppedBefore == static_cast<int64_t>(expected.size()),
              "events fired or dropped differ from the Z cells of the rows that started");
        for (int i = 0; i < count; ++i) {
            const int64_t readStart = expected[i].start - bufferStart;
            check(events[i].parameter == bytes[i], "event byte differs from its row's Z cell");
            check(events[i].frame >= readStart && events[i].frame < readStart + expected[i].length &&
                      events[i].frame < frames,
                  "event placed outside the read where its row started");
        }
        for (int64_t i = MODULE_CHANNELS * readFrames; module.ended && i < int64_t{MODULE_CHANNELS} * frames; ++i) {
            check(out[i] == 0.0f, "sound after the song's end");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    std::snprintf(inputPath, sizeof inputPath, "/dev/shm/k3l-module-fuzz-%d.tga", static_cast<int>(getpid()));
    std::atexit([] { unlink(inputPath); });  // nothing left behind
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FILE* file = std::fopen(inputPath, "wb");
    check(file != nullptr, "cannot write the input");
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    std::vector<uint8_t> bytes;
    const bool read = readModuleFile(inputPath, bytes);
    check(read == (size > 0) && bytes.size() == size && (size == 0 || std::memcmp(bytes.data(), data, size) == 0),
          "the file's bytes were not read back as written");

    ModuleRender module;
    if (!loadModule(module, std::move(bytes), RATE, true)) {
        check(module.decoder == nullptr && module.patternFirstRow.empty() && module.bytes.empty(),
              "a refused module kept something");
        return 0;
    }
    uint32_t seed = 0;
    for (size_t i = 0; i < size && i < 64; ++i) {
        seed = seed * 31u + data[i];
    }
    renderAndCheck(module, FRAMES_PER_INPUT / 2, seed);
    check(restartModule(module) == (module.decoder != nullptr) && module.framesRendered == 0,
          "restart did not put the song back at its start");
    renderAndCheck(module, FRAMES_PER_INPUT / 2, seed + 1);
    unloadModule(module);
    return 0;
}
