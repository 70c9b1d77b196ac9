// Plays a module with the live player and prints each Zxx event as it is released, as two
// hex digits and a line end, at once: a program reading the pipe times the events on its
// own clock (bench/event_timing --player). Ends after the given seconds.
// Usage: play_events <module> <seconds>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "platform/fmod.h"
#include "platform/player_live.h"

namespace {
// Prints the event.
void printEvent(FMUSIC_MODULE*, unsigned char parameter)
{
    std::printf("%02x\n", parameter);
    std::fflush(stdout);
}
}  // namespace

int main(int argc, char** argv)
{
    FSOUND_Init(44100, 32, 0);
    std::fprintf(stderr, "play_events: %s, latency %.1f ms as opened\n",
                 playerOutput() == PLAYER_OUTPUT_DEVICE ? "audio device" : "silent output", playerDeviceLatencyMs());
    FMUSIC_MODULE* song = argc == 3 ? FMUSIC_LoadSong(argv[1]) : nullptr;
    if (song == nullptr) {
        std::fprintf(stderr, "usage: play_events <module> <seconds>\n");
        return 2;
    }
    FMUSIC_SetZxxCallback(song, printEvent);
    FMUSIC_PlaySong(song);
    std::this_thread::sleep_for(std::chrono::duration<double>(std::atof(argv[2])));
    FMUSIC_FreeSong(song);
    FSOUND_Close();
    return 0;
}
