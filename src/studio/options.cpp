#include "studio/options.h"

#include <getopt.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "offline/moments.h"
#include "offline/offline_glut.h"
#include "platform/glut.h"

StudioOptions studioOptions;

namespace {

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
    "                    mFILE take FILE as the module and reload it; with CMDS -, a line of commands at a\n"
    "                    time from standard input, new versions of the module and the images taken before\n"
    "                    each line\n"
    "  -h, --help        this text\n"
    "Keys: Space pause/resume; Left/Right 1 s (Shift: 10 s); Page Up/Down previous/next sync event;\n"
    "  [ ] previous/next pattern; Home the start; , . one tick back/forward while paused;\n"
    "  i o the loop's in and out points; l loop on/off; r reload the module and the images; c render\n"
    "  the loop (or the whole show) to an MP4 beside data/; + - (or the wheel) zoom the timeline;\n"
    "  ? shows the keys; Escape quits. Click or drag on the timeline to seek. A module or image\n"
    "  file that changes is reloaded by itself.\n";

}  // namespace

void say(const std::string& message)
{
    std::fprintf(stderr, "k3lvana-studio: %s\n", message.c_str());
}

std::filesystem::path hostPath(std::string path)
{
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

int64_t studioMoment(const char* text, const char* what)
{
    ShowMoment moment;
    int64_t count = 0;
    std::string error;
    if (!readShowMoment(text, moment)) {
        say(std::string("bad value for ") + what + ": " + text);
        std::exit(2);
    }
    if (!momentCount(moment, studioOptions.module.c_str(), count, error)) {
        say(std::string(what) + " " + error);
        std::exit(1);
    }
    return count;
}

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
    StudioOptions& options = studioOptions;
    std::vector<std::string> moments(3);  // start, loop in, loop out: read once the module is known
    for (int code; (code = getopt_long(*argc, argv, "h", LONG_OPTIONS, nullptr)) != -1;) {
        if (code == SIZE) {
            if (!readPictureSize(optarg, options.width, options.height)) {
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
        options.start = studioMoment(moments[0].c_str(), "--start");
    }
    if (!moments[1].empty()) {
        options.loopIn = studioMoment(moments[1].c_str(), "--loop");
        options.loopOut = studioMoment(moments[2].c_str(), "--loop");
    }
    *argc = 1;
}

// The show's window: the offscreen context at the picture's size (the studio's window is its own).
int createPointerWindow(const char*)
{
    if (!openOfflineWindow(studioOptions.width, studioOptions.height)) {
        say("no offscreen OpenGL context (Mesa's EGL surfaceless platform; Debian package libegl-mesa0)");
        std::exit(1);
    }
    return offlineGlut.windowId;
}
