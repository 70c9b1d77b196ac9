#include "capture/options.h"

#include <getopt.h>

#include <cmath>
#include <cstdlib>

namespace {

constexpr int MAX_FPS = 240;           // frames per second
constexpr int MAX_CRF = 51;            // x264's worst quality

const char* const USAGE =
    "usage: k3lvana-capture [options]\n"
    "Renders the show to a video file with its music, run where the show's data/ is (e.g. build/).\n"
    "  -o, --output FILE     MP4 file to write (default k3lvana.mp4)\n"
    "      --size WxH        picture size in pixels, both even (default 1280x720)\n"
    "      --fps N           video frames per second, 1..240 (default 60)\n"
    "      --seconds S       stop after S seconds of show time (default: when the show ends)\n"
    "      --from T          write frames from show time T on (seconds or ORDER:ROW); the show runs from\n"
    "                        its start all the same, so the frames equal the whole capture's\n"
    "      --to T            stop at show time T (seconds or ORDER:ROW)\n"
    "      --storyboard FILE PNG grid of frames after each scene cut and in between, labelled\n"
    "      --png DIR         every video frame as DIR/frame-NNNNNN.png (DIR new or empty)\n"
    "      --frame-log FILE  per frame: time, scene and a hash of its pixels; then the audio's hash\n"
    "      --preset NAME     x264 preset (default superfast)\n"
    "      --crf N           x264 quality, 0 (lossless) .. 51 (default 20)\n"
    "      --quiet           no progress bar\n"
    "  -h, --help            this text\n"
    "A value follows its option after a space or '=' (--size 640x480, --size=640x480).\n";

// The codes getopt_long returns for the options without a short name.
enum LongOnly {
    OPTION_SIZE = 256,
    OPTION_FPS,
    OPTION_SECONDS,
    OPTION_STORYBOARD,
    OPTION_PNG,
    OPTION_FRAME_LOG,
    OPTION_PRESET,
    OPTION_CRF,
    OPTION_QUIET,
    OPTION_FROM,
    OPTION_TO,
};

// The long options ("--name VALUE" and "--name=VALUE" both work): fixed; read by parseCaptureOptions and isLongName.
const option LONG_OPTIONS[] = {
    {"output", required_argument, nullptr, 'o'},
    {"size", required_argument, nullptr, OPTION_SIZE},
    {"fps", required_argument, nullptr, OPTION_FPS},
    {"seconds", required_argument, nullptr, OPTION_SECONDS},
    {"storyboard", required_argument, nullptr, OPTION_STORYBOARD},
    {"png", required_argument, nullptr, OPTION_PNG},
    {"frame-log", required_argument, nullptr, OPTION_FRAME_LOG},
    {"preset", required_argument, nullptr, OPTION_PRESET},
    {"crf", required_argument, nullptr, OPTION_CRF},
    {"quiet", no_argument, nullptr, OPTION_QUIET},
    {"from", required_argument, nullptr, OPTION_FROM},
    {"to", required_argument, nullptr, OPTION_TO},
    {"help", no_argument, nullptr, 'h'},
    {nullptr, 0, nullptr, 0},
};

// Whether `spelled` ("--name") is one of the long options, written out in full.
bool isLongName(const std::string& spelled)
{
    for (const option* at = LONG_OPTIONS; at->name != nullptr; ++at) {
        if (spelled == "--" + std::string(at->name)) {
            return true;
        }
    }
    return false;
}

// Checks and stores the value of option `code`, named `name` on the command line.
bool readValue(int code, const std::string& name, const char* value, CaptureOptions& options, std::string& error)
{
    bool good = true;
    switch (code) {
    case 'o':
        options.output = value;
        good = !options.output.empty();
        break;
    case OPTION_SIZE:
        good = readPictureSize(value, options.width, options.height) && options.width % 2 == 0 &&
               options.height % 2 == 0;
        break;
    case OPTION_FPS:
        good = readWholeNumber(value, options.fps) && options.fps >= 1 && options.fps <= MAX_FPS;
        break;
    case OPTION_SECONDS: {
        char* end = nullptr;
        options.seconds = std::strtod(value, &end);
        good = end != value && *end == '\0' && std::isfinite(options.seconds) && options.seconds > 0.0 &&
               options.seconds <= MAX_SHOW_SECONDS;
        break;
    }
    case OPTION_STORYBOARD:
        options.storyboard = value;
        good = !options.storyboard.empty();
        break;
    case OPTION_PNG:
        options.pngDir = value;
        while (options.pngDir.size() > 1 && options.pngDir.back() == '/') {
            options.pngDir.pop_back();
        }
        good = !options.pngDir.empty() && options.pngDir != "/";
        break;
    case OPTION_FRAME_LOG:
        options.frameLog = value;
        good = !options.frameLog.empty();
        break;
    case OPTION_PRESET:
        options.preset = value;
        good = !options.preset.empty() &&
               options.preset.find_first_not_of("abcdefghijklmnopqrstuvwxyz") == std::string::npos;
        break;
    case OPTION_FROM:
        good = readShowMoment(value, options.from);
        break;
    case OPTION_TO:
        good = readShowMoment(value, options.to);
        break;
    case OPTION_CRF:
        good = readWholeNumber(value, options.crf) && options.crf >= 0 && options.crf <= MAX_CRF;
        break;
    default:
        break;
    }
    if (!good) {
        error = "bad value for " + name + ": " + value;
    }
    return good;
}

}  // namespace

const char* captureUsage()
{
    return USAGE;
}

bool parseCaptureOptions(int argc, char** argv, CaptureOptions& options, std::string& error)
{
    // "-": arguments that are no option come back in order as code 1; ":": a missing value is ':'.
    static const char SHORT_OPTIONS[] = "-:o:h";
    optind = 0;  // 0 rather than 1: getopt forgets any earlier parse
    opterr = 0;
    for (;;) {
        const int before = optind == 0 ? 1 : optind;  // the argument getopt reads next
        int index = -1;
        const int code = getopt_long(argc, argv, SHORT_OPTIONS, LONG_OPTIONS, &index);
        if (code == -1) {
            break;
        }
        const std::string written = argv[before];  // the argument as written, "--size=WxH" included
        if (code == 1) {
            error = (optind < argc ? "unknown option " : "unexpected argument ") + written;
            return false;
        }
        const std::string spelled = written.substr(0, written.find('='));  // without any "=VALUE"
        // getopt_long takes unambiguous abbreviations; the capture takes only whole names.
        if (code == '?' || (written.rfind("--", 0) == 0 && !isLongName(spelled))) {
            error = code == '?' && optopt != 0 && isLongName(spelled) ? "option " + spelled + " takes no value"
                                                                      : "unknown option " + spelled;
            return false;
        }
        const std::string name = index >= 0 ? "--" + std::string(LONG_OPTIONS[index].name) : written;
        if (code == ':') {
            error = "option " + written + " needs a value";
            return false;
        }
        if (code == 'h') {
            options.help = true;
        } else if (code == OPTION_QUIET) {
            options.progress = false;
        } else if (!readValue(code, name, optarg, options, error)) {
            return false;
        }
    }
    if (optind < argc) {  // after "--"
        error = "unexpected argument " + std::string(argv[optind]);
        return false;
    }
    return true;
}
