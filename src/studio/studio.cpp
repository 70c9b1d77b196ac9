// The studio: the show's own program (its main, loading, ticks, events and scenes) over
// GLUT calls of its own (offline_glut.h), with a main loop that plays, pauses, seeks and
// loops the show on the capture's virtual clock (replay.h) and shows it in a window with a
// timeline (view.h). Without a display it can run a script of the same commands, printing
// the picture's hash where asked, for the tests and the benchmark.
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <getopt.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <libopenmpt/libopenmpt.h>

#include "assets/textures.h"
#include "capture/offline_glut.h"
#include "capture/options.h"
#include "capture/virtual_clock.h"
#include "platform/glut.h"
#include "platform/module_render.h"
#include "shared/fnv.h"
#include "shared/monotonic_clock.h"
#include "studio/replay.h"
#include "studio/sound.h"
#include "studio/view.h"
#include "sync/show_state.h"

extern char** environ;

namespace {

constexpr const char* SHOW_SONG = "data\\zelto-07.tga";   // the show's music, named the show's way
constexpr int64_t SECOND = VIRTUAL_COUNTS_PER_SECOND;     // counts
constexpr int64_t PLAYING_WAIT_NS = 20000000;              // nanoseconds the loop waits for input at most while playing
constexpr int64_t PAUSED_WAIT_NS = 50000000;               // the same while paused
constexpr int64_t STATUS_NS = 40000000;                    // nanoseconds between two redraws for the status line alone
constexpr int64_t TIMING_WAIT_NS = 250000000;              // nanoseconds play waits for the device to time its sound
constexpr int SCRIPT_FPS = 30;                             // steps per second of a script's "w"
constexpr const char* RANGE_FILE = "k3lvana-studio-range.mp4";  // where c renders to, in the working directory
constexpr const char* CAPTURE_PREFIX = "k3lvana-capture: ";     // how the capture's progress lines start

const char* const USAGE =
    "usage: k3lvana-studio [options]\n"
    "Plays the show with pause, seek, loop and live reload; run where the show's data/ is (e.g. build/).\n"
    "  --size WxH        picture size in pixels (default 640x480); the capture at that size draws the same\n"
    "  --start T         start at show time T (seconds or ORDER:ROW)\n"
    "  --loop A B        loop from A to B (seconds or ORDER:ROW)\n"
    "  --module FILE     play FILE (IT, XM, S3M, MOD) against the show's scenes instead of its music\n"
    "  --script CMDS     no window: run commands (comma-separated) and print what they ask for:\n"
    "                    sT seek to T, kNAME press the key of X key symbol NAME (kspace, kRight, kperiod),\n"
    "                    KNAME the same with Shift, wS let S seconds of show pass, h print the picture's hash,\n"
    "                    mFILE take FILE as the module and reload it; BN time N seeks all over the show,\n"
    "                    PS play S seconds on the machine's clock timing the ticks (benchmarks);\n"
    "                    with CMDS -, a line of commands at a time from standard input, new versions of\n"
    "                    the module and the images taken before each line\n"
    "  -h, --help        this text\n"
    "Keys: Space pause/resume; Left/Right 1 s (Shift: 10 s); Page Up/Down previous/next sync event;\n"
    "  [ ] previous/next pattern; Home the start; , . one tick back/forward while paused;\n"
    "  i o the loop's in and out points; l loop on/off; r reload the module and the images; c render\n"
    "  the loop (or the whole show) to an MP4 beside data/; Escape quits. Click or drag on the\n"
    "  timeline to seek. A module or image file that changes is reloaded by itself.\n";

// The command line: written by glutInit, read by the loop.
struct StudioOptions {
    int width = 640;               // pixels
    int height = 480;              // pixels
    int64_t start = 0;             // virtual count to start at
    std::string module = SHOW_SONG;  // the module played
    std::string script;            // commands to run without a window; empty: the window
};
StudioOptions options;

// What the studio does now: written by the key handling and the loop.
struct Transport {
    bool paused = false;
    PlayRun run;                  // what plays since play last (re)started: from the position then, round the loop
    int64_t runClock = 0;         // the clock when it (re)started, in nanoseconds
    int64_t runElapsed = 0;       // counts of the run heard so far (never fewer than before)
    bool sound = false;           // a device plays the run and times it
    int64_t loopIn = -1, loopOut = -1;
    bool looping = false;
    std::string message;          // the last thing said
    pid_t render = 0;             // the capture rendering the range, 0 when none runs
    int renderOutput = -1;        // the read end of its stderr, where its progress comes
    std::string renderText;       // what it wrote since its last whole line
    std::string renderLast;       // its last whole line
    int64_t scriptClock = 0;      // nanoseconds of a script's own clock
};
Transport transport;

// What the studio watches for new versions of its files: written by watchFiles, read by takeChanges.
struct Watch {
    int fd = -1;                  // inotify; -1 when nothing is watched
    int moduleDirectory = -1;     // the module's directory's watch
    int imageDirectory = -1;      // the images' directory's watch (the same when it is the same directory)
};
Watch watch;

// The picture read back from the offscreen context, BGR top row first: sized by glutMainLoop.
std::vector<uint8_t> picture;
// The song's layout for the timeline and the status line: written by mapSong.
ViewState viewState;
openmpt_module* songMap = nullptr;  // a decoder of the module for positions; written by mapSong

// Prints a message on stderr after the program's name.
void say(const std::string& message)
{
    std::fprintf(stderr, "k3lvana-studio: %s\n", message.c_str());
}

// A path named the show's way ("data\\x.tga") as the host names it.
std::filesystem::path hostPath(std::string path)
{
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

// The clock the transport runs on: the machine's, or a script's own.
int64_t clockNow()
{
    return options.script.empty() ? k3l::monotonicNanoseconds() : transport.scriptClock;
}

// Reads "T" of the command line into a virtual count against the module; exits on a bad one.
int64_t momentOf(const char* text, const char* what)
{
    ShowMoment moment;
    double seconds = 0.0;
    std::string error;
    if (!readShowMoment(text, moment)) {
        say(std::string("bad value for ") + what + ": " + text);
        std::exit(2);
    }
    if (!momentSeconds(moment, options.module.c_str(), seconds, error)) {
        say(std::string(what) + " " + error);
        std::exit(1);
    }
    return static_cast<int64_t>(seconds * SECOND + 0.5);
}

// Loads a decoder of the module for order starts and the row of a position.
void mapSong()
{
    ModuleRender render;
    if (!loadModuleFile(render, options.module.c_str(), DEFAULT_MIX_RATE, false)) {
        return;
    }
    if (songMap != nullptr) {
        openmpt_module_destroy(songMap);
    }
    songMap = render.decoder;
    render.decoder = nullptr;
    viewState.orderStarts.clear();
    const int orders = openmpt_module_get_num_orders(songMap);
    for (int order = 0; order < orders; ++order) {
        const double at = openmpt_module_set_position_order_row(songMap, order, 0);
        if (openmpt_module_get_current_order(songMap) == order) {
            viewState.orderStarts.push_back(static_cast<int64_t>(at * SECOND));
        }
    }
    std::sort(viewState.orderStarts.begin(), viewState.orderStarts.end());
}

// (Re)starts play from where the show stands, round the loop when it is on (or holds, when
// paused), the sound with it.
void anchor()
{
    transport.run = PlayRun{replayPosition(), std::max<int64_t>(0, transport.loopIn),
                            transport.looping ? transport.loopOut : -1};
    transport.runClock = clockNow();
    transport.runElapsed = 0;
    if (transport.sound) {
        playStudioSound(transport.run, !transport.paused);
    }
}

// Hands the song's sound to the device (the window's studio only).
void takeSound()
{
    std::vector<float> frames = takeReplaySongAudio();
    if (options.script.empty()) {
        transport.sound = setStudioSound(std::move(frames));
        if (!transport.sound) {
            transport.message = "no audio device: the studio plays silent";
        }
    }
}

// The counts of the run heard now: on the device's own timing of its sound (until it has one,
// for a quarter of a second at most, held at the run's start); without it, on the clock less
// the device's latency.
int64_t heardElapsed()
{
    const int64_t now = clockNow();
    int64_t elapsed = 0;
    if (transport.sound) {
        if (studioSoundHeard(now, elapsed)) {
            return elapsed;
        }
        if (now - transport.runClock < TIMING_WAIT_NS) {
            return 0;
        }
    }
    const double latency = transport.sound ? studioSoundLatency() : 0.0;
    return static_cast<int64_t>(
        (static_cast<double>(now - transport.runClock) / k3l::NANOSECONDS_PER_SECOND - latency) * SECOND);
}

// Seeks and restarts the play clock there.
void seekTo(int64_t count)
{
    seekReplay(count);
    anchor();
}

// The first entry of a sorted list after (or, backwards, before) `count`.
int64_t neighbour(const std::vector<int64_t>& counts, int64_t count, bool forward)
{
    if (forward) {
        const auto after = std::upper_bound(counts.begin(), counts.end(), count);
        return after == counts.end() ? replayTables.endCount : *after;
    }
    const auto before = std::lower_bound(counts.begin(), counts.end(), count);
    return before == counts.begin() ? 0 : *(before - 1);
}

// Appends `item` to a list of `separator`-separated items.
void addItem(std::string& list, const std::string& item, const char* separator)
{
    list += (list.empty() ? "" : separator) + item;
}

// Reloads the module (when asked) and the images given (IMAGE_SLOTS indices), and replays the show
// to where it stands; what fails to load keeps its previous version and the message says so.
void reload(bool module, const std::vector<int>& images)
{
    const int64_t started = k3l::monotonicNanoseconds();
    std::string reloaded, failed, error;
    for (const int image : images) {
        const std::filesystem::path path = hostPath(IMAGE_SLOTS[image].path);
        if (reloadReplayImage(image)) {
            addItem(reloaded, path.string(), ", ");
        } else {
            addItem(failed, "cannot load the image " + path.string() +
                                (std::filesystem::is_regular_file(path) ? " (not an uncompressed 24- or 32-bit TGA)"
                                                                        : " (no such file)") +
                                "; the previous one stays", "; ");
        }
    }
    if (module && reloadReplaySong(options.module.c_str(), error)) {
        mapSong();
        takeSound();
        addItem(reloaded, options.module, ", ");
    } else if (module) {
        addItem(failed, error, "; ");
    }
    refreshReplay();
    if (!reloaded.empty()) {
        transport.message = "reloaded " + reloaded + " in " +
                            std::to_string((k3l::monotonicNanoseconds() - started) / 1000000) + " ms";
        say(transport.message);
    }
    if (!failed.empty()) {
        transport.message = failed;
        say(transport.message);
    }
    anchor();
}

// Reloads the module and every image.
void reloadAll()
{
    std::vector<int> images(IMAGE_COUNT);
    for (int i = 0; i < IMAGE_COUNT; ++i) {
        images[i] = i;
    }
    reload(true, images);
}

// Starts the capture on the loop range (or the whole show), writing an MP4 beside data/; its
// progress comes back through a pipe.
void renderRange()
{
    if (transport.render != 0) {
        transport.message = "a render is already running";
        return;
    }
    char size[32], from[32], to[32];
    std::snprintf(size, sizeof size, "%dx%d", options.width, options.height);
    std::snprintf(from, sizeof from, "%.6f", countSeconds(std::max<int64_t>(0, transport.loopIn)));
    std::snprintf(to, sizeof to, "%.6f",
                  countSeconds(transport.loopOut > 0 ? transport.loopOut : replayTables.endCount));
    std::error_code unknown;  // the capture is built beside the studio
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", unknown);
    const std::string capture = (unknown ? std::string(".") : self.parent_path().string()) + "/k3lvana-capture";
    std::vector<std::string> args = {capture, "-o", RANGE_FILE, "--size", size, "--from", from, "--to", to};
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        transport.message = "cannot start " + capture;
        return;
    }
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_adddup2(&files, ends[1], STDERR_FILENO);
    posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const bool started = posix_spawn(&transport.render, capture.c_str(), &files, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&files);
    close(ends[1]);
    if (!started) {
        close(ends[0]);
        transport.render = 0;
        transport.message = "cannot start " + capture;
        return;
    }
    fcntl(ends[0], F_SETFL, O_NONBLOCK);
    transport.renderOutput = ends[0];
    transport.renderText.clear();
    transport.renderLast.clear();
    transport.message = "rendering " + std::string(from) + "-" + to + " s to " + RANGE_FILE + "...";
}

// Shows the render's progress (the capture's last line) and says when it has finished.
void checkRender()
{
    if (transport.render == 0) {
        return;
    }
    char buffer[512];
    bool fresh = false;
    for (ssize_t got; (got = read(transport.renderOutput, buffer, sizeof buffer)) > 0;) {
        transport.renderText.append(buffer, static_cast<size_t>(got));
        for (size_t end; (end = transport.renderText.find('\n')) != std::string::npos; fresh = true) {
            transport.renderLast = transport.renderText.substr(0, end);
            transport.renderText.erase(0, end + 1);
        }
    }
    std::string& last = transport.renderLast;
    if (fresh && last.compare(0, std::strlen(CAPTURE_PREFIX), CAPTURE_PREFIX) == 0) {
        last.erase(0, std::strlen(CAPTURE_PREFIX));
    }
    if (fresh) {
        transport.message = "rendering " + std::string(RANGE_FILE) + ": " + last;
        say(transport.message);
    }
    int status = 0;
    if (waitpid(transport.render, &status, WNOHANG) == transport.render) {
        close(transport.renderOutput);
        transport.render = 0;
        transport.renderOutput = -1;
        transport.message = WIFEXITED(status) && WEXITSTATUS(status) == 0 ? last : "the render failed: " + last;
        say(transport.message);
    }
}

// Does what a key asks for; false for Escape.
bool pressKey(unsigned long key, bool shift)
{
    const int64_t at = replayPosition();
    std::vector<int64_t> eventCounts;
    for (const SongEvent& event : replayTables.events) {
        eventCounts.push_back(event.count);
    }
    switch (key) {
    case XK_Escape:
        return false;
    case XK_space:
        transport.paused = !transport.paused;
        anchor();
        break;
    case XK_Left:
    case XK_Right:
        seekTo(at + (key == XK_Right ? 1 : -1) * (shift ? 10 : 1) * SECOND);
        break;
    case XK_Prior:
    case XK_Next:
        seekTo(neighbour(eventCounts, at, key == XK_Next));
        break;
    case XK_bracketleft:
    case XK_bracketright:
        seekTo(neighbour(viewState.orderStarts, at, key == XK_bracketright));
        break;
    case XK_Home:
        seekTo(0);
        break;
    case XK_comma:
    case XK_period:
        if (transport.paused) {
            seekTo(neighbour(replayTables.ticks, at, key == XK_period));
        }
        break;
    case XK_i:
    case XK_o:
        (key == XK_i ? transport.loopIn : transport.loopOut) = at;
        if (transport.looping) {
            anchor();  // the run goes round the new loop
        }
        break;
    case XK_l:
        transport.looping = !transport.looping && transport.loopOut > std::max<int64_t>(0, transport.loopIn);
        if (transport.looping && (at < transport.loopIn || at >= transport.loopOut)) {
            seekReplay(std::max<int64_t>(0, transport.loopIn));
        }
        anchor();
        break;
    case XK_r:
        reloadAll();
        break;
    case XK_c:
        renderRange();
        break;
    default:
        break;
    }
    return true;
}

// Moves the show to what is heard now, round the loop.
void follow()
{
    if (transport.paused) {
        return;
    }
    transport.runElapsed = std::max(transport.runElapsed, heardElapsed());
    seekReplay(runCount(transport.run, transport.runElapsed));
}

// Nanoseconds until the show next does something (its next moment, or the run's return to the
// loop's in point), as long as the loop may wait for input.
int64_t untilNextMoment()
{
    if (transport.paused) {
        return PAUSED_WAIT_NS;
    }
    const int64_t at = replayPosition();
    int64_t next = replayNextMoment();
    if (runLoops(transport.run)) {
        next = std::min(next, transport.run.loopOut);
    }
    if (next <= at) {
        return PLAYING_WAIT_NS;  // the show's end: nothing more is due
    }
    return std::min(PLAYING_WAIT_NS, static_cast<int64_t>(countSeconds(next - at) * k3l::NANOSECONDS_PER_SECOND));
}

// The status line: time, order:row, scene, tick, pulse, the last event.
void statusLine(std::string& status)
{
    const int64_t at = replayPosition();
    char line[200];
    int order = -1, row = -1;
    if (songMap != nullptr) {
        openmpt_module_set_position_seconds(songMap, countSeconds(at));
        order = openmpt_module_get_current_order(songMap);
        row = openmpt_module_get_current_row(songMap);
    }
    std::snprintf(line, sizeof line, "%s %7.3f s  %02d:%02d  scene %d  tick %d  pulse %.2f  event %d%s",
                  transport.paused ? "||" : ">", countSeconds(at), order, row, show.scene.load(), show.tick.load(),
                  show.pulse.load(), replayLastEvent(), transport.looping ? "  loop" : "");
    status.assign(line);
}

// Reads the picture back when the show drew since; whether it did.
bool readPicture()
{
    if (!replayDrewFrame()) {
        return false;
    }
    readFrame(picture.data(), options.width, options.height);
    return true;
}

// Prints the picture's hash as the capture's frame log has it, with where the show stands.
void printHash()
{
    readPicture();
    std::printf("at %.6f tick %d scene %d event %d loop %.6f %.6f %d hash %016llx\n", countSeconds(replayPosition()),
                show.tick.load(), show.scene.load(), replayLastEvent(), countSeconds(transport.loopIn),
                countSeconds(transport.loopOut), transport.looping ? 1 : 0,
                static_cast<unsigned long long>(k3l::fnv1a64(picture.data(), picture.size())));
}

// The median and the worst of a list of milliseconds, as text.
std::string medianWorst(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    char text[80];
    std::snprintf(text, sizeof text, "median %.1f ms, worst %.1f ms over %zu", values[values.size() / 2],
                  values.back(), values.size());
    return text;
}

// Benchmark: seeks to `count` moments all over the show in a shuffled order, each with its picture read back.
void benchSeeks(int count)
{
    std::vector<int64_t> targets;
    for (int i = 0; i < count; ++i) {
        targets.push_back(replayTables.endCount * i / count);
    }
    std::shuffle(targets.begin(), targets.end(), std::mt19937(19));
    std::vector<double> times;
    for (const int64_t target : targets) {
        const int64_t started = k3l::monotonicNanoseconds();
        seekReplay(target);
        readPicture();
        times.push_back((k3l::monotonicNanoseconds() - started) / 1e6);
    }
    std::printf("bench seek: %s; snapshots %zu bytes\n", medianWorst(times).c_str(), replaySnapshotBytes());
}

// Benchmark: plays `seconds` on the machine's clock as the window does, timing the ticks as they come.
void benchPlay(double seconds)
{
    options.script.clear();  // the machine's clock from here on
    anchor();
    std::vector<double> intervals;
    int lastTick = show.tick.load();
    int64_t lastAt = k3l::monotonicNanoseconds();
    for (int64_t end = lastAt + static_cast<int64_t>(seconds * 1e9); k3l::monotonicNanoseconds() < end;) {
        follow();
        readPicture();
        if (show.tick.load() != lastTick) {
            const int64_t now = k3l::monotonicNanoseconds();
            intervals.push_back((now - lastAt) / 1e6);
            lastAt = now;
            lastTick = show.tick.load();
        }
        usleep(static_cast<useconds_t>(untilNextMoment() / 1000));
    }
    intervals.erase(intervals.begin());  // the first runs from the start, not from a tick
    std::printf("bench play: tick interval %s\n", medianWorst(intervals).c_str());
}

// Watches the module's and the images' directories for new versions of their files.
void watchFiles()
{
    watch.fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch.fd < 0) {
        return;
    }
    const auto directoryOf = [](const std::string& path) {
        const std::filesystem::path parent = hostPath(path).parent_path();
        return parent.empty() ? std::string(".") : parent.string();
    };
    const uint32_t changes = IN_CLOSE_WRITE | IN_MOVED_TO;
    watch.moduleDirectory = inotify_add_watch(watch.fd, directoryOf(options.module).c_str(), changes);
    watch.imageDirectory = inotify_add_watch(watch.fd, directoryOf(IMAGE_SLOTS[0].path).c_str(), changes);
}

// Reloads what changed on disk since the last look: the module, the images.
void takeChanges()
{
    alignas(inotify_event) char buffer[4096];
    ssize_t got = watch.fd >= 0 ? read(watch.fd, buffer, sizeof buffer) : -1;
    if (got <= 0) {
        return;
    }
    const std::string module = hostPath(options.module).filename().string();
    bool moduleChanged = false;
    std::vector<int> images;
    for (; got > 0; got = read(watch.fd, buffer, sizeof buffer)) {
        for (char* at = buffer; at < buffer + got;) {
            const inotify_event* event = reinterpret_cast<const inotify_event*>(at);
            at += sizeof(inotify_event) + event->len;
            if (event->len == 0) {
                continue;
            }
            moduleChanged = moduleChanged || (event->wd == watch.moduleDirectory && module == event->name);
            for (int i = 0; i < IMAGE_COUNT; ++i) {
                if (event->wd == watch.imageDirectory && std::strcmp(IMAGE_SLOTS[i].file, event->name) == 0 &&
                    std::find(images.begin(), images.end(), i) == images.end()) {
                    images.push_back(i);
                }
            }
        }
    }
    if (moduleChanged || !images.empty()) {
        reload(moduleChanged, images);
    }
}

// Runs one line of script commands; exits with 2 on a bad one.
void runScriptLine(const std::string& line)
{
    std::stringstream commands(line);
    std::string command;
    while (std::getline(commands, command, ',')) {
        const std::string arg = command.empty() ? "" : command.substr(1);
        const char kind = command.empty() ? ' ' : command[0];
        if (kind == 's') {
            seekTo(momentOf(arg.c_str(), "s"));
        } else if (kind == 'k' || kind == 'K') {
            const KeySym key = XStringToKeysym(arg.c_str());
            if (key == NoSymbol) {
                say("no such key: " + arg);
                std::exit(2);
            }
            pressKey(key, kind == 'K');
        } else if (kind == 'w') {
            const double seconds = std::atof(arg.c_str());
            for (int step = 0; step < seconds * SCRIPT_FPS; ++step) {
                transport.scriptClock += k3l::NANOSECONDS_PER_SECOND / SCRIPT_FPS;
                follow();
            }
        } else if (kind == 'h') {
            printHash();
        } else if (kind == 'B') {
            benchSeeks(std::atoi(arg.c_str()));
        } else if (kind == 'P') {
            benchPlay(std::atof(arg.c_str()));
        } else if (kind == 'm') {
            options.module = arg;
            reload(true, {});
        } else {
            say("bad command: " + command);
            std::exit(2);
        }
    }
    std::fflush(stdout);
}

// Runs the script of --script (from standard input for "-"); exits with 0 when done.
void runScript()
{
    if (options.script != "-") {
        runScriptLine(options.script);
        std::exit(0);
    }
    watchFiles();
    for (std::string line; std::getline(std::cin, line);) {
        takeChanges();
        runScriptLine(line);
    }
    std::exit(0);
}

}  // namespace

// Reads the studio's command line, as GLUT takes its own options.
void glutInit(int* argc, char** argv)
{
    enum { SIZE = 256, START, LOOP, MODULE, SCRIPT };
    static const option LONG_OPTIONS[] = {
        {"size", required_argument, nullptr, SIZE},   {"start", required_argument, nullptr, START},
        {"loop", required_argument, nullptr, LOOP},   {"module", required_argument, nullptr, MODULE},
        {"script", required_argument, nullptr, SCRIPT}, {"help", no_argument, nullptr, 'h'},
        {nullptr, 0, nullptr, 0},
    };
    std::vector<std::string> moments(3);  // start, loop in, loop out: read once the module is known
    for (int code; (code = getopt_long(*argc, argv, "h", LONG_OPTIONS, nullptr)) != -1;) {
        if (code == SIZE) {
            if (std::sscanf(optarg, "%dx%d", &options.width, &options.height) != 2 || options.width < 16 ||
                options.height < 16 || options.width > 7680 || options.height > 4320) {
                say(std::string("bad value for --size: ") + optarg);
                std::exit(2);
            }
        } else if (code == START) {
            moments[0] = optarg;
        } else if (code == LOOP && optind < *argc) {
            moments[1] = optarg;
            moments[2] = argv[optind++];
        } else if (code == MODULE) {
            options.module = optarg;
        } else if (code == SCRIPT) {
            options.script = optarg;
        } else if (code == 'h') {
            std::fputs(USAGE, stdout);
            std::exit(0);
        } else {
            std::fputs(USAGE, stderr);
            std::exit(2);
        }
    }
    if (optind < *argc) {
        say(std::string("unexpected argument ") + argv[optind]);
        std::exit(2);
    }
    if (!moments[0].empty()) {
        options.start = momentOf(moments[0].c_str(), "--start");
    }
    if (!moments[1].empty()) {
        transport.loopIn = momentOf(moments[1].c_str(), "--loop");
        transport.loopOut = momentOf(moments[2].c_str(), "--loop");
        transport.looping = transport.loopOut > transport.loopIn;
    }
    *argc = 1;
}

// The show's window: the offscreen context at the picture's size (the studio's window is its own).
int createPointerWindow(const char*)
{
    if (!openOfflineWindow(options.width, options.height)) {
        say("no offscreen OpenGL context (Mesa's EGL surfaceless platform; Debian package libegl-mesa0)");
        std::exit(1);
    }
    return offlineGlut.windowId;
}

// Runs the studio: the replay, then the window's loop or the script.
void glutMainLoop()
{
    picture.assign(static_cast<size_t>(options.width) * options.height * 3, 0);
    std::string error;
    if (options.module != SHOW_SONG && !takeReplaySong(options.module.c_str(), error)) {
        say(error);
        std::exit(1);
    }
    startReplay();
    mapSong();
    seekTo(transport.looping ? transport.loopIn : options.start);
    if (!options.script.empty()) {
        runScript();
    }
    takeSound();
    anchor();
    if (!openView(options.width, options.height, error)) {
        say(error);
        std::exit(1);
    }
    watchFiles();
    int64_t drawn = 0;  // when the view was last drawn, on the monotonic clock
    for (;;) {
        const ViewInput input = nextViewInput(untilNextMoment());
        if (input.kind == ViewInput::Close || (input.kind == ViewInput::Key && !pressKey(input.keysym, input.shift))) {
            std::exit(0);
        }
        if (input.kind == ViewInput::Seek) {
            seekTo(input.count);
        }
        takeChanges();
        checkRender();
        follow();
        // The view is drawn for a new picture or an input, and for a new status at most every STATUS_NS.
        const int64_t now = k3l::monotonicNanoseconds();
        const bool moved = viewState.position != replayPosition() || viewState.paused != transport.paused ||
                           viewState.looping != transport.looping || viewState.loopIn != transport.loopIn ||
                           viewState.loopOut != transport.loopOut || viewState.message != transport.message;
        if (readPicture() || input.kind != ViewInput::Nothing || (moved && now - drawn >= STATUS_NS)) {
            viewState.position = replayPosition();
            viewState.loopIn = transport.loopIn;
            viewState.loopOut = transport.loopOut;
            viewState.looping = transport.looping;
            viewState.paused = transport.paused;
            statusLine(viewState.status);
            viewState.message = transport.message;
            drawView(picture.data(), viewState);
            drawn = now;
        }
    }
}
