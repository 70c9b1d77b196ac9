#include "timeline.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <stdexcept>

#include <libopenmpt/libopenmpt.h>

#include "platform/module_render.h"
#include "sync/sync_codes.h"

namespace music {

namespace {

// Seconds printed to the hundredth.
std::string secondsText(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", seconds);
    return text;
}

// An event code as the tracker writes it, e.g. "Z0A".
std::string codeText(uint8_t code)
{
    char text[8];
    std::snprintf(text, sizeof text, "Z%02X", code);
    return text;
}

// A moment the scene may change: an event, or the hand-over (event -1).
struct Step {
    double at = 0.0;  // s
    int scene = 0;    // the scene shown after it
    int event = -1;   // index of the event, -1 for the hand-over
};

// Steps the show's scene through the events as the show would, with the hand-over put in its place:
// a fade started in scene 6 hands over to scene 7 when it is full, and clears itself.
std::vector<Step> steps(const std::vector<PlayedEvent>& events)
{
    std::vector<Step> out;
    int scene = 0;
    bool fading = false;
    double fadeStart = 0.0;
    auto handOverBefore = [&](double seconds) {
        if (fading && scene == LATTICE_SCENE && fadeStart + HANDOVER_AFTER <= seconds) {
            scene = CARD_SCENE;
            fading = false;
            out.push_back(Step{fadeStart + HANDOVER_AFTER, scene, -1});
        }
    };
    for (size_t i = 0; i < events.size(); ++i) {
        const PlayedEvent& event = events[i];
        handOverBefore(event.seconds);
        if (event.code <= SYNC_CUT_TO_CARD) {
            scene = event.code;
        } else if (event.code == SYNC_START_FADE && !fading) {
            fading = true;
            fadeStart = event.seconds;
        }
        out.push_back(Step{event.seconds, scene, static_cast<int>(i)});
    }
    handOverBefore(1e300);
    return out;
}

}  // namespace

std::vector<uint8_t> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

ReadBack readBack(const std::vector<uint8_t>& bytes)
{
    // The rows are found the way the show's player finds them, exact to the frame.
    ModuleRender module;
    std::vector<uint8_t> copy = bytes;
    if (!loadModule(module, std::move(copy), PLAY_RATE, false)) {
        throw std::runtime_error("not a module libopenmpt reads");
    }
    ReadBack out;
    const char* type = openmpt_module_get_metadata(module.decoder, "type");
    out.type = type ? type : "";
    openmpt_free_string(type);
    out.songSeconds = openmpt_module_get_duration_seconds(module.decoder);

    std::vector<float> buffer(2 * READ_FRAMES);
    ModuleEvent events[MAX_EVENTS_PER_READ];
    while (!module.ended) {
        const int64_t readStart = module.framesRendered;
        const int count = renderModule(module, buffer.data(), READ_FRAMES, events, MAX_EVENTS_PER_READ);
        for (int i = 0; i < count; ++i) {
            const double seconds = static_cast<double>(readStart + events[i].frame) / PLAY_RATE;
            out.events.push_back(PlayedEvent{seconds, module.order, module.row, events[i].parameter});
        }
    }
    out.playedSeconds = static_cast<double>(module.framesRendered) / PLAY_RATE;
    unloadModule(module);
    return out;
}

std::string meaning(uint8_t code)
{
    static const std::map<uint8_t, std::string> meanings = {
        {SYNC_CUT_TO_CREDITS, "cut to scene 0, tick restarts"},
        {SYNC_CUT_TO_AFRAID, "cut to scene 1, tick restarts"},
        {SYNC_CUT_TO_CONFIDENCE, "cut to scene 2, tick restarts"},
        {SYNC_CUT_TO_SCORAMENTO, "cut to scene 3, tick restarts"},
        {SYNC_CUT_TO_WISDOM, "cut to scene 4, tick restarts"},
        {SYNC_CUT_TO_TUNNEL, "cut to scene 5"},
        {SYNC_CUT_TO_LATTICE, "cut to scene 6"},
        {SYNC_CUT_TO_CARD, "cut to scene 7"},
        {SYNC_BEAT, "beat: pulse +1, squares flash"},
        {SYNC_TOGGLE_SHOW_VERSUS, "toggle the \"vs\" sprite"},
        {SYNC_TOGGLE_WISDOM_ALT, "toggle the caption, turn the cat"},
        {SYNC_TOGGLE_SPIN_X, "toggle the lattice's spin about x"},
        {SYNC_TOGGLE_SPIN_Y, "toggle the lattice's spin about y"},
        {SYNC_TOGGLE_SPIN_Z, "toggle the lattice's spin about z"},
        {SYNC_START_FADE, "start the closing fade"},
        {SYNC_QUIT, "end the show"},
    };
    const auto found = meanings.find(code);
    return found == meanings.end() ? "nothing" : found->second;
}

std::string sceneName(int scene)
{
    static const char* names[SCENE_COUNT] = {"credits card", "afraid", "confidence", "scoramento",
                                   "wisdom vs uncertainty", "brave (tunnel)", "cube lattice", "closing card"};
    return scene >= 0 && scene < SCENE_COUNT ? names[scene] : "?";
}

std::vector<SceneSpan> scenes(const std::vector<PlayedEvent>& events, double endSeconds)
{
    double end = endSeconds;
    for (const PlayedEvent& event : events) {
        if (event.code == SYNC_QUIT) {
            end = event.seconds;
            break;
        }
    }
    std::vector<SceneSpan> spans{SceneSpan{0, 0.0, end}};
    for (const Step& step : steps(events)) {
        if (step.at < end && step.scene != spans.back().scene) {
            spans.back().end = step.at;
            spans.push_back(SceneSpan{step.scene, step.at, end});
        }
    }
    return spans;
}

std::string timelineTable(const std::vector<PlayedEvent>& events)
{
    std::ostringstream out;
    out << "| time (s) | order | row | event | meaning | scene shown |\n";
    out << "|---:|---:|---:|---|---|---|\n";
    for (const Step& step : steps(events)) {
        out << "| " << secondsText(step.at) << " | ";
        if (step.event < 0) {
            out << "| | (none) | fade full in scene 6: hand-over";
        } else {
            const PlayedEvent& e = events[static_cast<size_t>(step.event)];
            out << e.order << " | " << e.row << " | " << codeText(e.code) << " | " << meaning(e.code);
        }
        out << " | " << step.scene << " " << sceneName(step.scene) << " |\n";
    }
    return out.str();
}

std::string showDocument(const ReadBack& played)
{
    std::ostringstream out;
    const std::vector<SceneSpan> spans = scenes(played.events, played.playedSeconds);
    double endAt = played.playedSeconds;
    for (const PlayedEvent& e : played.events) {
        if (e.code == SYNC_QUIT) endAt = e.seconds;
    }
    out << "# The show's timeline\n\n";
    out << "Generated from the music itself: `show_timeline --doc` plays `build/data/zelto-07.tga`\n"
           "through libopenmpt at 44100 Hz in reads of 128 frames and lists every Zxx event of the\n"
           "sync channel with the time its row starts. Regenerate with `make show-doc` in the build\n"
           "directory; the test `music.show_doc` fails when this file and the music disagree.\n\n";
    out << "Song length " << secondsText(played.songSeconds) << " s; the show ends at "
        << secondsText(endAt) << " s (Z1B). The hand-over to scene 7 comes "
        << secondsText(HANDOVER_AFTER) << " s (" << FADE_TICKS
        << " ticks of 55 ms) after the fade starts in scene 6; it is the show's doing, not an event.\n\n";
    out << "## Scenes\n\n";
    out << "| scene | from (s) | to (s) | lasts (s) | beats (Z0A) |\n";
    out << "|---|---:|---:|---:|---:|\n";
    for (const SceneSpan& span : spans) {
        int beats = 0;
        for (const PlayedEvent& e : played.events) {
            if (e.code == SYNC_BEAT && e.seconds >= span.start && e.seconds < span.end) ++beats;
        }
        out << "| " << span.scene << " " << sceneName(span.scene) << " | " << secondsText(span.start) << " | "
            << secondsText(span.end) << " | " << secondsText(span.end - span.start) << " | " << beats << " |\n";
    }
    out << "\n## Events\n\n" << timelineTable(played.events);
    return out.str();
}

}  // namespace music
