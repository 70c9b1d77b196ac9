#pragma once
// Running the real capture program and reading what it wrote, for the capture tests.
#include <cstdint>
#include <string>
#include <vector>

// What a finished program left: its status and its two output streams.
struct ProgramRun {
    int status = -1;  // exit status; 128 + signal number when killed
    std::string out;
    std::string err;
};

// A fresh directory under /tmp, removed with everything in it when the object goes.
struct ScratchDir {
    std::string path;
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    std::string operator/(const std::string& name) const { return path + "/" + name; }
};

// Runs `arguments` (the first is the program) in `directory` with DISPLAY unset and
// the given environment overrides ("NAME=value"), and waits for it.
ProgramRun runProgram(const std::vector<std::string>& arguments, const std::string& directory,
               const std::vector<std::string>& environment = {});

// Starts the same way without waiting; returns the process id. The output streams go to
// `outPath` and `errPath`.
int startProgram(const std::vector<std::string>& arguments, const std::string& directory,
                 const std::string& outPath, const std::string& errPath);

// Waits for a started program; its status as runProgram reports it.
int waitProgram(int pid);

// The names in a directory, sorted ("." and ".." left out).
std::vector<std::string> listDirectory(const std::string& path);

// The whole file; empty when it cannot be read.
std::string readText(const std::string& path);

// Whether a path exists.
bool exists(const std::string& path);

// The video of an MP4 decoded to RGB frames of the given size, one after another.
std::vector<uint8_t> decodeVideo(const std::string& mp4, int width, int height);

// The audio of an MP4 decoded to 16-bit mono samples at 44.1 kHz.
std::vector<int16_t> decodeAudio(const std::string& mp4);

// A value ffprobe reports for the first stream of a kind ("v" or "a"), e.g. "nb_read_frames".
std::string probe(const std::string& mp4, const std::string& stream, const std::string& entry);

// One line of the capture's frame log.
struct LoggedFrame {
    double seconds = 0.0;
    int scene = -1;
    std::string hash;
};

// The frame log: its frames, the audio's length and hash, the show time it ended at.
struct FrameLog {
    std::vector<LoggedFrame> frames;
    long long audioFrames = -1;
    std::string audioHash;
    double endSeconds = -1.0;
};

// Reads a frame log; empty when missing.
FrameLog readFrameLog(const std::string& path);

// An 8-bit RGB picture read from a PNG file, top row first.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
};

// Reads a PNG file; false when missing or unreadable.
bool readPicture(const std::string& path, Picture& picture);
