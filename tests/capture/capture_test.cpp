// The capture program end to end: the real k3lvana-capture binary, with DISPLAY
// unset, on modules written by the IT writer (or the show's own data), its output
// read back with ffmpeg and ffprobe.
//
// The test images make two scenes easy to tell apart on a frame: scene 1's backdrop
// is solid red, scene 2's solid blue, every other image (the credits card included)
// is transparent, so scene 0 is black.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "capture_support.h"
#include "imagekit/tga_writer.h"
#include "itwriter/itwriter.h"

namespace {

// The capture's time grid: a 44.1 MHz counter (1000 counts an audio sample); the show
// ticks at the first count past 55.0 ms after the last tick, which is every 2425501
// counts (55.000023 ms), starting when the music starts.
constexpr int64_t COUNTS_PER_SECOND = 44100000;
constexpr int64_t COUNTS_PER_SAMPLE = 1000;
constexpr int64_t TICK_COUNTS = 2425501;
// The test module's rows: speed 6 at tempo 125, 6 ticks of 882 samples (120 ms).
constexpr int64_t ROW_SAMPLES = 5292;
constexpr int SAMPLE_RATE = 44100;  // Hz

constexpr int WIDTH = 160;   // pixels of the test captures
constexpr int HEIGHT = 120;  // pixels
constexpr int FPS = 30;      // frames per second

constexpr int DARK = 0;   // what a frame of scene 0 looks like with the test images
constexpr int RED = 1;    // scene 1
constexpr int BLUE = 2;   // scene 2
constexpr int UNCLEAR = -1;

// A cut written into the test module's sync channel.
struct Cut {
    int row;
    int scene;
};

// Cuts between scenes 0, 1 and 2, some at awkward moments: row 0 comes with the very
// first picture, row 11 (1.32 s) starts 24 counts before a tick, row 17 starts 220
// samples after one, and the tick after row 9 comes 20 counts after a video frame (at
// 30 frames a second).
const std::vector<Cut> CUTS = {{0, 1}, {4, 0}, {9, 1}, {11, 2}, {17, 1}, {23, 2}};
constexpr int QUIT_ROW = 30;          // Z1B: 3.6 s
constexpr int MODULE_ROWS = 40;       // the song goes on 1.2 s past the quit event
const std::vector<int> BLIP_ROWS = {4, 17};  // rows with a note: the music's first sound is at row 4

// The seventeen images the show loads.
const char* const IMAGES[] = {"afraid512", "afraid64", "noise", "credits", "noiseliscio", "confidence512",
                              "confidence", "schizzi", "sprite", "scoramento", "gatto", "wisdom", "wisdom64",
                              "vs", "uncertainty64", "brave", "creditifinali"};

std::string capturePath()
{
    return K3L_CAPTURE;
}

// A short decaying sine: the only sound of the test module.
itw::Sample blip()
{
    itw::Sample sample;
    sample.name = "blip";
    for (int i = 0; i < SAMPLE_RATE / 10; ++i) {
        const double t = static_cast<double>(i) / SAMPLE_RATE;
        sample.frames.push_back(
            static_cast<int16_t>(20000.0 * std::exp(-t * 30.0) * std::sin(2.0 * M_PI * 220.0 * t)));
    }
    return sample;
}

// Writes data/ for the show into `directory`: the test images and a module with the
// given cuts, an optional Z1B (quitRow < 0: none) and `rows` rows in all.
void writeShowData(const std::string& directory, const std::vector<Cut>& cuts, int quitRow, int rows)
{
    const std::string data = directory + "/data";
    ASSERT_EQ(system(("mkdir -p " + data).c_str()), 0);
    for (const char* name : IMAGES) {
        imagekit::Image image(8, 8);
        const bool red = std::string(name) == "afraid512";
        const bool blue = std::string(name) == "confidence512";
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                uint8_t* pixel = image.at(x, y);
                pixel[0] = red ? 255 : 0;
                pixel[2] = blue ? 255 : 0;
                pixel[3] = red || blue ? 255 : 0;
            }
        }
        ASSERT_TRUE(imagekit::saveTGA(image, 32, data + "/" + name + ".tga"));
    }
    itw::Module module;
    module.name = "capture test";
    module.channels = 2;
    module.samples = {blip()};
    itw::Pattern pattern(rows, module.channels);
    for (int row : BLIP_ROWS) {
        pattern.at(row, 0) = itw::Cell{itw::C5, 1, 64, 0, 0};
    }
    for (const Cut& cut : cuts) {
        pattern.at(cut.row, 1) = itw::Cell{itw::NOTE_NONE, 0, itw::VOLUME_NONE, 'Z', static_cast<uint8_t>(cut.scene)};
    }
    if (quitRow >= 0) {
        pattern.at(quitRow, 1) = itw::Cell{itw::NOTE_NONE, 0, itw::VOLUME_NONE, 'Z', 0x1B};
    }
    module.patterns = {pattern};
    module.orders = {0};
    ASSERT_TRUE(itw::saveIT(module, data + "/zelto-07.tga"));
}

// Virtual count where a row of the test module starts.
int64_t rowCount(int row)
{
    return row * ROW_SAMPLES * COUNTS_PER_SAMPLE;
}

// The count of the first tick at or after `count` (an event at a tick's very count reaches the show first).
int64_t tickAtOrAfter(int64_t count)
{
    return (count + TICK_COUNTS - 1) / TICK_COUNTS * TICK_COUNTS;
}

// Video frames shown before `count`: frame j is shown at j / fps.
int64_t framesBefore(int64_t count, int fps)
{
    return (count * fps + COUNTS_PER_SECOND - 1) / COUNTS_PER_SECOND;
}

// The scene video frame `index` shows: the show draws once at the start and at every
// tick; a frame shows the last drawing at or before its time, which shows the last
// cut at or before that drawing.
int expectedScene(int64_t index, int fps)
{
    const int64_t shownAt = index * COUNTS_PER_SECOND / fps;
    const int64_t drawnAt = shownAt / TICK_COUNTS * TICK_COUNTS;
    int scene = 0;
    for (const Cut& cut : CUTS) {
        if (rowCount(cut.row) <= drawnAt) {
            scene = cut.scene;
        }
    }
    return scene;
}

// What the middle band of an RGB picture (rows inside the picture area) mostly is.
int classify(const uint8_t* rgb, int width, int height, int stride)
{
    int red = 0;
    int blue = 0;
    int dark = 0;
    int total = 0;
    for (int y = height / 4; y < height * 3 / 4; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = rgb + static_cast<size_t>(y) * stride + x * 3;
            red += p[0] > 110 && p[1] < 70 && p[2] < 70;
            blue += p[2] > 110 && p[0] < 70 && p[1] < 70;
            dark += std::max({p[0], p[1], p[2]}) < 50;
            ++total;
        }
    }
    if (red * 2 > total) {
        return RED;
    }
    if (blue * 2 > total) {
        return BLUE;
    }
    return dark * 2 > total ? DARK : UNCLEAR;
}

// The arguments of a capture of the test module at the test size, plus `extra`.
std::vector<std::string> captureArguments(const std::vector<std::string>& extra)
{
    std::vector<std::string> arguments = {capturePath(), "--size", std::to_string(WIDTH) + "x" + std::to_string(HEIGHT),
                                          "--fps", std::to_string(FPS), "--quiet"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return arguments;
}

// ---------------------------------------------------------------------------------------
// One capture of the test module, shared by the timeline tests.
class CaptureTimeline : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        scratch = new ScratchDir;
        writeShowData(scratch->path, CUTS, QUIT_ROW, MODULE_ROWS);
        run = runProgram(captureArguments({"-o", "show.mp4", "--frame-log", "frames.log", "--storyboard",
                                           "board.png", "--png", "frames"}),
                         scratch->path);
        log = readFrameLog(*scratch / "frames.log");
    }
    static void TearDownTestSuite()
    {
        delete scratch;
        scratch = nullptr;
    }

    static ScratchDir* scratch;
    static ProgramRun run;
    static FrameLog log;
};
ScratchDir* CaptureTimeline::scratch = nullptr;
ProgramRun CaptureTimeline::run;
FrameLog CaptureTimeline::log;

TEST_F(CaptureTimeline, EndsByItselfAtTheTickAfterTheQuitEvent)
{
    ASSERT_EQ(run.status, 0) << run.err;
    const int64_t end = tickAtOrAfter(rowCount(QUIT_ROW));
    const int64_t frames = framesBefore(end, FPS);
    const int64_t samples = (end + COUNTS_PER_SAMPLE - 1) / COUNTS_PER_SAMPLE;
    EXPECT_NEAR(log.endSeconds, static_cast<double>(end) / COUNTS_PER_SECOND, 1e-6);
    EXPECT_EQ(static_cast<int64_t>(log.frames.size()), frames);
    EXPECT_EQ(probe(*scratch / "show.mp4", "v", "nb_read_frames"), std::to_string(frames));
    EXPECT_EQ(log.audioFrames, samples);
    // AAC comes in blocks of 1024 samples; the decoder trims the encoder's delay.
    EXPECT_NEAR(static_cast<double>(decodeAudio(*scratch / "show.mp4").size()), static_cast<double>(samples), 1024.0);
    EXPECT_EQ(probe(*scratch / "show.mp4", "v", "width") + "x" + probe(*scratch / "show.mp4", "v", "height"),
              "160x120");
    EXPECT_EQ(probe(*scratch / "show.mp4", "v", "codec_name"), "h264");
    EXPECT_EQ(probe(*scratch / "show.mp4", "a", "codec_name"), "aac");
}

TEST_F(CaptureTimeline, KeepsTheShowsConsoleOnStdoutAndItsOwnTextOnStderr)
{
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.rfind("[LOADING..", 0), 0u) << run.out;
    EXPECT_NE(run.out.find("]\nLoaded.\n"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("k3lvana-capture"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("wrote show.mp4"), std::string::npos) << run.err;
}

TEST_F(CaptureTimeline, CutsFallOnTheFirstFrameDrawnAfterTheirTick)
{
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<uint8_t> video = decodeVideo(*scratch / "show.mp4", WIDTH, HEIGHT);
    const size_t frameBytes = static_cast<size_t>(WIDTH) * HEIGHT * 3;
    ASSERT_EQ(video.size() % frameBytes, 0u);
    const int64_t frames = static_cast<int64_t>(video.size() / frameBytes);
    ASSERT_EQ(frames, static_cast<int64_t>(log.frames.size()));
    int cutsSeen = 0;
    for (int64_t j = 0; j < frames; ++j) {
        const int expected = expectedScene(j, FPS);
        EXPECT_EQ(classify(&video[j * frameBytes], WIDTH, HEIGHT, WIDTH * 3), expected) << "video frame " << j;
        EXPECT_EQ(log.frames[j].scene, expected) << "frame log, frame " << j;
        cutsSeen += j > 0 && expected != expectedScene(j - 1, FPS);
    }
    EXPECT_EQ(cutsSeen, static_cast<int>(CUTS.size()) - 1);
}

TEST_F(CaptureTimeline, PngFramesShowTheSameCuts)
{
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(listDirectory(*scratch / "frames").size(), log.frames.size());
    for (const Cut& cut : CUTS) {
        // The first frame showing the cut, and the one before it.
        const int64_t first = framesBefore(tickAtOrAfter(rowCount(cut.row)), FPS);
        for (int64_t j = std::max<int64_t>(0, first - 1); j <= first; ++j) {
            char name[32];
            std::snprintf(name, sizeof name, "frames/frame-%06lld.png", static_cast<long long>(j));
            Picture picture;
            ASSERT_TRUE(readPicture(*scratch / name, picture)) << name;
            ASSERT_EQ(picture.width, WIDTH);
            EXPECT_EQ(classify(picture.rgb.data(), picture.width, picture.height, picture.width * 3),
                      expectedScene(j, FPS))
                << name;
        }
    }
}

TEST_F(CaptureTimeline, MusicStartsWhereItsRowDoes)
{
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<int16_t> audio = decodeAudio(*scratch / "show.mp4");
    ASSERT_FALSE(audio.empty());
    int peak = 0;
    for (int16_t sample : audio) {
        peak = std::max(peak, std::abs(static_cast<int>(sample)));
    }
    ASSERT_GT(peak, 1000) << "the music is silent";
    size_t onset = 0;
    while (onset < audio.size() && std::abs(static_cast<int>(audio[onset])) * 4 < peak) {
        ++onset;
    }
    const double expected = static_cast<double>(BLIP_ROWS.front() * ROW_SAMPLES) / SAMPLE_RATE;
    EXPECT_NEAR(static_cast<double>(onset) / SAMPLE_RATE, expected, 0.005);
}

TEST_F(CaptureTimeline, StoryboardShowsEachSceneShortlyAfterItsCut)
{
    ASSERT_EQ(run.status, 0) << run.err;
    Picture board;
    ASSERT_TRUE(readPicture(*scratch / "board.png", board));
    // Four frames a row, 8 pixels apart and around; each frame is the capture's size
    // (it is narrower than the canvas) with its label underneath.
    constexpr int gutter = 8;
    constexpr int columns = 4;
    ASSERT_EQ(board.width, gutter + columns * (WIDTH + gutter));
    // Scene 1's return at row 9 lasts less than the time a frame is kept after a cut.
    const std::vector<int> expected = {RED, DARK, BLUE, RED, BLUE};
    const int rows = static_cast<int>((expected.size() + columns - 1) / columns);
    const int cellHeight = (board.height - gutter) / rows;
    ASSERT_GT(cellHeight, HEIGHT);
    for (size_t i = 0; i < expected.size(); ++i) {
        const int left = gutter + static_cast<int>(i % columns) * (WIDTH + gutter);
        const int top = gutter + static_cast<int>(i / columns) * cellHeight;
        const uint8_t* corner = &board.rgb[(static_cast<size_t>(top) * board.width + left) * 3];
        EXPECT_EQ(classify(corner, WIDTH, HEIGHT, board.width * 3), expected[i]) << "storyboard frame " << i;
    }
}

// ---------------------------------------------------------------------------------------
TEST(CaptureLimits, SecondsOptionStopsTheShowThere)
{
    ScratchDir scratch;
    writeShowData(scratch.path, CUTS, QUIT_ROW, MODULE_ROWS);
    const ProgramRun run = runProgram(captureArguments({"-o", "short.mp4", "--seconds", "1", "--frame-log", "frames.log"}),
                               scratch.path);
    ASSERT_EQ(run.status, 0) << run.err;
    const FrameLog log = readFrameLog(scratch / "frames.log");
    EXPECT_EQ(log.frames.size(), static_cast<size_t>(FPS));
    EXPECT_EQ(log.audioFrames, SAMPLE_RATE);
    EXPECT_NEAR(log.endSeconds, 1.0, 1e-9);
    EXPECT_EQ(probe(scratch / "short.mp4", "v", "nb_read_frames"), std::to_string(FPS));
}

TEST(CaptureLimits, SongWithoutQuitEventEndsTheCaptureWhereItEnds)
{
    ScratchDir scratch;
    constexpr int rows = 20;  // 2.4 s and no Z1B
    writeShowData(scratch.path, {{0, 0}, {4, 1}}, -1, rows);
    const ProgramRun run = runProgram(captureArguments({"-o", "song.mp4", "--frame-log", "frames.log"}), scratch.path);
    ASSERT_EQ(run.status, 0) << run.err;
    const FrameLog log = readFrameLog(scratch / "frames.log");
    const double songSeconds = static_cast<double>(rows * ROW_SAMPLES) / SAMPLE_RATE;
    // The song's end is known to the stretch of 512 frames it was rendered in.
    EXPECT_GE(log.endSeconds, songSeconds);
    EXPECT_LT(log.endSeconds, songSeconds + 512.0 / SAMPLE_RATE);
    EXPECT_EQ(static_cast<int64_t>(log.frames.size()),
              framesBefore(static_cast<int64_t>(std::llround(log.endSeconds * COUNTS_PER_SECOND)), FPS));
}

// ---------------------------------------------------------------------------------------
TEST(CaptureDeterminism, TwoCapturesGiveTheSameFramesSoundAndFile)
{
    ScratchDir scratch;
    writeShowData(scratch.path, CUTS, QUIT_ROW, MODULE_ROWS);
    // The full test module at the default size, twice.
    const std::vector<std::string> first = {capturePath(), "--quiet", "-o", "a.mp4", "--frame-log", "a.log"};
    const std::vector<std::string> second = {capturePath(), "--quiet", "-o", "b.mp4", "--frame-log", "b.log"};
    ASSERT_EQ(runProgram(first, scratch.path).status, 0);
    ASSERT_EQ(runProgram(second, scratch.path).status, 0);
    const FrameLog a = readFrameLog(scratch / "a.log");
    const FrameLog b = readFrameLog(scratch / "b.log");
    ASSERT_FALSE(a.frames.empty());
    ASSERT_EQ(a.frames.size(), b.frames.size());
    std::set<std::string> distinct;
    for (size_t i = 0; i < a.frames.size(); ++i) {
        EXPECT_EQ(a.frames[i].hash, b.frames[i].hash) << "frame " << i;
        distinct.insert(a.frames[i].hash);
    }
    // The show animates: a hash that ignored the pixels would make this pass trivially.
    EXPECT_GT(distinct.size(), 20u);
    EXPECT_EQ(a.audioFrames, b.audioFrames);
    EXPECT_EQ(a.audioHash, b.audioHash);
    EXPECT_EQ(readText(scratch / "a.mp4"), readText(scratch / "b.mp4"));
}

// ---------------------------------------------------------------------------------------
// A failed capture: a non-zero status, a message, and no file left beside the output.
void expectCleanFailure(const ProgramRun& run, const std::string& directory, const std::vector<std::string>& before,
                        const std::string& message)
{
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
    EXPECT_EQ(listDirectory(directory), before);
}

TEST(CaptureErrors, BadCommandLine)
{
    ScratchDir scratch;
    writeShowData(scratch.path, CUTS, QUIT_ROW, MODULE_ROWS);
    // H.264 in 4:2:0 needs even sides.
    const ProgramRun run = runProgram({capturePath(), "--size", "641x480", "-o", "show.mp4"}, scratch.path);
    expectCleanFailure(run, scratch.path, {"data"}, "bad value for --size: 641x480");
    EXPECT_EQ(run.status, 2);
}

TEST(CaptureErrors, MissingDataDirectory)
{
    ScratchDir scratch;
    const ProgramRun run = runProgram({capturePath(), "--quiet", "-o", "show.mp4"}, scratch.path);
    expectCleanFailure(run, scratch.path, {}, "no data directory");
}

TEST(CaptureErrors, MissingModule)
{
    ScratchDir scratch;
    writeShowData(scratch.path, CUTS, QUIT_ROW, MODULE_ROWS);
    ASSERT_EQ(unlink((scratch / "data/zelto-07.tga").c_str()), 0);
    const ProgramRun run = runProgram(captureArguments({"-o", "show.mp4", "--storyboard", "board.png"}), scratch.path);
    expectCleanFailure(run, scratch.path, {"data"}, "could not be loaded");
}

TEST(CaptureErrors, UnwritableOutput)
{
    ScratchDir scratch;
    writeShowData(scratch.path, CUTS, QUIT_ROW, MODULE_ROWS);
    std::ofstream(scratch / "file") << "not a directory";
    const ProgramRun run = runProgram(captureArguments({"-o", "file/show.mp4"}), scratch.path);
    expectCleanFailure(run, scratch.path, {"data", "file"}, "cannot write the video file/show.mp4");
}

TEST(CaptureErrors, MissingFfmpeg)
{
    ScratchDir scratch;
    writeShowData(scratch.path, CUTS, QUIT_ROW, MODULE_ROWS);
    const ProgramRun run = runProgram(captureArguments({"-o", "show.mp4", "--frame-log", "frames.log"}), scratch.path,
                               {"PATH=" + scratch.path + "/no-such-directory"});
    expectCleanFailure(run, scratch.path, {"data"}, "ffmpeg was not found");
}

TEST(CaptureErrors, EncoderGivingUpMidway)
{
    ScratchDir scratch;
    writeShowData(scratch.path, CUTS, QUIT_ROW, MODULE_ROWS);
    const ProgramRun run = runProgram(captureArguments({"-o", "show.mp4", "--preset", "nosuchpreset", "--png", "frames"}),
                               scratch.path);
    expectCleanFailure(run, scratch.path, {"data"}, "ffmpeg");
}

TEST(CaptureErrors, InterruptedCapture)
{
    ScratchDir scratch;
    writeShowData(scratch.path, {{0, 1}}, -1, 200);  // 24 s of scene 1 at full size: far from done in a second
    const int pid = startProgram({capturePath(), "-o", "show.mp4", "--storyboard", "board.png"}, scratch.path,
                                 scratch / "out.txt", scratch / "err.txt");
    for (int i = 0; i < 100 && readText(scratch / "err.txt").find("frame") == std::string::npos; ++i) {
        usleep(50000);
    }
    kill(pid, SIGTERM);
    ProgramRun run;
    run.status = waitProgram(pid);
    run.err = readText(scratch / "err.txt");
    unlink((scratch / "out.txt").c_str());
    unlink((scratch / "err.txt").c_str());
    expectCleanFailure(run, scratch.path, {"data"}, "interrupted");
}

// ---------------------------------------------------------------------------------------
// The Z1B time docs/show.md gives for the show's own music; -1 when missing.
double quitSecondsInShowDoc()
{
    const std::string doc = readText(K3L_SHOW_DOC);
    std::smatch match;
    const std::regex row("\\|\\s*([0-9.]+)\\s*\\|[^\n]*\\|\\s*Z1B\\s*\\|");
    return std::regex_search(doc, match, row) ? std::stod(match[1]) : -1.0;
}

TEST(CaptureWholeShow, ReachesTheClosingCardAndEndsAtTheTickAfterTheQuitEvent)
{
    ScratchDir scratch;
    ASSERT_EQ(symlink(K3L_DATA_DIR, (scratch / "data").c_str()), 0);
    constexpr int fps = 10;
    const ProgramRun run = runProgram({capturePath(), "--quiet", "--size", "160x120", "--fps", std::to_string(fps), "-o",
                                "show.mp4", "--frame-log", "frames.log"},
                               scratch.path);
    ASSERT_EQ(run.status, 0) << run.err;
    const FrameLog log = readFrameLog(scratch / "frames.log");
    ASSERT_FALSE(log.frames.empty());

    // Every scene in turn, the closing card last.
    std::vector<int> scenes;
    for (const LoggedFrame& frame : log.frames) {
        if (scenes.empty() || scenes.back() != frame.scene) {
            scenes.push_back(frame.scene);
        }
    }
    EXPECT_EQ(scenes, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));

    // docs/show.md gives the quit event to the hundredth of a second; the show exits at the next tick.
    const double quit = quitSecondsInShowDoc();
    ASSERT_GT(quit, 0.0) << "no Z1B in docs/show.md";
    EXPECT_GE(log.endSeconds, quit - 0.005);
    EXPECT_LT(log.endSeconds, quit + 0.005 + static_cast<double>(TICK_COUNTS) / COUNTS_PER_SECOND);
    const double ticks = log.endSeconds * COUNTS_PER_SECOND / TICK_COUNTS;
    EXPECT_NEAR(ticks, std::round(ticks), 1e-3) << "the end is not on the tick grid";

    // The file: one frame per 1/fps up to the end, the music up to the end.
    const int64_t end = static_cast<int64_t>(std::llround(log.endSeconds * COUNTS_PER_SECOND));
    EXPECT_EQ(probe(scratch / "show.mp4", "v", "nb_read_frames"), std::to_string(framesBefore(end, fps)));
    EXPECT_NEAR(std::stod(probe(scratch / "show.mp4", "a", "duration")), log.endSeconds, 0.03);
    EXPECT_NEAR(std::stod(probe(scratch / "show.mp4", "v", "duration")), log.endSeconds, 1.0 / fps);
}

}  // namespace
