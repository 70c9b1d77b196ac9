#include "capture/video_writer.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>


extern char** environ;

namespace {

constexpr int PIPE_BYTES = 1 << 20;      // bytes asked for each pipe's buffer (the usual ceiling)
// Niceness the encoders get over ours. The show's rasteriser threads meet at the end of
// every frame: when one of them waits for the CPU behind an encoder thread, the other
// idles. Behind them, the encoders take what the drawing leaves (measured: the whole
// show at 1920 x 1080 a quarter faster, at 640 x 480 a little).
constexpr int ENCODER_NICENESS = 10;
constexpr int MAX_NICENESS = 19;
constexpr int HIGH_DESCRIPTOR = 10;      // our descriptors for the children sit at or above it
constexpr int CHANNELS = 2;              // interleaved audio channels
constexpr size_t MESSAGE_TAIL = 2000;    // bytes of ffmpeg's messages quoted in an error
constexpr const char* AUDIO_BITRATE = "192k";  // AAC bits per second
constexpr int MIN_SLOTS = 3;             // frame buffers at least
constexpr int MAX_SLOTS = 8;             // frame buffers at most
constexpr size_t SLOT_MEMORY = 256u << 20;  // bytes all frame buffers may take together
constexpr int QUEUE_CAPACITY = 64;       // queued video frames (repeats share a buffer)

// One ffmpeg process and our end of the pipe it reads.
struct Child {
    pid_t pid = -1;  // -1 when none runs
    int input = -1;  // our end of its standard input; -1 when closed or none
};

// The encoders: written by start/finish/abort, read by the writing calls.
Child videoEncoder;
Child audioEncoder;
Child joiner;  // the run that puts the two streams together
// The settings in force and the size of a frame in bytes (BGR): written by startVideoWriter,
// read by the writing calls and the feeding thread.
VideoWriterSettings current;
size_t frameBytes = 0;

// Whether the capture was asked to stop.
bool interrupted()
{
    return current.interrupted != nullptr && current.interrupted();
}

// One frame buffer and how many queued frames show it.
struct Slot {
    std::vector<uint8_t> pixels;
    int queued = 0;
};

// The frames on their way to the video encoder. Everything in it is guarded by
// `lock`, except a slot's pixels: the main thread fills a slot only while nothing
// queued shows it, the feeding thread reads it only while something does.
struct FrameQueue {
    std::mutex lock;
    std::condition_variable changed;  // a frame was queued or written, or the queue closed
    std::vector<Slot> slots;
    int current = -1;                 // slot newFrameBuffer handed out last
    int entries[QUEUE_CAPACITY];      // slot of each queued frame, a ring
    int first = 0;                    // index of the oldest entry
    int count = 0;                    // entries queued
    bool closing = false;             // no more frames will come
    bool failed = false;              // the feeding thread could not write
    std::string error;                // why
};
// Written by newFrameBuffer and writeVideoFrame (main thread) and by the feeding thread.
FrameQueue queue;
// The thread that writes queued frames to the video encoder: started by startVideoWriter, joined by finish/abort.
std::thread feeder;

// A descriptor moved to HIGH_DESCRIPTOR or above, close-on-exec; -1 on failure.
int moveHigh(int fd)
{
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, HIGH_DESCRIPTOR);
    close(fd);
    return moved;
}

// Closes a descriptor if open and marks it closed.
void closeFd(int& fd)
{
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
}

// Starts `ffmpeg arguments...`, its messages appended to the log and, when
// `withInput`, its standard input a pipe from us. False with a message on failure.
bool spawnFfmpeg(const std::vector<std::string>& arguments, bool withInput, Child& child, std::string& error)
{
    const int opened = open(current.logPath.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    const int log = opened >= 0 ? moveHigh(opened) : -1;
    int ends[2] = {-1, -1};
    if (withInput) {
        int fresh[2];
        if (pipe2(fresh, O_CLOEXEC) == 0) {
            ends[0] = moveHigh(fresh[0]);
            ends[1] = moveHigh(fresh[1]);
        }
    }
    if (log < 0 || (withInput && (ends[0] < 0 || ends[1] < 0))) {
        error = std::string("cannot set up ffmpeg's pipe and log: ") + std::strerror(errno);
        for (int fd : {log, ends[0], ends[1]}) {
            if (fd >= 0) {
                close(fd);
            }
        }
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (withInput) {
        posix_spawn_file_actions_adddup2(&actions, ends[0], STDIN_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    }
    posix_spawn_file_actions_adddup2(&actions, log, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, log, STDERR_FILENO);
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int failure = posix_spawnp(&pid, "ffmpeg", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(log);
    if (ends[0] >= 0) {
        close(ends[0]);
    }
    if (failure != 0) {
        if (ends[1] >= 0) {
            close(ends[1]);
        }
        error = failure == ENOENT ? "ffmpeg is missing (no ffmpeg on PATH): install it with sudo apt install ffmpeg"
                                  : std::string("cannot start ffmpeg: ") + std::strerror(failure);
        return false;
    }
    child.pid = pid;
    // Before any input reaches it, so the encoder's threads, started later, inherit it.
    errno = 0;
    const int ours = getpriority(PRIO_PROCESS, 0);
    if (errno == 0) {
        setpriority(PRIO_PROCESS, static_cast<id_t>(pid), std::min(ours + ENCODER_NICENESS, MAX_NICENESS));
    }
    child.input = ends[1];
    if (child.input >= 0) {
        fcntl(child.input, F_SETPIPE_SZ, PIPE_BYTES);
    }
    return true;
}

// Waits for a child to end; true when it exited with status 0.
bool reap(Child& child)
{
    if (child.pid <= 0) {
        return true;
    }
    int status = 0;
    while (waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {
    }
    child.pid = -1;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Kills a child and waits for it.
void stop(Child& child)
{
    closeFd(child.input);
    if (child.pid > 0) {
        kill(child.pid, SIGKILL);
        reap(child);
    }
}

// Writes all `size` bytes to a child's pipe, waiting as long as it takes. False with
// a message when the child has gone or the capture was interrupted.
bool writeAll(Child& child, const uint8_t* data, size_t size, const char* what, std::string& error)
{
    while (size > 0) {
        if (interrupted()) {
            error = "interrupted";
            return false;
        }
        const ssize_t written = write(child.input, data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = std::string("ffmpeg stopped reading the ") + what + ": " + std::strerror(errno);
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// The feeding thread: writes queued frames to the video encoder in order until the queue closes.
void feedFrames()
{
    std::unique_lock<std::mutex> hold(queue.lock);
    for (;;) {
        queue.changed.wait(hold, [] { return queue.count > 0 || queue.closing; });
        if (queue.count == 0) {
            return;
        }
        const int slot = queue.entries[queue.first];
        const bool failed = queue.failed;
        hold.unlock();
        std::string error;
        const bool written =
            !failed && writeAll(videoEncoder, queue.slots[slot].pixels.data(), frameBytes, "video", error);
        hold.lock();
        if (!written && !queue.failed) {
            queue.failed = true;
            queue.error = error;
        }
        queue.first = (queue.first + 1) % QUEUE_CAPACITY;
        --queue.count;
        --queue.slots[slot].queued;
        queue.changed.notify_all();
    }
}

// Closes the frame queue and waits for the feeding thread to write or drop what is left.
void closeQueue()
{
    {
        std::lock_guard<std::mutex> hold(queue.lock);
        queue.closing = true;
    }
    queue.changed.notify_all();
    if (feeder.joinable()) {
        feeder.join();
    }
}

// Options every ffmpeg run shares: quiet, and files that depend on nothing but their input.
std::vector<std::string> commonArguments()
{
    return {"ffmpeg", "-hide_banner", "-nostdin", "-nostats", "-loglevel", "error", "-y"};
}

// Adds the options that keep the output free of versions and dates, and the output itself.
void addOutput(std::vector<std::string>& arguments, const std::string& path)
{
    for (const char* argument : {"-fflags", "+bitexact", "-map_metadata", "-1", "-f", "mp4"}) {
        arguments.emplace_back(argument);
    }
    arguments.push_back(path);
}

}  // namespace

bool startVideoWriter(const VideoWriterSettings& settings, std::string& error)
{
    current = settings;
    frameBytes = static_cast<size_t>(settings.width) * static_cast<size_t>(settings.height) * 3;
    const size_t slotCount = std::clamp<size_t>(SLOT_MEMORY / frameBytes, MIN_SLOTS, MAX_SLOTS);
    queue.slots.assign(slotCount, Slot{});
    for (Slot& slot : queue.slots) {
        slot.pixels.assign(frameBytes, 0);
    }

    std::vector<std::string> video = commonArguments();
    const std::string size = std::to_string(settings.width) + "x" + std::to_string(settings.height);
    for (const std::string& argument :
         {std::string("-f"), std::string("rawvideo"), std::string("-pix_fmt"), std::string("bgr24"),
          std::string("-video_size"), size, std::string("-framerate"), std::to_string(settings.fps),
          std::string("-i"), std::string("pipe:0"), std::string("-c:v"), std::string("libx264"), std::string("-preset"), settings.preset,
          std::string("-crf"), std::to_string(settings.crf), std::string("-pix_fmt"), std::string("yuv420p"),
          std::string("-flags:v"), std::string("+bitexact")}) {
        video.push_back(argument);
    }
    addOutput(video, settings.videoPath);

    std::vector<std::string> audio = commonArguments();
    for (const std::string& argument :
         {std::string("-f"), std::string("f32le"), std::string("-ar"), std::to_string(settings.sampleRate),
          std::string("-ac"), std::to_string(CHANNELS), std::string("-i"), std::string("pipe:0"),
          std::string("-c:a"), std::string("aac"), std::string("-b:a"), std::string(AUDIO_BITRATE),
          std::string("-flags:a"), std::string("+bitexact")}) {
        audio.push_back(argument);
    }
    addOutput(audio, settings.audioPath);

    if (!spawnFfmpeg(video, true, videoEncoder, error)) {
        return false;
    }
    if (!spawnFfmpeg(audio, true, audioEncoder, error)) {
        stop(videoEncoder);
        return false;
    }
    feeder = std::thread(feedFrames);
    return true;
}

uint8_t* newFrameBuffer()
{
    std::unique_lock<std::mutex> hold(queue.lock);
    int free = -1;
    queue.changed.wait(hold, [&free] {
        for (int slot = 0; slot < static_cast<int>(queue.slots.size()) && free < 0; ++slot) {
            if (slot != queue.current && queue.slots[slot].queued == 0) {
                free = slot;
            }
        }
        return free >= 0 || queue.failed;
    });
    // After a failure nothing is written any more: any slot will do until the capture stops.
    queue.current = free >= 0 ? free : 0;
    return queue.slots[queue.current].pixels.data();
}

bool writeVideoFrame(std::string& error)
{
    std::unique_lock<std::mutex> hold(queue.lock);
    queue.changed.wait(hold, [] { return queue.count < QUEUE_CAPACITY || queue.failed; });
    if (queue.failed || interrupted()) {
        error = queue.failed ? queue.error : "interrupted";
        return false;
    }
    queue.entries[(queue.first + queue.count) % QUEUE_CAPACITY] = queue.current;
    ++queue.count;
    ++queue.slots[queue.current].queued;
    queue.changed.notify_all();
    return true;
}

bool writeAudio(const float* frames, int count, std::string& error)
{
    return writeAll(audioEncoder, reinterpret_cast<const uint8_t*>(frames),
                    static_cast<size_t>(count) * CHANNELS * sizeof(float), "audio", error);
}

bool finishVideoWriter(std::string& error)
{
    closeQueue();
    if (queue.failed) {
        error = queue.error;
        return false;
    }
    closeFd(videoEncoder.input);
    closeFd(audioEncoder.input);
    const bool videoDone = reap(videoEncoder);
    const bool audioDone = reap(audioEncoder);
    if (!videoDone || !audioDone) {
        error = std::string("ffmpeg failed to encode the ") + (videoDone ? "audio" : "video");
        return false;
    }
    std::vector<std::string> join = commonArguments();
    for (const std::string& argument :
         {std::string("-i"), current.videoPath, std::string("-i"), current.audioPath, std::string("-map"),
          std::string("0:v:0"), std::string("-map"), std::string("1:a:0"), std::string("-c"), std::string("copy")}) {
        join.push_back(argument);
    }
    addOutput(join, current.path);
    if (!spawnFfmpeg(join, false, joiner, error)) {
        return false;
    }
    if (!reap(joiner)) {
        error = "ffmpeg failed to put the video and the audio together";
        return false;
    }
    return true;
}

void abortVideoWriter()
{
    // Killing the encoder first ends any write the feeding thread is stuck in.
    if (videoEncoder.pid > 0) {
        kill(videoEncoder.pid, SIGKILL);
    }
    {
        std::lock_guard<std::mutex> hold(queue.lock);
        queue.failed = true;
    }
    closeQueue();
    stop(videoEncoder);
    stop(audioEncoder);
    stop(joiner);
}

std::string encoderMessages()
{
    std::string text;
    FILE* file = std::fopen(current.logPath.c_str(), "r");
    if (file == nullptr) {
        return text;
    }
    char buffer[4096];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        text.append(buffer, got);
        if (text.size() > 2 * MESSAGE_TAIL) {
            text.erase(0, text.size() - MESSAGE_TAIL);
        }
    }
    std::fclose(file);
    if (text.size() > MESSAGE_TAIL) {
        text.erase(0, text.size() - MESSAGE_TAIL);
    }
    return text;
}
