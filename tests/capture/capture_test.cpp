// The capture program end to end: the real k3lvana-capture binary with DISPLAY unset, on modules
// written by the IT writer (or the show's own data), its output read back with ffmpeg and ffprobe.
//
// The test images make scenes easy to tell apart on a frame: scene 1's backdrop is solid red,
// scene 2's solid blue, every other image (the credits card included) transparent, so scene 0 is dark.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "imagekit/tga_writer.h"
#include "player_modules.h"
#include "support/png_file.h"
#include "support/process.h"

namespace {

// The capture's time grid: a 44.1 MHz counter (1000 counts an audio sample); the show ticks at
// the first count past 55.0 ms after the last tick, every 2425501 counts, from when the music starts.
constexpr int64_t COUNTS_PER_SECOND = 44100000;
constexpr int64_t COUNTS_PER_SAMPLE = 1000;
constexpr int64_t TICK_COUNTS = 2425501;
constexpr int64_t ROW_SAMPLES = 5292;  // a row of the test module: speed 6 at tempo 125, 120 ms
constexpr int SAMPLE_RATE = TEST_RATE;  // Hz
constexpr int WIDTH = 160;             // pixels of the test captures
constexpr int HEIGHT = 120;            // pixels
constexpr int FPS = 30;                // frames per second
enum Look { UNCLEAR = -1, DARK = 0, RED = 1, BLUE = 2 };

// A cut written into the test module's sync channel.
struct Cut {
    int row;
    int scene;
};

// Cuts between scenes 0, 1 and 2, some at awkward moments: row 0 comes with the very first
// picture, row 11 (1.32 s) starts 24 counts before a tick, row 17 starts 220 samples after
// one, and the tick after row 9 comes 20 counts after a video frame (at 30 frames a second).
const std::vector<Cut> CUTS = {{0, 1}, {4, 0}, {9, 1}, {11, 2}, {17, 1}, {23, 2}};
constexpr int QUIT_ROW = 30;     // Z1B: 3.6 s
constexpr int MODULE_ROWS = 40;  // the song goes on 1.2 s past the quit event
constexpr int FIRST_NOTE_ROW = 4;

// The show's image files, from its table of them.
const char* const IMAGE_FILES[] = {
#define K3L_IMAGE(slot, file) file,
#include "assets/image_table.h"
#undef K3L_IMAGE
};

// Writes data/ into `directory`: the test images and a module with the given cuts, a Z1B at
// quitRow (none if negative), `rows` rows in all and a click at row 4.
void writeShowData(const std::string& directory, const std::vector<Cut>& cuts, int quitRow, int rows)
{
    ASSERT_EQ(system(("mkdir -p " + directory + "/data").c_str()), 0);
    for (const std::string file : IMAGE_FILES) {
        imagekit::Image image(8, 8);
        const bool red = file == "afraid512.tga";
        const bool blue = file == "confidence512.tga";
        for (int i = 0; i < 64; ++i) {
            uint8_t* pixel = image.at(i % 8, i / 8);
            pixel[0] = red ? 255 : 0;
            pixel[2] = blue ? 255 : 0;
            pixel[3] = red || blue ? 255 : 0;
        }
        ASSERT_TRUE(imagekit::saveTGA(image, 32, directory + "/data/" + file));
    }
    itw::Module module = blankModule(1, rows, 2, 6, 125);
    itw::Pattern& pattern = module.patterns[0];
    pattern.at(FIRST_NOTE_ROW, 0) = clickCell();
    for (const Cut& cut : cuts) {
        pattern.at(cut.row, 1) = zCell(static_cast<uint8_t>(cut.scene));
    }
    if (quitRow >= 0) {
        pattern.at(quitRow, 1) = zCell(0x1B);
    }
    ASSERT_TRUE(itw::saveIT(module, directory + "/data/zelto-07.tga"));
}

// The count of the first tick at or after `count` (an event at a tick's very count reaches the show first).
int64_t tickAtOrAfter(int64_t count)
{
    return (count + TICK_COUNTS - 1) / TICK_COUNTS * TICK_COUNTS;
}

int64_t rowCount(int row)
{
    return row * ROW_SAMPLES * COUNTS_PER_SAMPLE;
}

// Video frames shown before `count`: frame j is shown at j / fps.
int64_t framesBefore(int64_t count, int fps)
{
    return (count * fps + COUNTS_PER_SECOND - 1) / COUNTS_PER_SECOND;
}

// The scene video frame `index` shows: the last drawing (once at the start, then at every tick)
// at or before its time shows the last cut at or before that drawing.
int expectedScene(int64_t index)
{
    const int64_t drawnAt = index * COUNTS_PER_SECOND / FPS / TICK_COUNTS * TICK_COUNTS;
    int scene = 0;
    for (const Cut& cut : CUTS) {
        scene = rowCount(cut.row) <= drawnAt ? cut.scene : scene;
    }
    return scene;
}

// What the middle band of an RGB picture (rows inside the picture area) mostly is.
Look classify(const uint8_t* rgb, int stride)
{
    int red = 0, blue = 0, dark = 0, total = 0;
    for (int y = HEIGHT / 4; y < HEIGHT * 3 / 4; ++y) {
        for (int x = 0; x < WIDTH; ++x, ++total) {
            const uint8_t* p = rgb + static_cast<size_t>(y) * stride + x * 3;
            red += p[0] > 110 && p[1] < 70 && p[2] < 70;
            blue += p[2] > 110 && p[0] < 70 && p[1] < 70;
            dark += std::max({p[0], p[1], p[2]}) < 50;
        }
    }
    return red * 2 > total ? RED : blue * 2 > total ? BLUE : dark * 2 > total ? DARK : UNCLEAR;
}

// A value ffprobe reports for the first stream of a kind ("v" or "a"), e.g. "nb_read_frames".
std::string probe(const std::string& mp4, const std::string& stream, const std::string& entry)
{
    std::string value = runProgram({"/usr/bin/ffprobe", "-v", "error", "-count_frames", "-select_streams",
                                     stream + ":0", "-show_entries", "stream=" + entry, "-of",
                                     "default=noprint_wrappers=1:nokey=1", mp4},
                                    "/").out;
    return value.substr(0, value.find_first_of("\r\n"));
}

// The frame log: per frame its scene and hash, then the audio's length and hash, then the end.
struct FrameLog {
    std::vector<int> scenes;
    std::vector<std::string> hashes;
    long long audioFrames = -1;
    std::string audioHash;
    double endSeconds = -1.0;
};

FrameLog readFrameLog(const std::string& path)
{
    FrameLog log;
    std::stringstream text(readText(path));
    std::string kind, word, hash;
    double seconds = 0.0;
    long long index = 0;
    int scene = 0;
    while (text >> kind) {
        if (kind == "frame" && text >> index >> seconds >> word >> scene >> hash) {
            log.scenes.push_back(scene);
            log.hashes.push_back(hash);
        } else if (kind == "audio") {
            text >> log.audioFrames >> log.audioHash;
        } else if (kind == "end") {
            text >> log.endSeconds;
        }
    }
    return log;
}

std::vector<std::string> captureArguments(const std::vector<std::string>& extra)
{
    std::vector<std::string> arguments = {K3L_CAPTURE, "--size", std::to_string(WIDTH) + "x" + std::to_string(HEIGHT),
                                          "--fps", std::to_string(FPS), "--quiet"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return arguments;
}

TEST(Capture, TheTestModuleFrameByFrame)
{
    ScratchDir scratch;
    writeShowData(scratch.path, CUTS, QUIT_ROW, MODULE_ROWS);
    const ProgramRun run = runProgram(captureArguments({"-o", "show.mp4", "--frame-log", "frames.log",
                                                        "--storyboard", "board.png", "--png", "frames"}),
                                      scratch.path);
    ASSERT_EQ(run.status, 0) << run.err;
    // The show's console on stdout, the capture's own text on stderr.
    EXPECT_EQ(run.out.rfind("[LOADING..", 0), 0u) << run.out;
    EXPECT_NE(run.out.find("]\nLoaded.\n"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("wrote show.mp4"), std::string::npos) << run.err;

    // It ends by itself at the tick after the quit event: frames and music up to there.
    const FrameLog log = readFrameLog(scratch / "frames.log");
    const int64_t end = tickAtOrAfter(rowCount(QUIT_ROW));
    const int64_t frames = framesBefore(end, FPS);
    EXPECT_NEAR(log.endSeconds, static_cast<double>(end) / COUNTS_PER_SECOND, 1e-6);
    EXPECT_EQ(static_cast<int64_t>(log.scenes.size()), frames);
    EXPECT_EQ(log.audioFrames, (end + COUNTS_PER_SAMPLE - 1) / COUNTS_PER_SAMPLE);
    const std::string mp4 = scratch / "show.mp4";
    EXPECT_EQ(probe(mp4, "v", "nb_read_frames"), std::to_string(frames));
    EXPECT_EQ(probe(mp4, "v", "width") + "x" + probe(mp4, "v", "height") + " " + probe(mp4, "v", "codec_name") +
                  " " + probe(mp4, "a", "codec_name"),
              "160x120 h264 aac");

    // Each cut shows on the first frame drawn after its tick: in the video, the log and the PNG frames.
    const std::string video =
        runProgram({"/usr/bin/ffmpeg", "-v", "error", "-i", mp4, "-f", "rawvideo", "-pix_fmt", "rgb24", "-"}, "/").out;
    const size_t frameBytes = static_cast<size_t>(WIDTH) * HEIGHT * 3;
    ASSERT_EQ(video.size(), frameBytes * frames);
    ASSERT_EQ(listDirectory(scratch / "frames").size(), static_cast<size_t>(frames));
    int cutsSeen = 0;
    for (int64_t j = 0; j < frames; ++j) {
        const int expected = expectedScene(j);
        EXPECT_EQ(classify(reinterpret_cast<const uint8_t*>(&video[j * frameBytes]), WIDTH * 3), expected)
            << "video frame " << j;
        EXPECT_EQ(log.scenes[j], expected) << "frame log, frame " << j;
        if (j > 0 && expected != expectedScene(j - 1)) {
            ++cutsSeen;
            char name[32];
            std::snprintf(name, sizeof name, "frames/frame-%06lld.png", static_cast<long long>(j));
            RgbPicture picture;
            ASSERT_TRUE(readPng(scratch / name, picture)) << name;
            EXPECT_EQ(classify(picture.rgb.data(), WIDTH * 3), expected) << name;
        }
    }
    EXPECT_EQ(cutsSeen, static_cast<int>(CUTS.size()) - 1);

    // The music's first click sounds where its row starts.
    const std::string pcm =
        runProgram({"/usr/bin/ffmpeg", "-v", "error", "-i", mp4, "-f", "s16le", "-ac", "1", "-ar", "44100", "-"},
                   "/").out;
    std::vector<int16_t> audio(pcm.size() / 2);
    std::memcpy(audio.data(), pcm.data(), audio.size() * 2);
    EXPECT_NEAR(static_cast<double>(audio.size()), static_cast<double>(log.audioFrames), 1024.0);  // AAC blocks
    int peak = 0;
    for (const int16_t sample : audio) {
        peak = std::max(peak, std::abs(static_cast<int>(sample)));
    }
    ASSERT_GT(peak, 1000) << "the music is silent";
    size_t onset = 0;
    while (onset < audio.size() && std::abs(static_cast<int>(audio[onset])) * 4 < peak) {
        ++onset;
    }
    EXPECT_NEAR(static_cast<double>(onset) / SAMPLE_RATE, FIRST_NOTE_ROW * ROW_SAMPLES / double{SAMPLE_RATE}, 0.005);

    // The storyboard: four frames a row, 8 pixels apart and around, each at the capture's size with
    // its label underneath, one shortly after each cut (scene 1's return at row 9 is too short).
    RgbPicture board;
    ASSERT_TRUE(readPng(scratch / "board.png", board));
    ASSERT_EQ(board.width, 8 + 4 * (WIDTH + 8));
    const std::vector<Look> kept = {RED, DARK, BLUE, RED, BLUE};
    const int cellHeight = (board.height - 8) / 2;
    ASSERT_GT(cellHeight, HEIGHT);
    for (size_t i = 0; i < kept.size(); ++i) {
        const size_t left = 8 + (i % 4) * (WIDTH + 8);
        const size_t top = 8 + (i / 4) * cellHeight;
        EXPECT_EQ(classify(&board.rgb[(top * board.width + left) * 3], board.width * 3), kept[i]) << "frame " << i;
    }

    // A second capture gives the same frames (the show animates: a hash that ignored the pixels
    // would make this pass trivially), the same sound and the same file.
    ASSERT_EQ(runProgram(captureArguments({"-o", "again.mp4", "--frame-log", "again.log"}), scratch.path).status, 0);
    const FrameLog again = readFrameLog(scratch / "again.log");
    EXPECT_EQ(again.hashes, log.hashes);
    EXPECT_GT(std::set<std::string>(log.hashes.begin(), log.hashes.end()).size(), 20u);
    EXPECT_EQ(again.audioHash, log.audioHash);
    EXPECT_EQ(readText(scratch / "again.mp4"), readText(mp4));
}

TEST(Capture, StopsAtTheGivenSecondsOrWhereTheSongEnds)
{
    ScratchDir scratch;
    writeShowData(scratch.path, CUTS, QUIT_ROW, MODULE_ROWS);
    ProgramRun run = runProgram(captureArguments({"-o", "a.mp4", "--seconds=1.5", "--frame-log", "a.log"}),
                                scratch.path);
    ASSERT_EQ(run.status, 0) << run.err;
    FrameLog log = readFrameLog(scratch / "a.log");
    EXPECT_EQ(log.scenes.size(), static_cast<size_t>(FPS * 3 / 2));
    EXPECT_EQ(log.audioFrames, SAMPLE_RATE * 3 / 2);
    EXPECT_NEAR(log.endSeconds, 1.5, 1e-9);

    constexpr int rows = 20;  // 2.4 s and no Z1B: the song's end is known to the 512 frames it was rendered in
    writeShowData(scratch.path, {{0, 0}, {4, 1}}, -1, rows);
    run = runProgram(captureArguments({"-o", "b.mp4", "--frame-log", "b.log"}), scratch.path);
    ASSERT_EQ(run.status, 0) << run.err;
    log = readFrameLog(scratch / "b.log");
    const double songSeconds = static_cast<double>(rows * ROW_SAMPLES) / SAMPLE_RATE;
    EXPECT_GE(log.endSeconds, songSeconds);
    EXPECT_LT(log.endSeconds, songSeconds + 512.0 / SAMPLE_RATE);
    EXPECT_EQ(static_cast<int64_t>(log.scenes.size()),
              framesBefore(std::llround(log.endSeconds * COUNTS_PER_SECOND), FPS));
}

TEST(Capture, HelpGoesToStdout)
{
    for (const char* help : {"--help", "-h"}) {
        const ProgramRun run = runProgram({K3L_CAPTURE, help}, "/");
        EXPECT_EQ(run.status, 0) << help;
        EXPECT_EQ(run.out.rfind("usage: k3lvana-capture", 0), 0u) << run.out;
        EXPECT_NE(run.out.find("--size WxH"), std::string::npos) << run.out;
    }
}

// A failed capture: its status, a message, and no file left beside the output.
TEST(Capture, FailuresSayWhatWentWrongAndLeaveNothing)
{
    struct Case {
        std::vector<std::string> extra;       // arguments after the capture's
        std::vector<std::string> environment;
        const char* prepare;                  // a shell command run in the directory first
        std::vector<std::string> left;        // what the directory holds afterwards
        const char* message;
        int status;
    };
    const Case cases[] = {
        {{"--size", "641x480", "-o", "show.mp4"}, {}, "true", {"data"}, "bad value for --size: 641x480", 2},
        {{"--size=641x480", "-o", "show.mp4"}, {}, "true", {"data"}, "bad value for --size: 641x480", 2},
        {{"--output=", "--size", "64x64"}, {}, "true", {"data"}, "bad value for --output: \n", 2},
        {{"--siz", "640x480"}, {}, "true", {"data"}, "unknown option --siz\n", 2},
        {{"--quiet=1"}, {}, "true", {"data"}, "option --quiet takes no value", 2},
        {{"--crf", "9", "--fps"}, {}, "true", {"data"}, "option --fps needs a value", 2},
        {{"-o", "a.mp4", "stray"}, {}, "true", {"data"}, "unexpected argument stray", 2},
        {{"-o", "show.mp4"}, {}, "rm -r data", {}, "no data directory", 1},
        {{"-o", "show.mp4", "--storyboard", "b.png"}, {}, "rm data/zelto-07.tga", {"data"}, "could not be loaded", 1},
        {{"-o", "file/show.mp4"}, {}, "echo x >file", {"data", "file"}, "cannot write the video file/show.mp4", 1},
        {{"-o", "show.mp4", "--frame-log", "f.log"}, {"PATH=/nonexistent"}, "true", {"data"},
         "k3lvana-capture: ffmpeg is missing (no ffmpeg on PATH): install it with sudo apt install ffmpeg\n", 1},
        {{"-o", "show.mp4", "--png", "f/"}, {}, "mkdir f && touch f/x", {"data", "f"},
         "the frame directory f exists and is not an empty directory", 1},
        {{"-o", "d", "--storyboard", "b.png"}, {}, "mkdir d", {"d", "data"}, "cannot write the video d: it is a directory", 1},
        {{"-o", "show.mp4", "--preset", "nosuchpreset", "--png", "f"}, {}, "true", {"data"}, "ffmpeg", 1},
    };
    for (const Case& c : cases) {
        ScratchDir scratch;
        writeShowData(scratch.path, CUTS, QUIT_ROW, MODULE_ROWS);
        ASSERT_EQ(std::system(("cd " + scratch.path + " && " + c.prepare).c_str()), 0);
        std::vector<std::string> arguments = {K3L_CAPTURE, "--quiet"};
        arguments.insert(arguments.end(), c.extra.begin(), c.extra.end());
        const ProgramRun run = runProgram(arguments, scratch.path, c.environment);
        EXPECT_EQ(run.status, c.status) << c.message;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(listDirectory(scratch.path), c.left) << c.message;
    }

    ScratchDir scratch;
    writeShowData(scratch.path, {{0, 1}}, -1, 200);  // 24 s at full size: far from done in a second
    const int pid = startProgram({K3L_CAPTURE, "-o", "show.mp4", "--storyboard", "board.png"}, scratch.path);
    for (int i = 0; i < 100 && errorsSoFar(pid).find("frame") == std::string::npos; ++i) {
        usleep(50000);  // until the progress bar shows frames being written
    }
    kill(pid, SIGTERM);
    const ProgramRun run = waitProgram(pid);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("interrupted"), std::string::npos) << run.err;
    EXPECT_EQ(listDirectory(scratch.path), std::vector<std::string>{"data"});
}

// The Z1B time docs/show.md gives for the show's own music; -1 when missing.
double quitSecondsInShowDoc()
{
    const std::string doc = readText(K3L_SHOW_DOC);
    std::smatch match;
    const std::regex row("\\|\\s*([0-9.]+)\\s*\\|[^\n]*\\|\\s*Z1B\\s*\\|");
    return std::regex_search(doc, match, row) ? std::stod(match[1]) : -1.0;
}

TEST(Capture, TheWholeShowReachesTheClosingCardAndEndsAtTheTickAfterTheQuitEvent)
{
    ScratchDir scratch;
    ASSERT_EQ(symlink(K3L_DATA_DIR, (scratch / "data").c_str()), 0);
    constexpr int fps = 10;
    const ProgramRun run = runProgram({K3L_CAPTURE, "--quiet", "--size", "160x120", "--fps", std::to_string(fps),
                                       "-o", "show.mp4", "--frame-log", "frames.log"},
                                      scratch.path);
    ASSERT_EQ(run.status, 0) << run.err;
    const FrameLog log = readFrameLog(scratch / "frames.log");
    std::vector<int> scenes;
    for (const int scene : log.scenes) {
        if (scenes.empty() || scenes.back() != scene) {
            scenes.push_back(scene);
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
    const int64_t end = std::llround(log.endSeconds * COUNTS_PER_SECOND);
    EXPECT_EQ(probe(scratch / "show.mp4", "v", "nb_read_frames"), std::to_string(framesBefore(end, fps)));
    EXPECT_NEAR(std::stod(probe(scratch / "show.mp4", "a", "duration")), log.endSeconds, 0.03);
    EXPECT_NEAR(std::stod(probe(scratch / "show.mp4", "v", "duration")), log.endSeconds, 1.0 / fps);
}

}  // namespace
