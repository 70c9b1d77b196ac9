#pragma once
// The sync timeline read back from a module as libopenmpt plays it: each Zxx
// event with the time its row starts, and what the show makes of it.
#include <cstdint>
#include <string>
#include <vector>

namespace music {

constexpr int PLAY_RATE = 44100;           // Hz the module is played at
constexpr int READ_FRAMES = 128;           // frames per read: far shorter than the shortest row (432)
constexpr int MAX_EVENTS_PER_READ = 64;    // Zxx effects one row of 64 channels can hold
constexpr double SHOW_TICK = 0.055;        // s per animation tick of the show
constexpr int FADE_TICKS = 50;             // ticks the closing fade takes (5 a tick up to 250)
constexpr double HANDOVER_AFTER = FADE_TICKS * SHOW_TICK;  // s from a fade's start in scene 6 to scene 7

// One Zxx event as played.
struct PlayedEvent {
    double seconds = 0.0;  // when its row starts, exact to the frame
    int order = 0;
    int row = 0;
    uint8_t code = 0;
};

// What libopenmpt plays of a module.
struct ReadBack {
    std::string type;                  // format libopenmpt found, e.g. "it"
    double songSeconds = 0.0;          // the song's length by libopenmpt
    double playedSeconds = 0.0;        // frames played to the end, in seconds
    std::vector<PlayedEvent> events;   // in playing order
};

// A stretch of time during which the show shows one scene.
struct SceneSpan {
    int scene = 0;
    double start = 0.0;  // s
    double end = 0.0;    // s
};

// The whole file's bytes; empty when it cannot be read.
std::vector<uint8_t> readFile(const std::string& path);

// Plays the module once through, as the show's player does, and collects its Zxx events; throws when it does not load.
ReadBack readBack(const std::vector<uint8_t>& module);

// What the show does on an event, in a few words.
std::string meaning(uint8_t code);

// The name of a scene.
std::string sceneName(int scene);

// The scenes shown over time: cuts, the hand-over to scene 7 when a fade begun in scene 6 is full,
// up to the end event (or `endSeconds` without one).
std::vector<SceneSpan> scenes(const std::vector<PlayedEvent>& events, double endSeconds);

// The timeline as a Markdown table, with the hand-over as a line of its own.
std::string timelineTable(const std::vector<PlayedEvent>& events);

// The complete docs/show.md: scene summary and timeline.
std::string showDocument(const ReadBack& played);

}  // namespace music
