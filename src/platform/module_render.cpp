#include "platform/module_render.h"

#include <libopenmpt/libopenmpt.h>
#include <libopenmpt/libopenmpt_ext.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/files.h"

namespace {

constexpr size_t FILE_CHUNK = 64 * 1024;          // bytes read from the file at a time
constexpr size_t MAX_FILE_SIZE = 256u << 20;      // bytes: anything larger is no module of ours
constexpr int32_t GUESS_SLACK = 2;                // frames of doubt kept even around an exact guess
constexpr int32_t LOOP_FOREVER = -1;              // libopenmpt repeat count
constexpr int32_t PLAY_ONCE = 0;                  // libopenmpt repeat count

// Frames in one tick at the decoder's current tempo: a tick lasts 2.5 / tempo seconds,
// rounded down to whole frames as libopenmpt does; 0 when the tempo is unknown.
int64_t tickFrames(const ModuleRender& module)
{
    const int32_t tempo = openmpt_module_get_current_tempo(module.decoder);
    return tempo > 0 ? int64_t{module.rate} * 5 / (int64_t{2} * tempo) : 0;
}

// Whether a pattern cell's effect is Z, by its letter (libopenmpt's effect numbers are internal,
// but 0 is no effect in every format: such cells, most of any module, are passed over without
// formatting a string, so that loading costs little more for a file declaring many empty patterns).
bool isZEffect(openmpt_module* decoder, int32_t pattern, int32_t row, int32_t channel)
{
    if (openmpt_module_get_pattern_row_channel_command(decoder, pattern, row, channel,
                                                       OPENMPT_MODULE_COMMAND_EFFECT) == 0) {
        return false;
    }
    const char* effect = openmpt_module_format_pattern_row_channel_command(
        decoder, pattern, row, channel, OPENMPT_MODULE_COMMAND_EFFECT);
    const bool isZ = effect != nullptr && std::strcmp(effect, "Z") == 0;
    openmpt_free_string(effect);
    return isZ;
}

// Lists every Zxx effect of every pattern row of a freshly loaded module.
void findZEffects(ModuleRender& module)
{
    openmpt_module* decoder = module.decoder;
    const int32_t patterns = std::max(0, openmpt_module_get_num_patterns(decoder));
    const int32_t channels = std::max(0, openmpt_module_get_num_channels(decoder));
    module.patternFirstRow.clear();
    module.rowFirstEffect.clear();
    module.effectBytes.clear();
    for (int32_t pattern = 0; pattern < patterns; ++pattern) {
        module.patternFirstRow.push_back(static_cast<uint32_t>(module.rowFirstEffect.size()));
        const int32_t rows = std::max(0, openmpt_module_get_pattern_num_rows(decoder, pattern));
        for (int32_t row = 0; row < rows; ++row) {
            module.rowFirstEffect.push_back(static_cast<uint32_t>(module.effectBytes.size()));
            for (int32_t channel = 0; channel < channels; ++channel) {
                if (isZEffect(decoder, pattern, row, channel)) {
                    module.effectBytes.push_back(openmpt_module_get_pattern_row_channel_command(
                        decoder, pattern, row, channel, OPENMPT_MODULE_COMMAND_PARAMETER));
                }
            }
        }
    }
    module.patternFirstRow.push_back(static_cast<uint32_t>(module.rowFirstEffect.size()));
    module.rowFirstEffect.push_back(static_cast<uint32_t>(module.effectBytes.size()));
}

// A decoder for the module's bytes, quiet, set to loop or to stop at the song's end, every channel
// muted when the module asks for it; null if unreadable.
openmpt_module* openDecoder(ModuleRender& module)
{
    // At the end libopenmpt's default fades out while reporting order 0 row 0; "stop" ends with a short read.
    const openmpt_module_initial_ctl controls[] = {{"play.at_end", "stop"}, {nullptr, nullptr}};
    openmpt_module* decoder = nullptr;
    if (module.mute) {
        module.extension = openmpt_module_ext_create_from_memory(
            module.bytes.data(), module.bytes.size(), openmpt_log_func_silent, nullptr, openmpt_error_func_ignore,
            nullptr, nullptr, nullptr, controls);
        openmpt_module_ext_interface_interactive interactive{};
        decoder = module.extension != nullptr ? openmpt_module_ext_get_module(module.extension) : nullptr;
        if (decoder != nullptr && openmpt_module_ext_get_interface(module.extension, LIBOPENMPT_EXT_C_INTERFACE_INTERACTIVE,
                                                                   &interactive, sizeof interactive) != 0) {
            for (int32_t channel = 0; channel < openmpt_module_get_num_channels(decoder); ++channel) {
                interactive.set_channel_mute_status(module.extension, channel, 1);
            }
            openmpt_module_set_render_param(decoder, OPENMPT_MODULE_RENDER_INTERPOLATIONFILTER_LENGTH, 1);
        }
    } else {
        decoder = openmpt_module_create_from_memory2(module.bytes.data(), module.bytes.size(), openmpt_log_func_silent,
                                                     nullptr, openmpt_error_func_ignore, nullptr, nullptr, nullptr,
                                                     controls);
    }
    if (decoder != nullptr) {
        openmpt_module_set_repeat_count(decoder, module.loop ? LOOP_FOREVER : PLAY_ONCE);
    }
    return decoder;
}

// Releases the decoder (and its interactive side).
void closeDecoder(ModuleRender& module)
{
    if (module.extension != nullptr) {
        openmpt_module_ext_destroy(module.extension);
    } else if (module.decoder != nullptr) {
        openmpt_module_destroy(module.decoder);
    }
    module.extension = nullptr;
    module.decoder = nullptr;
}

// Forgets where rendering stood: the next frame rendered is the song's first.
void resetPosition(ModuleRender& module)
{
    module.framesRendered = 0;
    module.order = -1;
    module.row = -1;
    module.nextRowGuess = -1;
    module.guessSlack = 0;
    module.ended = module.decoder == nullptr;
}

// Frames to read next: at most MODULE_MAX_READ and what the buffer has left, stopping
// short of the window where the next row should start, and one frame at a time inside it.
int readLength(const ModuleRender& module, int left)
{
    int64_t length = std::min(MODULE_MAX_READ, left);
    if (module.nextRowGuess >= 0) {
        const int64_t earliest = module.nextRowGuess - module.guessSlack;
        const int64_t latest = module.nextRowGuess + module.guessSlack;
        if (module.framesRendered < earliest) {
            length = std::min(length, earliest - module.framesRendered);
        } else if (module.framesRendered <= latest) {
            length = 1;
        }
    }
    return static_cast<int>(length);
}

// Appends the Zxx effects of the given pattern row, placed at `frame` of the buffer.
int addRowEffects(ModuleRender& module, int32_t pattern, int32_t row, int32_t frame,
                  ModuleEvent* events, int count, int capacity)
{
    const int32_t patterns = static_cast<int32_t>(module.patternFirstRow.size()) - 1;
    if (pattern < 0 || pattern >= patterns || row < 0) {
        return count;
    }
    const uint32_t firstRow = module.patternFirstRow[pattern];
    if (static_cast<uint32_t>(row) >= module.patternFirstRow[pattern + 1] - firstRow) {
        return count;
    }
    const uint32_t index = firstRow + static_cast<uint32_t>(row);
    for (uint32_t effect = module.rowFirstEffect[index]; effect < module.rowFirstEffect[index + 1]; ++effect) {
        if (count < capacity) {
            events[count++] = ModuleEvent{frame, module.effectBytes[effect]};
        } else {
            ++module.droppedEvents;
        }
    }
    return count;
}

}  // namespace

bool readModuleFile(const char* path, std::vector<uint8_t>& bytes)
{
    bytes.clear();
    if (path == nullptr) {
        return false;
    }
    FILE* file = openDataFile(path, "rb");
    if (file == nullptr) {
        return false;
    }
    bool failed = false;
    while (!failed) {
        const size_t start = bytes.size();
        bytes.resize(start + FILE_CHUNK);
        const size_t got = std::fread(bytes.data() + start, 1, FILE_CHUNK, file);
        bytes.resize(start + got);
        failed = std::ferror(file) != 0 || bytes.size() > MAX_FILE_SIZE;
        if (got < FILE_CHUNK) {
            break;
        }
    }
    std::fclose(file);
    if (failed || bytes.empty()) {
        bytes.clear();
        bytes.shrink_to_fit();
        return false;
    }
    return true;
}

bool loadModuleFile(ModuleRender& module, const char* path, int32_t rate, bool loop)
{
    std::vector<uint8_t> bytes;
    return readModuleFile(path, bytes) && loadModule(module, std::move(bytes), rate, loop);
}

bool loadModule(ModuleRender& module, std::vector<uint8_t>&& bytes, int32_t rate, bool loop)
{
    unloadModule(module);
    module.bytes = std::move(bytes);
    module.rate = rate;
    module.loop = loop;
    module.decoder = module.bytes.empty() ? nullptr : openDecoder(module);
    if (module.decoder == nullptr) {
        unloadModule(module);
        return false;
    }
    findZEffects(module);
    resetPosition(module);
    return true;
}

bool restartModule(ModuleRender& module)
{
    closeDecoder(module);
    module.decoder = module.bytes.empty() ? nullptr : openDecoder(module);
    resetPosition(module);
    return module.decoder != nullptr;
}

void unloadModule(ModuleRender& module)
{
    closeDecoder(module);
    module.bytes.clear();
    module.bytes.shrink_to_fit();
    module.patternFirstRow.clear();
    module.rowFirstEffect.clear();
    module.effectBytes.clear();
    module.droppedEvents = 0;
    resetPosition(module);
}

int renderModule(ModuleRender& module, float* out, int frames, ModuleEvent* events, int capacity)
{
    const int64_t bufferStart = module.framesRendered;
    int count = 0;
    int done = 0;
    while (done < frames && !module.ended) {
        const int length = readLength(module, frames - done);
        const int64_t readStart = module.framesRendered;
        const size_t got = openmpt_module_read_interleaved_float_stereo(
            module.decoder, module.rate, static_cast<size_t>(length), out + MODULE_CHANNELS * done);
        if (got < static_cast<size_t>(length)) {
            // The song ended inside this read. libopenmpt may already report a row
            // of the start again here: nothing fires, the rest is silence.
            done += static_cast<int>(got);
            module.framesRendered += static_cast<int64_t>(got);
            module.ended = true;
            module.order = -1;
            module.row = -1;
            module.nextRowGuess = -1;
            break;
        }
        done += length;
        module.framesRendered += length;

        const int32_t order = openmpt_module_get_current_order(module.decoder);
        const int32_t row = openmpt_module_get_current_row(module.decoder);
        if (order != module.order || row != module.row) {
            // The row's first tick ran inside this read, at its first frame needed:
            // exact for a one-frame read and for the song's first row, else the read's middle.
            const bool exact = length == 1 || (readStart == 0 && module.order < 0);
            const int32_t half = exact ? 0 : (length - 1) / 2;
            const int64_t rowStart = readStart + half;
            module.order = order;
            module.row = row;
            if (module.rowLog != nullptr) {
                module.rowLog->push_back(ModuleRow{rowStart, row});
            }
            count = addRowEffects(module, openmpt_module_get_current_pattern(module.decoder), row,
                                  static_cast<int32_t>(rowStart - bufferStart), events, count, capacity);
            const int64_t tick = tickFrames(module);
            const int32_t speed = openmpt_module_get_current_speed(module.decoder);
            module.nextRowGuess = tick > 0 && speed > 0 ? rowStart + speed * tick : -1;
            module.guessSlack = GUESS_SLACK + (exact ? 0 : length - half);
        } else if (module.nextRowGuess >= 0 && module.framesRendered > module.nextRowGuess + module.guessSlack) {
            // The row outlasted the guess (a pattern delay, a slower tempo): it ends on a later tick.
            const int64_t tick = tickFrames(module);
            module.nextRowGuess = tick > 0 ? module.nextRowGuess + tick : -1;
        }
    }
    std::fill(out + MODULE_CHANNELS * done, out + MODULE_CHANNELS * frames, 0.0f);
    if (module.ended) {
        module.framesRendered += frames - done;
    }
    return count;
}
