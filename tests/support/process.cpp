#include "support/process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace {
// Where each started program's output goes: "/tmp/k3l-run-<pid>.out" and ".err".
std::string outputPath(int pid, const char* stream)
{
    return "/tmp/k3l-run-" + std::to_string(pid) + stream;
}
}  // namespace

ScratchDir::ScratchDir()
{
    char name[] = "/tmp/k3l-test.XXXXXX";
    path = mkdtemp(name) != nullptr ? name : "/nonexistent";
}

ScratchDir::~ScratchDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

int startProgram(const std::vector<std::string>& arguments, const std::string& directory,
                 const std::vector<std::string>& environment)
{
    std::vector<std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string name = std::string(*entry).substr(0, std::string(*entry).find('='));
        if (name != "DISPLAY" && std::none_of(environment.begin(), environment.end(), [&name](const std::string& o) {
                return o.compare(0, name.size() + 1, name + "=") == 0;
            })) {
            variables.push_back(*entry);
        }
    }
    variables.insert(variables.end(), environment.begin(), environment.end());
    std::vector<char*> argv;
    std::vector<char*> envp;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    for (const std::string& variable : variables) {
        envp.push_back(const_cast<char*>(variable.c_str()));
    }
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open(outputPath(getpid(), ".out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(outputPath(getpid(), ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int in = open("/dev/null", O_RDONLY);
        if (out < 0 || err < 0 || in < 0 || chdir(directory.c_str()) != 0) {
            _exit(126);
        }
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    return pid;
}

ProgramRun waitProgram(int pid, int timeoutMs)
{
    ProgramRun run;
    int status = 0;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > giveUp) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            status = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    run.status = status == -1 ? -1 : WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    for (auto [stream, text] : {std::pair{".out", &run.out}, std::pair{".err", &run.err}}) {
        *text = readText(outputPath(pid, stream));
        unlink(outputPath(pid, stream).c_str());
    }
    return run;
}

std::string errorsSoFar(int pid)
{
    return readText(outputPath(pid, ".err"));
}

ProgramRun runProgram(const std::vector<std::string>& arguments, const std::string& directory,
                      const std::vector<std::string>& environment, int timeoutMs)
{
    return waitProgram(startProgram(arguments, directory, environment), timeoutMs);
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file.flush());
}

std::string readText(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

std::vector<std::string> listDirectory(const std::string& path)
{
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(path, ignored)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}
