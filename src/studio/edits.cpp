#include "studio/edits.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "assets/textures.h"
#include "shared/monotonic_clock.h"
#include "studio/options.h"
#include "studio/replay.h"
#include "studio/transport.h"

namespace {

// A module reload under way: written by reload, read by checkReload.
struct ModuleReload {
    bool running = false;
    int64_t started = 0;          // monotonic nanoseconds when its file was taken
    std::string name;             // the module's path
};
ModuleReload moduleReload;

// What the studio watches for new versions of its files: written by watchFiles, read by takeChanges.
struct Watch {
    int fd = -1;                  // inotify; -1 when nothing is watched
    int moduleDirectory = -1;     // the module's directory's watch
    int imageDirectory = -1;      // the images' directory's watch (the same when it is the same directory)
};
Watch watch;

// Appends `item` to a list of `separator`-separated items.
void addItem(std::string& list, const std::string& item, const char* separator)
{
    list += (list.empty() ? "" : separator) + item;
}

// Says what was reloaded and how long it took since `started` (monotonic nanoseconds).
void sayReloaded(const std::string& what, int64_t started)
{
    transport.message =
        "reloaded " + what + " in " + std::to_string((k3l::monotonicNanoseconds() - started) / 1000000) + " ms";
    say(transport.message);
}

}  // namespace

void reload(bool module, const std::vector<int>& images)
{
    const int64_t started = k3l::monotonicNanoseconds();
    std::string reloaded, failed, error;
    for (const int image : images) {
        const std::filesystem::path path = hostPath(IMAGE_SLOTS[image].path);
        if (reloadReplayImage(image)) {
            addItem(reloaded, path.string(), ", ");
        } else {
            addItem(failed, "cannot load the image " + path.string() +
                                (std::filesystem::is_regular_file(path) ? " (not an uncompressed 24- or 32-bit TGA)"
                                                                        : " (no such file)") +
                                "; the previous one stays", "; ");
        }
    }
    if (!images.empty()) {
        refreshReplay();
    }
    const SongReload song = module ? reloadReplaySong(studioOptions.module.c_str(), error) : SongReload::Unchanged;
    if (module && song == SongReload::Failed) {
        addItem(failed, error + "; the previous one plays on", "; ");
    } else if (module && song == SongReload::Unchanged) {
        addItem(reloaded, studioOptions.module + " (the same song: nothing replayed)", ", ");
    } else if (module) {
        mapSong();
        moduleReload = ModuleReload{true, started, studioOptions.module};
        if (!studioOptions.script.empty()) {
            finishReplayReload();
            checkReload();
        }
    }
    if (!reloaded.empty()) {
        sayReloaded(reloaded, started);
    }
    if (!failed.empty()) {
        transport.message = failed;
        say(transport.message);
    }
    anchor();
}

void checkReload()
{
    if (!moduleReload.running || !replayReloaded()) {
        return;
    }
    moduleReload.running = false;
    sayReloaded(moduleReload.name, moduleReload.started);
    swapSound();
}

void reloadAll()
{
    std::vector<int> images(IMAGE_COUNT);
    for (int i = 0; i < IMAGE_COUNT; ++i) {
        images[i] = i;
    }
    reload(true, images);
}

void watchFiles()
{
    watch.fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch.fd < 0) {
        return;
    }
    const auto directoryOf = [](const std::string& path) {
        const std::filesystem::path parent = hostPath(path).parent_path();
        return parent.empty() ? std::string(".") : parent.string();
    };
    const uint32_t changes = IN_CLOSE_WRITE | IN_MOVED_TO;
    watch.moduleDirectory = inotify_add_watch(watch.fd, directoryOf(studioOptions.module).c_str(), changes);
    watch.imageDirectory = inotify_add_watch(watch.fd, directoryOf(IMAGE_SLOTS[0].path).c_str(), changes);
}

void takeChanges()
{
    alignas(inotify_event) char buffer[4096];
    ssize_t got = watch.fd >= 0 ? read(watch.fd, buffer, sizeof buffer) : -1;
    if (got <= 0) {
        return;
    }
    const std::string module = hostPath(studioOptions.module).filename().string();
    bool moduleChanged = false;
    std::vector<int> images;
    for (; got > 0; got = read(watch.fd, buffer, sizeof buffer)) {
        for (char* at = buffer; at < buffer + got;) {
            const inotify_event* event = reinterpret_cast<const inotify_event*>(at);
            at += sizeof(inotify_event) + event->len;
            if (event->len == 0) {
                continue;
            }
            moduleChanged = moduleChanged || (event->wd == watch.moduleDirectory && module == event->name);
            for (int i = 0; i < IMAGE_COUNT; ++i) {
                if (event->wd == watch.imageDirectory && std::strcmp(IMAGE_SLOTS[i].file, event->name) == 0 &&
                    std::find(images.begin(), images.end(), i) == images.end()) {
                    images.push_back(i);
                }
            }
        }
    }
    if (moduleChanged || !images.empty()) {
        reload(moduleChanged, images);
    }
}
