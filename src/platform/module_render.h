#pragma once
// A tracker module rendered with libopenmpt, and the Zxx effects of the rows it
// plays, each placed at the frame where its row starts. Independent of any audio
// device or thread: the live player renders it from its output's thread, an
// offline renderer can drive it from a virtual clock.
#include <cstdint>
#include <vector>

struct openmpt_module;
struct openmpt_module_ext;

constexpr int MODULE_MAX_READ = 128;  // frames rendered at most between two looks at the playing row
constexpr int MODULE_CHANNELS = 2;    // interleaved output channels (left, right)

// One Zxx effect of a row that started inside a rendered buffer.
struct ModuleEvent {
    int32_t frame;      // frames, from the start of the buffer to the start of the effect's row
    uint8_t parameter;  // the effect's byte xx
};

// Where a row started: frames from the song's start, and its number in its pattern.
struct ModuleRow {
    int64_t frame;
    int32_t row;
};

// A loaded module: its bytes, its decoder, the Zxx effects of every pattern row,
// and where rendering stands. Owned and used by one thread at a time.
struct ModuleRender {
    std::vector<uint8_t> bytes;         // the file as read, kept to restart from a fresh decoder
    openmpt_module* decoder = nullptr;  // null when the bytes are not a module libopenmpt reads
    openmpt_module_ext* extension = nullptr;  // the decoder's interactive side, when `mute` asked for it
    bool mute = false;                  // every channel muted: the rows' timing and their events without the
                                        // cost of mixing (the studio's sync pass); set before loading
    int32_t rate = 44100;               // Hz
    bool loop = true;                   // whether the song starts over at its end

    // Zxx effects, found once at load time.
    std::vector<uint32_t> patternFirstRow;  // per pattern: index of its row 0 in rowFirstEffect
    std::vector<uint32_t> rowFirstEffect;   // per pattern row: first index in effectBytes; one extra entry closes the list
    std::vector<uint8_t> effectBytes;       // Zxx bytes, row after row, channel order within a row

    // Where rendering stands.
    int64_t framesRendered = 0;  // frames since the song started
    int32_t order = -1;          // order of the row playing; -1 before the first row and after the end
    int32_t row = -1;            // row playing; -1 before the first row and after the end
    int64_t nextRowGuess = -1;   // frames since the start where the next row should start; -1 when unknown
    int32_t guessSlack = 0;      // frames of doubt either side of nextRowGuess
    bool ended = false;          // the song ran out (only when it does not loop)
    int64_t droppedEvents = 0;   // effects that did not fit in the caller's event list
    std::vector<ModuleRow>* rowLog = nullptr;  // when set, every row start is appended (the studio's timeline); players leave it unset
};

constexpr int MIN_MIX_RATE = 8000;       // Hz, the lowest rate a player mixes at
constexpr int MAX_MIX_RATE = 192000;     // Hz, the highest
constexpr int DEFAULT_MIX_RATE = 44100;  // Hz, the rate used when asked for one outside them

// The rate a player mixes at when asked for `requested` Hz.
constexpr int mixRateFor(int requested)
{
    return requested >= MIN_MIX_RATE && requested <= MAX_MIX_RATE ? requested : DEFAULT_MIX_RATE;
}

// Reads a whole file named the show's way ("data\\name.tga"). False when the file is
// missing, unreadable (a directory) or empty.
bool readModuleFile(const char* path, std::vector<uint8_t>& bytes);

// Reads the module file and loads it (readModuleFile, then loadModule). False if either fails.
bool loadModuleFile(ModuleRender& module, const char* path, int32_t rate, bool loop);

// Loads the module from its bytes (moved in), its format found by content, and
// finds its Zxx effects. False, with nothing kept, when libopenmpt cannot read them.
// `loop`: the song starts over at its end, forever; otherwise it ends in silence.
bool loadModule(ModuleRender& module, std::vector<uint8_t>&& bytes, int32_t rate, bool loop);

// Puts the song back at its start with a fresh decoder. False if that fails
// (the module is then left without a decoder and renders silence).
bool restartModule(ModuleRender& module);

// Releases the decoder and the tables.
void unloadModule(ModuleRender& module);

// Renders `frames` interleaved stereo float frames into `out` and writes the Zxx
// effects of every row that started inside them to `events`, in row order and
// channel order within a row. Returns the number written (at most `capacity`).
// Allocates nothing (but the row log, when set); silence once the song has ended or without a decoder.
int renderModule(ModuleRender& module, float* out, int frames, ModuleEvent* events, int capacity);
