#include "capture/options.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int MIN_SIDE = 16;           // pixels
constexpr int MAX_SIDE = 7680;         // pixels
constexpr int MAX_FPS = 240;           // frames per second
constexpr int MAX_CRF = 51;            // x264's worst quality
constexpr double MAX_SECONDS = 3600.0; // seconds of show time

const char* const USAGE =
    "usage: k3lvana-capture [options]\n"
    "Renders the show to a video file with its music, run where the show's data/ is (e.g. build/).\n"
    "  -o, --output FILE     MP4 file to write (default k3lvana.mp4)\n"
    "      --size WxH        picture size in pixels, both even (default 1280x720)\n"
    "      --fps N           video frames per second, 1..240 (default 60)\n"
    "      --seconds S       stop after S seconds of show time (default: when the show ends)\n"
    "      --storyboard FILE PNG grid of frames after each scene cut and in between, labelled\n"
    "      --png DIR         every video frame as DIR/frame-NNNNNN.png (DIR new or empty)\n"
    "      --frame-log FILE  per frame: time, scene and a hash of its pixels; then the audio's hash\n"
    "      --preset NAME     x264 preset (default superfast)\n"
    "      --crf N           x264 quality, 0 (lossless) .. 51 (default 20)\n"
    "      --quiet           no progress bar\n"
    "  -h, --help            this text\n";

// Parses a whole decimal integer; false on anything else.
bool readInt(const char* text, int& value)
{
    char* end = nullptr;
    const long parsed = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || parsed < -1000000 || parsed > 1000000) {
        return false;
    }
    value = static_cast<int>(parsed);
    return true;
}

// Parses "WxH".
bool readSize(const char* text, int& width, int& height)
{
    const char* cross = std::strchr(text, 'x');
    if (cross == nullptr) {
        return false;
    }
    const std::string left(text, cross);
    return readInt(left.c_str(), width) && readInt(cross + 1, height);
}

}  // namespace

const char* captureUsage()
{
    return USAGE;
}

bool parseCaptureOptions(int argc, char** argv, CaptureOptions& options, std::string& error)
{
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "-h" || name == "--help") {
            options.help = true;
            continue;
        }
        if (name == "--quiet") {
            options.progress = false;
            continue;
        }
        if (i + 1 >= argc) {
            error = name.rfind('-', 0) == 0 ? "option " + name + " needs a value" : "unexpected argument " + name;
            return false;
        }
        const char* value = argv[++i];
        bool good = true;
        if (name == "-o" || name == "--output") {
            options.output = value;
            good = !options.output.empty();
        } else if (name == "--size") {
            good = readSize(value, options.width, options.height) && options.width >= MIN_SIDE &&
                   options.height >= MIN_SIDE && options.width <= MAX_SIDE && options.height <= MAX_SIDE &&
                   options.width % 2 == 0 && options.height % 2 == 0;
        } else if (name == "--fps") {
            good = readInt(value, options.fps) && options.fps >= 1 && options.fps <= MAX_FPS;
        } else if (name == "--seconds") {
            char* end = nullptr;
            options.seconds = std::strtod(value, &end);
            good = end != value && *end == '\0' && std::isfinite(options.seconds) && options.seconds > 0.0 &&
                   options.seconds <= MAX_SECONDS;
        } else if (name == "--storyboard") {
            options.storyboard = value;
            good = !options.storyboard.empty();
        } else if (name == "--png") {
            options.pngDir = value;
            while (options.pngDir.size() > 1 && options.pngDir.back() == '/') {
                options.pngDir.pop_back();
            }
            good = !options.pngDir.empty() && options.pngDir != "/";
        } else if (name == "--frame-log") {
            options.frameLog = value;
            good = !options.frameLog.empty();
        } else if (name == "--preset") {
            options.preset = value;
            good = !options.preset.empty() && options.preset.find_first_not_of("abcdefghijklmnopqrstuvwxyz") ==
                                                  std::string::npos;
        } else if (name == "--crf") {
            good = readInt(value, options.crf) && options.crf >= 0 && options.crf <= MAX_CRF;
        } else {
            error = "unknown option " + name;
            return false;
        }
        if (!good) {
            error = "bad value for " + name + ": " + value;
            return false;
        }
    }
    return true;
}
