// Watches the real show from inside its process without touching its code: an
// LD_PRELOAD library that interposes the freeglut and OpenGL calls the show makes
// through shared libraries, counts them and writes a report as the process ends.
//   K3L_PROBE_REPORT=<file>   where the report goes (nothing is written without it)
// Report lines: ticks N (glutPostRedisplay: the tick calls it once), frames N
// (glutSwapBuffers: once a drawn frame), textures N (glTexImage2D: once a loaded
// image), first_tick_ns T and last_tick_ns T (monotonic clock).
#include <GL/gl.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

// Calls counted: written by the interposers on the main thread, read by the report at exit.
std::atomic<int64_t> ticks{0};
std::atomic<int64_t> frames{0};
std::atomic<int64_t> textures{0};
// Monotonic nanoseconds of the first and the latest tick: written by the tick's interposer, read by the report.
std::atomic<int64_t> firstTickNs{0};
std::atomic<int64_t> lastTickNs{0};

// Nanoseconds on the monotonic clock.
int64_t nowNs()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// The next definition of a symbol after this library's, found once; a missing one ends the process.
template <typename Function>
Function next(const char* name, std::atomic<Function>& cache)
{
    Function function = cache.load();
    if (function == nullptr) {
        function = reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
        if (function == nullptr) {
            std::fprintf(stderr, "show_probe: no %s\n", name);
            std::abort();
        }
        cache.store(function);
    }
    return function;
}

// Writes the report named by K3L_PROBE_REPORT, with no allocation.
void writeReport()
{
    const char* path = std::getenv("K3L_PROBE_REPORT");
    if (path == nullptr) {
        return;
    }
    const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        return;
    }
    dprintf(fd, "ticks %lld\nframes %lld\ntextures %lld\nfirst_tick_ns %lld\nlast_tick_ns %lld\n",
            static_cast<long long>(ticks.load()), static_cast<long long>(frames.load()),
            static_cast<long long>(textures.load()), static_cast<long long>(firstTickNs.load()),
            static_cast<long long>(lastTickNs.load()));
    close(fd);
}

// Runs as the process ends: after exit's handlers (the player's among them) have run.
__attribute__((destructor)) void reportAtExit()
{
    writeReport();
}

}  // namespace

// The tick's redisplay request: one per tick.
extern "C" void glutPostRedisplay()
{
    using Function = void (*)();
    static std::atomic<Function> real{nullptr};
    const int64_t now = nowNs();
    if (ticks.fetch_add(1) == 0) {
        firstTickNs.store(now);
    }
    lastTickNs.store(now);
    next("glutPostRedisplay", real)();
}

// The end of a drawn frame.
extern "C" void glutSwapBuffers()
{
    using Function = void (*)();
    static std::atomic<Function> real{nullptr};
    frames.fetch_add(1);
    next("glutSwapBuffers", real)();
}

// A texture's pixels uploaded: one per image loaded.
extern "C" void glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height,
                             GLint border, GLenum format, GLenum type, const void* pixels)
{
    using Function = void (*)(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum, const void*);
    static std::atomic<Function> real{nullptr};
    if (pixels != nullptr) {
        textures.fetch_add(1);
    }
    next("glTexImage2D", real)(target, level, internalFormat, width, height, border, format, type, pixels);
}
