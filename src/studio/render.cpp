#include "studio/render.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "offline/virtual_clock.h"
#include "studio/options.h"
#include "studio/replay.h"
#include "studio/transport.h"

extern char** environ;

namespace {

constexpr const char* RANGE_FILE = "k3lvana-studio-range.mp4";  // where c renders to, in the working directory
constexpr const char* CAPTURE_PREFIX = "k3lvana-capture: ";     // how the capture's progress lines start

// The capture rendering the range: written by renderRange and checkRender.
struct RenderChild {
    pid_t pid = 0;                // 0 when none runs
    int output = -1;              // the read end of its stderr, where its progress comes
    std::string text;             // what it wrote since its last whole line
    std::string last;             // its last whole line
};
RenderChild child;

}  // namespace

void renderRange()
{
    if (child.pid != 0) {
        transport.message = "a render is already running";
        return;
    }
    char size[32], from[32], to[32];
    std::snprintf(size, sizeof size, "%dx%d", studioOptions.width, studioOptions.height);
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
    const bool started = posix_spawn(&child.pid, capture.c_str(), &files, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&files);
    close(ends[1]);
    if (!started) {
        close(ends[0]);
        child.pid = 0;
        transport.message = "cannot start " + capture;
        return;
    }
    fcntl(ends[0], F_SETFL, O_NONBLOCK);
    child.output = ends[0];
    child.text.clear();
    child.last.clear();
    transport.message = "rendering " + std::string(from) + "-" + to + " s to " + RANGE_FILE + "...";
}

void checkRender()
{
    if (child.pid == 0) {
        return;
    }
    char buffer[512];
    bool fresh = false;
    for (ssize_t got; (got = read(child.output, buffer, sizeof buffer)) > 0;) {
        child.text.append(buffer, static_cast<size_t>(got));
        for (size_t end; (end = child.text.find('\n')) != std::string::npos; fresh = true) {
            child.last = child.text.substr(0, end);
            child.text.erase(0, end + 1);
        }
    }
    std::string& last = child.last;
    if (fresh && last.compare(0, std::strlen(CAPTURE_PREFIX), CAPTURE_PREFIX) == 0) {
        last.erase(0, std::strlen(CAPTURE_PREFIX));
    }
    if (fresh) {
        transport.message = "rendering " + std::string(RANGE_FILE) + ": " + last;
        say(transport.message);
    }
    int status = 0;
    if (waitpid(child.pid, &status, WNOHANG) == child.pid) {
        close(child.output);
        child.pid = 0;
        child.output = -1;
        transport.message = WIFEXITED(status) && WEXITSTATUS(status) == 0 ? last : "the render failed: " + last;
        say(transport.message);
    }
}

