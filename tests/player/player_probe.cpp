// Plays a module with the live player and leaves the process by one of the roads
// the show can take, printing the number of events that arrived first.
//   player_probe MODULE quit               Stop, Free, Close, then exit(0) (the show's quitDemo)
//   player_probe MODULE exit               exit(0) while playing (freeglut closing the window)
//   player_probe MODULE exit-during-handler  exit(0) from the main thread while a handler runs
//   player_probe MODULE exit-from-handler  exit(0) from inside a handler
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/fmod.h"

namespace {

// Handler calls so far: written by the handler, read by the main thread.
std::atomic<int> events{0};
// The road out: set by main before playing, read by the handler.
const char* mode = "";
// Set by the handler once it is inside a slow call: read by the main thread.
std::atomic<bool> handlerRunning{false};

void report()
{
    std::printf("events %d\n", events.load());
    std::fflush(stdout);
}

void onEvent(FMUSIC_MODULE*, unsigned char)
{
    events.fetch_add(1);
    if (std::strcmp(mode, "exit-from-handler") == 0) {
        report();
        std::exit(0);
    }
    if (std::strcmp(mode, "exit-during-handler") == 0 && !handlerRunning.load()) {
        handlerRunning.store(true);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: player_probe MODULE quit|exit|exit-during-handler|exit-from-handler\n");
        return 2;
    }
    mode = argv[2];
    FSOUND_Init(44100, 32, 0);
    FMUSIC_MODULE* song = FMUSIC_LoadSong(argv[1]);
    if (song == nullptr) {
        std::printf("not loaded\n");
        return 1;
    }
    FMUSIC_SetZxxCallback(song, onEvent);
    FMUSIC_PlaySong(song);
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (events.load() < 2 && !handlerRunning.load() && std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (std::strcmp(mode, "quit") == 0) {
        FMUSIC_StopSong(song);
        FMUSIC_FreeSong(song);
        FSOUND_Close();
    }
    report();
    std::exit(0);
}
