#pragma once
// Running the project's programs from tests: a scratch directory, and a program run with
// its output caught.
#include <cstdint>
#include <string>
#include <vector>

// A fresh directory under /tmp, removed with everything in it when the object goes.
struct ScratchDir {
    std::string path;
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    std::string operator/(const std::string& name) const { return path + "/" + name; }
};

// How a program run ended.
struct ProgramRun {
    int status = -1;  // exit status; 128 + signal number when killed; -1 when it hung and was killed
    std::string out;
    std::string err;
};

// Starts `arguments` (the first is the program) in `directory`, with DISPLAY unset and the
// environment overrides ("NAME=value") applied, its output streams into files of its own.
int startProgram(const std::vector<std::string>& arguments, const std::string& directory,
                 const std::vector<std::string>& environment = {});

// Waits for a started program, at most `timeoutMs` (killing it then), and reads its output.
ProgramRun waitProgram(int pid, int timeoutMs = 600000);

// What a started program has written to its error stream so far.
std::string errorsSoFar(int pid);

// Both, one after the other.
ProgramRun runProgram(const std::vector<std::string>& arguments, const std::string& directory,
                      const std::vector<std::string>& environment = {}, int timeoutMs = 600000);

// Writes bytes to a file; false on failure.
bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes);

// The whole file; empty when it cannot be read.
std::string readText(const std::string& path);

// The names in a directory, sorted ("." and ".." left out).
std::vector<std::string> listDirectory(const std::string& path);
