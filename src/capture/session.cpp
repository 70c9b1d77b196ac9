#include "capture/session.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "offline/player.h"
#include "capture/progress.h"
#include "capture/storyboard.h"
#include "capture/video_writer.h"
#include "offline/virtual_clock.h"
#include "imagekit/png_writer.h"
#include "shared/fnv.h"

namespace fs = std::filesystem;

namespace {

constexpr int EXIT_FAILED = 1;               // process status after a failure
constexpr int EXIT_USAGE = 2;                // process status after a bad command line
constexpr int SAMPLE_RATE = 44100;           // Hz of the music handed to the encoder
constexpr const char* DATA_DIRECTORY = "data";           // where the show reads its files from
constexpr const char* SONG_FILE = "data\\zelto-07.tga";  // the show's music, named the show's way

// Where the capture stands: written by start, finish and fail; read by the exit handler.
enum class State { Idle, Running, Finished };
State state = State::Idle;

// The options: written by startCapture, read everywhere.
CaptureOptions options;

// An output under its final name and the temporary name it is written under.
struct OutputName {
    std::string final;
    std::string temp;
};

// The outputs: written by startCapture, read by the frame output, finish and fail.
OutputName videoName;       // the MP4
OutputName storyboardName;  // the storyboard PNG, when asked for
OutputName logName;         // the frame log, when asked for
OutputName pngName;         // the frame directory, when asked for
std::string videoStream;    // the encoded video alone, beside the MP4's temporary name
std::string audioStream;    // the encoded audio alone, beside it too
std::string encoderLog;     // ffmpeg's messages, in the temporary directory
bool encoderStarted = false;  // whether ffmpeg runs
FILE* frameLog = nullptr;   // the frame log while open

// What has been output: written by outputFrame and outputAudio, read by finish.
struct Tally {
    int64_t frames = 0;              // video frames written
    uint64_t frameHash = k3l::FNV64_OFFSET_BASIS;  // hash of the last fresh frame's pixels
    uint64_t audioHash = k3l::FNV64_OFFSET_BASIS;  // hash of every audio byte so far
    int64_t audioFrames = 0;         // stereo frames of audio so far
    int64_t audioSeen = 0;           // stereo frames heard, those before --from too
    const uint8_t* lastPixels = nullptr;  // the last frame's pixels (the loop's buffer, alive to exit)
    double lastSeconds = 0.0;        // its show time
    int lastScene = 0;               // its scene
};
Tally tally;

// The range written, in virtual counts since the show started: written by beginCaptureOutput, read by the loop and outputAudio.
struct Range {
    int64_t from = 0;    // first count written
    int64_t to = -1;     // count where the capture stops; -1: no --to
};
Range range;

// Set by the signal handler, read by the main loop and the thread that feeds the encoder.
std::atomic<int> interruptSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs a lock-free flag");

// Records an interrupt or termination request.
void onSignal(int)
{
    interruptSignal.store(1);
}

// The temporary name of an output: hidden, beside it, unique to this process.
std::string temporaryName(const std::string& path)
{
    const fs::path whole(path);
    const std::string directory = whole.has_parent_path() ? whole.parent_path().string() : std::string(".");
    return directory + "/." + whole.filename().string() + ".part-" + std::to_string(getpid());
}

// Prints a message after the program's name, on a clean line of stderr.
void say(const std::string& message)
{
    clearProgress();
    std::fprintf(stderr, "k3lvana-capture: %s\n", message.c_str());
}

// Claims an output file's temporary name; fails the capture when it cannot be written.
void claimFile(OutputName& output, const std::string& path, const char* what)
{
    std::error_code ignored;
    if (fs::is_directory(path, ignored)) {
        failCapture("cannot write the " + std::string(what) + " " + path + ": it is a directory");
    }
    output.temp = temporaryName(path);
    const int fd = open(output.temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        const std::string reason = std::strerror(errno);
        output.temp.clear();
        failCapture("cannot write the " + std::string(what) + " " + path + ": " + reason);
    }
    close(fd);
    output.final = path;
}

// Claims the frame directory's temporary name; fails when the directory is in use or cannot be made.
void claimDirectory(OutputName& output, const std::string& path)
{
    std::error_code error;
    if (fs::exists(path, error)) {
        if (!fs::is_directory(path, error) || !fs::is_empty(path, error) || error) {
            failCapture("the frame directory " + path + " exists and is not an empty directory");
        }
    }
    output.temp = temporaryName(path);
    if (!fs::create_directory(output.temp, error)) {
        const std::string reason = error ? error.message() : std::strerror(EEXIST);
        output.temp.clear();
        failCapture("cannot make the frame directory " + path + ": " + reason);
    }
    output.final = path;
}

// Moves a finished output to its final name; fails the capture when it cannot.
void publish(OutputName& output, bool directory)
{
    if (output.temp.empty()) {
        return;
    }
    std::error_code error;
    if (directory && fs::is_directory(fs::symlink_status(output.final, error))) {
        fs::remove(output.final, error);  // an empty directory of that name gives way
    }
    fs::rename(output.temp, output.final, error);
    if (error) {
        failCapture("cannot move " + output.temp + " to " + output.final + ": " + error.message());
    }
    output.temp.clear();
}

// Finishes every output once the show has exited: the encoder's file, the storyboard, the log, the frames.
void finishCapture()
{
    if (state != State::Running) {
        return;
    }
    state = State::Finished;
    const double endSeconds = countSeconds(virtualCount());
    std::string error;
    if (!finishVideoWriter(error)) {
        failCapture(error + "\n" + encoderMessages());
    }
    encoderStarted = false;
    if (!storyboardName.temp.empty()) {
        if (tally.lastPixels != nullptr) {
            closeStoryboard(tally.lastPixels, tally.lastSeconds, tally.lastScene);
        }
        if (!writeStoryboard(storyboardName.temp)) {
            failCapture("cannot write the storyboard " + storyboardName.final);
        }
    }
    if (frameLog != nullptr) {
        std::fprintf(frameLog, "audio %lld %016llx\nend %.6f\n", static_cast<long long>(tally.audioFrames),
                     static_cast<unsigned long long>(tally.audioHash), endSeconds);
        const bool written = std::ferror(frameLog) == 0;
        const bool closed = std::fclose(frameLog) == 0;
        frameLog = nullptr;
        if (!written || !closed) {
            failCapture("cannot write the frame log " + logName.final);
        }
    }
    publish(storyboardName, false);
    publish(logName, false);
    publish(pngName, true);
    publish(videoName, false);
    std::error_code ignored;
    for (const std::string* path : {&videoStream, &audioStream, &encoderLog}) {
        fs::remove(*path, ignored);
    }
    std::fflush(stdout);
    endProgress(tally.frames, endSeconds, videoName.final);
    if (!storyboardName.final.empty()) {
        std::fprintf(stderr, "k3lvana-capture: wrote %s: a storyboard of %d frame%s\n", storyboardName.final.c_str(),
                     storyboardFrames(), storyboardFrames() == 1 ? "" : "s");
    }
}

// The virtual count of a moment of the command line; -1 for none. Fails the capture on a position the song never reaches.
int64_t rangeCount(const ShowMoment& moment, const char* name)
{
    int64_t count = -1;
    std::string error;
    if (!momentCount(moment, SONG_FILE, count, error)) {
        failCapture(std::string(name) + " " + error);
    }
    return count;
}

// Receives the music as the show hears it (interleaved stereo float frames): its hash, the encoder.
void outputAudio(const float* frames, int count)
{
    const int64_t skipped = std::clamp<int64_t>((range.from + 999) / 1000 - tally.audioSeen, 0, count);  // 1000 counts a sample
    tally.audioSeen += count;
    frames += skipped * 2;
    count -= static_cast<int>(skipped);
    tally.audioHash = k3l::fnv1a64(frames, static_cast<size_t>(count) * 2 * sizeof(float), tally.audioHash);
    tally.audioFrames += count;
    std::string error;
    if (!writeAudio(frames, count, error)) {
        failCapture(error + "\n" + encoderMessages());
    }
}

}  // namespace

void startCapture(int argc, char** argv)
{
    std::string error;
    if (!parseCaptureOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "k3lvana-capture: %s\n%s", error.c_str(), captureUsage());
        std::exit(EXIT_USAGE);
    }
    if (options.help) {
        std::fputs(captureUsage(), stdout);
        std::exit(0);
    }
    std::error_code unreadable;
    if (!fs::is_directory(DATA_DIRECTORY, unreadable)) {
        const fs::path here = fs::current_path(unreadable);
        const std::string where = unreadable ? std::string(".") : here.string();
        failCapture("no data directory: " + where + "/" + DATA_DIRECTORY +
                    " is missing; run the capture where the show's data/ is (e.g. in build/)");
    }

    claimFile(videoName, options.output, "video");
    if (!options.storyboard.empty()) {
        claimFile(storyboardName, options.storyboard, "storyboard");
    }
    if (!options.frameLog.empty()) {
        claimFile(logName, options.frameLog, "frame log");
        frameLog = std::fopen(logName.temp.c_str(), "w");
        if (frameLog == nullptr) {
            failCapture("cannot write the frame log " + options.frameLog);
        }
    }
    if (!options.pngDir.empty()) {
        claimDirectory(pngName, options.pngDir);
    }

    const char* temporary = std::getenv("TMPDIR");
    char logTemplate[4096];
    std::snprintf(logTemplate, sizeof logTemplate, "%s/k3lvana-capture-ffmpeg.XXXXXX",
                  temporary != nullptr && *temporary != '\0' ? temporary : "/tmp");
    const int logFd = mkstemp(logTemplate);
    if (logFd < 0) {
        failCapture(std::string("cannot make a temporary file for ffmpeg's messages: ") + std::strerror(errno));
    }
    close(logFd);
    encoderLog = logTemplate;

    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);

    VideoWriterSettings settings;
    videoStream = videoName.temp + ".video";
    audioStream = videoName.temp + ".audio";
    settings.path = videoName.temp;
    settings.videoPath = videoStream;
    settings.audioPath = audioStream;
    settings.logPath = encoderLog;
    settings.width = options.width;
    settings.height = options.height;
    settings.fps = options.fps;
    settings.sampleRate = SAMPLE_RATE;
    settings.preset = options.preset;
    settings.crf = options.crf;
    settings.interrupted = captureInterrupted;
    if (!startVideoWriter(settings, error)) {
        failCapture(error);
    }
    encoderStarted = true;
    setAudioSink(outputAudio);
    state = State::Running;
    std::atexit(finishCapture);
}

const CaptureOptions& captureOptions()
{
    return options;
}

int64_t captureFromCount()
{
    return range.from;
}

int64_t captureToCount()
{
    return range.to;
}

void beginCaptureOutput()
{
    range.from = std::max<int64_t>(0, rangeCount(options.from, "--from"));
    range.to = rangeCount(options.to, "--to");
    if (range.to >= 0 && range.to <= range.from) {
        failCapture("--to must come after --from");
    }
    const double song = songSeconds();
    const double expected = options.seconds > 0.0 && (song <= 0.0 || options.seconds < song) ? options.seconds : song;
    // The show is played up to the range's end and no further: the progress counts up to there.
    const double played = range.to >= 0 && (expected <= 0.0 || countSeconds(range.to) < expected) ? countSeconds(range.to)
                                                                                                   : expected;
    startProgress(options.progress, played);
    startStoryboard(options.width, options.height, expected);
}

void outputFrame(int64_t index, int64_t count, const uint8_t* bgr, bool fresh, int scene)
{
    const double seconds = countSeconds(count);
    const size_t pixels = static_cast<size_t>(options.width) * options.height;
    if (fresh && frameLog != nullptr) {
        tally.frameHash = k3l::fnv1a64(bgr, pixels * 3);
    }
    std::string error;
    if (!writeVideoFrame(error)) {
        failCapture(error + "\n" + encoderMessages());
    }
    if (!pngName.temp.empty()) {
        char name[32];
        std::snprintf(name, sizeof name, "/frame-%06lld.png", static_cast<long long>(index));
        if (!imagekit::writePng(pngName.temp + name, options.width, options.height, bgr, imagekit::PngOrder::Bgr,
                                imagekit::PngEffort::Fast)) {
            failCapture("cannot write " + pngName.temp + name);
        }
    }
    if (!storyboardName.temp.empty()) {
        considerStoryboardFrame(bgr, seconds, scene);
    }
    if (frameLog != nullptr) {
        std::fprintf(frameLog, "frame %lld %.6f scene %d %016llx\n", static_cast<long long>(index), seconds, scene,
                     static_cast<unsigned long long>(tally.frameHash));
    }
    tally.lastPixels = bgr;
    tally.lastSeconds = seconds;
    tally.lastScene = scene;
    ++tally.frames;
    updateProgress(tally.frames, seconds);
}

void failCapture(const std::string& message)
{
    say(interruptSignal.load() != 0 ? std::string("interrupted") : message);
    state = State::Finished;
    if (encoderStarted) {
        abortVideoWriter();
        encoderStarted = false;
    }
    if (frameLog != nullptr) {
        std::fclose(frameLog);
        frameLog = nullptr;
    }
    std::error_code ignored;
    for (const std::string* path : {&videoName.temp, &storyboardName.temp, &logName.temp, &videoStream,
                                    &audioStream, &encoderLog}) {
        if (!path->empty()) {
            fs::remove(*path, ignored);
        }
    }
    if (!pngName.temp.empty()) {
        fs::remove_all(pngName.temp, ignored);  // the frames written so far, and their directory
    }
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(EXIT_FAILED);
}

bool captureInterrupted()
{
    return interruptSignal.load() != 0;
}
