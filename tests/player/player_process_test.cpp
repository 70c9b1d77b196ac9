// Whole processes using the live player: whichever road leaves the process, it
// ends with status 0, at once, and neither the player nor the audio libraries
// write anything to the console (on the audio device and on the silent output).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "monitor_recorder.h"
#include "player_modules.h"

extern char** environ;

namespace {

constexpr int TIMEOUT_MS = 10000;  // milliseconds a probe may take before it counts as hung

// How a probe run ended.
struct Outcome {
    bool finished = false;  // false: killed after TIMEOUT_MS
    int status = -1;        // exit status
    std::string out;        // what it printed
    std::string err;        // what it printed to stderr
};

// The whole content of a file.
std::string slurp(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// Runs the probe, with one environment variable ("NAME=value") set or replaced if given.
Outcome runProbe(const std::string& dir, const std::string& song, const char* mode, const char* extraEnv)
{
    const std::string out = dir + "/out.txt", err = dir + "/err.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char*> env;
    const std::string replaced = extraEnv != nullptr ? std::string(extraEnv, std::strchr(extraEnv, '=') + 1) : "";
    for (char** e = environ; *e != nullptr; ++e) {
        if (replaced.empty() || std::string(*e).rfind(replaced, 0) != 0) {
            env.push_back(*e);
        }
    }
    if (extraEnv != nullptr) {
        env.push_back(const_cast<char*>(extraEnv));
    }
    env.push_back(nullptr);
    const char* args[] = {PLAYER_PROBE, song.c_str(), mode, nullptr};
    pid_t pid = 0;
    Outcome outcome;
    const int spawned = posix_spawn(&pid, PLAYER_PROBE, &actions, nullptr, const_cast<char**>(args), env.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return outcome;
    }
    int status = 0;
    for (int waited = 0; waited < TIMEOUT_MS; waited += 10) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            outcome.finished = true;
            outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!outcome.finished) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    outcome.out = slurp(out);
    outcome.err = slurp(err);
    return outcome;
}

// Runs every road out of the process, with or without the sound server.
void expectCleanExits(const char* extraEnv)
{
    const std::string dir = makeTempDir();
    itw::Module song = blankModule(1, 16, 2, 3, 150);
    for (int row = 0; row < 16; ++row) {
        song.patterns[0].at(row, 0) = clickCell();
        song.patterns[0].at(row, 1) = zCell(static_cast<uint8_t>(row));
    }
    const std::string path = dir + "/probe.tga";
    ASSERT_TRUE(itw::saveIT(song, path));
    for (const char* mode : {"quit", "exit", "exit-during-handler", "exit-from-handler"}) {
        const Outcome outcome = runProbe(dir, path, mode, extraEnv);
        EXPECT_TRUE(outcome.finished) << mode << ": still running after " << TIMEOUT_MS << " ms";
        EXPECT_EQ(outcome.status, 0) << mode;
        EXPECT_EQ(outcome.err, "") << mode;
        EXPECT_EQ(outcome.out.rfind("events ", 0), 0u) << mode << ": " << outcome.out;
        EXPECT_NE(outcome.out, "events 0\n") << mode;
    }
}

}  // namespace

TEST(PlayerProcess, LeavesCleanlyOnTheAudioDevice)
{
    if (!testSoundServerRuns()) {
        GTEST_SKIP() << "no test sound server";
    }
    expectCleanExits(nullptr);
}

TEST(PlayerProcess, LeavesCleanlyOnTheSilentOutput)
{
    expectCleanExits("PULSE_SERVER=unix:/nonexistent/k3l-no-sound-server");
}
