#include "capture_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <png.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

extern char** environ;

namespace {

// The environment for a child: ours without DISPLAY, with the overrides applied.
std::vector<std::string> childEnvironment(const std::vector<std::string>& overrides)
{
    std::vector<std::string> result;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('='));
        const bool overridden = std::any_of(overrides.begin(), overrides.end(), [&name](const std::string& o) {
            return o.substr(0, o.find('=')) == name;
        });
        if (name != "DISPLAY" && !overridden) {
            result.push_back(text);
        }
    }
    result.insert(result.end(), overrides.begin(), overrides.end());
    return result;
}

// Forks and runs the program with its streams in the two files.
int spawn(const std::vector<std::string>& arguments, const std::string& directory,
          const std::vector<std::string>& environment, const std::string& outPath, const std::string& errPath)
{
    const std::vector<std::string> variables = childEnvironment(environment);
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& variable : variables) {
        envp.push_back(const_cast<char*>(variable.c_str()));
    }
    envp.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
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

// Runs a shell-free command and returns its standard output; empty on failure.
std::string capture(const std::vector<std::string>& arguments)
{
    ScratchDir scratch;
    const ProgramRun run = runProgram(arguments, scratch.path);
    return run.status == 0 ? run.out : std::string();
}

// The full path of a program found on PATH.
std::string onPath(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::stringstream directories(path != nullptr ? path : "/usr/bin");
    std::string directory;
    while (std::getline(directories, directory, ':')) {
        const std::string candidate = directory + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return "/usr/bin/" + name;
}

}  // namespace

ScratchDir::ScratchDir()
{
    char name[] = "/tmp/k3l-capture-test.XXXXXX";
    path = mkdtemp(name) != nullptr ? name : "/tmp";
}

ScratchDir::~ScratchDir()
{
    if (path != "/tmp") {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
}

ProgramRun runProgram(const std::vector<std::string>& arguments, const std::string& directory,
               const std::vector<std::string>& environment)
{
    char outName[] = "/tmp/k3l-capture-out.XXXXXX";
    char errName[] = "/tmp/k3l-capture-err.XXXXXX";
    close(mkstemp(outName));
    close(mkstemp(errName));
    ProgramRun run;
    run.status = waitProgram(spawn(arguments, directory, environment, outName, errName));
    run.out = readText(outName);
    run.err = readText(errName);
    unlink(outName);
    unlink(errName);
    return run;
}

int startProgram(const std::vector<std::string>& arguments, const std::string& directory,
                 const std::string& outPath, const std::string& errPath)
{
    return spawn(arguments, directory, {}, outPath, errPath);
}

int waitProgram(int pid)
{
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, 0) != pid) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::vector<std::string> listDirectory(const std::string& path)
{
    std::vector<std::string> names;
    DIR* directory = opendir(path.c_str());
    if (directory == nullptr) {
        return names;
    }
    while (const dirent* entry = readdir(directory)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            names.push_back(entry->d_name);
        }
    }
    closedir(directory);
    std::sort(names.begin(), names.end());
    return names;
}

std::string readText(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

bool exists(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

std::vector<uint8_t> decodeVideo(const std::string& mp4, int width, int height)
{
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    const std::string bytes = capture({onPath("ffmpeg"), "-v", "error", "-i", mp4, "-map", "0:v:0", "-f", "rawvideo",
                                       "-pix_fmt", "rgb24", "-s", size, "-"});
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

std::vector<int16_t> decodeAudio(const std::string& mp4)
{
    const std::string bytes = capture({onPath("ffmpeg"), "-v", "error", "-i", mp4, "-map", "0:a:0", "-f", "s16le",
                                       "-ac", "1", "-ar", "44100", "-"});
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

std::string probe(const std::string& mp4, const std::string& stream, const std::string& entry)
{
    std::string value = capture({onPath("ffprobe"), "-v", "error", "-count_frames", "-select_streams", stream + ":0",
                                 "-show_entries", "stream=" + entry, "-of", "default=noprint_wrappers=1:nokey=1",
                                 mp4});
    while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) {
        value.pop_back();
    }
    return value;
}

FrameLog readFrameLog(const std::string& path)
{
    FrameLog log;
    std::stringstream text(readText(path));
    std::string line;
    while (std::getline(text, line)) {
        std::stringstream fields(line);
        std::string kind;
        fields >> kind;
        if (kind == "frame") {
            long long index = 0;
            std::string sceneWord;
            LoggedFrame frame;
            fields >> index >> frame.seconds >> sceneWord >> frame.scene >> frame.hash;
            log.frames.push_back(frame);
        } else if (kind == "audio") {
            fields >> log.audioFrames >> log.audioHash;
        } else if (kind == "end") {
            fields >> log.endSeconds;
        }
    }
    return log;
}

bool readPicture(const std::string& path, Picture& picture)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        return false;
    }
    image.format = PNG_FORMAT_RGB;
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    picture.rgb.assign(PNG_IMAGE_SIZE(image), 0);
    const bool read = png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr) != 0;
    png_image_free(&image);
    return read;
}
