#include "studio/script.h"

#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

#include "offline/virtual_clock.h"
#include "shared/fnv.h"
#include "shared/monotonic_clock.h"
#include "studio/edits.h"
#include "studio/options.h"
#include "studio/replay.h"
#include "studio/transport.h"
#include "sync/show_state.h"

namespace {

constexpr int SCRIPT_FPS = 30;  // steps per second of a script's "w"

// Runs one line of script commands; exits with 2 on a bad one.
void runScriptLine(const std::string& line)
{
    std::stringstream commands(line);
    std::string command;
    while (std::getline(commands, command, ',')) {
        const std::string arg = command.empty() ? "" : command.substr(1);
        const char kind = command.empty() ? ' ' : command[0];
        if (kind == 's') {
            seekTo(studioMoment(arg.c_str(), "s"));
        } else if (kind == 'k' || kind == 'K') {
            const KeySym key = XStringToKeysym(arg.c_str());
            if (key == NoSymbol) {
                say("no such key: " + arg);
                std::exit(2);
            }
            pressKey(key, kind == 'K');
        } else if (kind == 'w') {
            const double seconds = std::atof(arg.c_str());
            for (int step = 0; step < seconds * SCRIPT_FPS; ++step) {
                transport.scriptClock += k3l::NANOSECONDS_PER_SECOND / SCRIPT_FPS;
                follow();
            }
        } else if (kind == 'h') {
            printHash();
        } else if (kind == 'm') {
            studioOptions.module = arg;
            reload(true, {});
        } else {
            say("bad command: " + command);
            std::exit(2);
        }
    }
    std::fflush(stdout);
}

}  // namespace

void printHash()
{
    updateReplayPicture();
    const std::vector<uint8_t>& picture = replayPicture();
    std::printf("at %.6f tick %d scene %d event %d loop %.6f %.6f %d hash %016llx\n", countSeconds(replayPosition()),
                show.tick.load(), show.scene.load(), replayLastEvent(), countSeconds(transport.loopIn),
                countSeconds(transport.loopOut), transport.looping ? 1 : 0,
                static_cast<unsigned long long>(k3l::fnv1a64(picture.data(), picture.size())));
}

void runScript()
{
    if (studioOptions.script != "-") {
        runScriptLine(studioOptions.script);
        std::exit(0);
    }
    watchFiles();
    for (std::string line; std::getline(std::cin, line);) {
        takeChanges();
        runScriptLine(line);
    }
    std::exit(0);
}
