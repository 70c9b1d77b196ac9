#include "platform/command_line.h"

#include <GL/freeglut.h>
#include <getopt.h>

#include <cstdio>
#include <cstdlib>

// K3L_VERSION comes from the build (packaging/version.cmake, src/platform/CMakeLists.txt).

// Written by startGlut, read by fullScreenWindow.
bool keepWindow = false;

namespace {

constexpr int EXIT_USAGE = 2;  // process status after a bad command line

constexpr const char* USAGE =
    "usage: k3lvana [--window]\n"
    "Plays the show full screen, its music on the default sound device; Escape ends it.\n"
    "  --window   stay in the 640 x 480 window instead of going full screen\n"
    "  --help     print this and exit\n"
    "  --version  print the version and exit\n";

// The options' codes, above any character.
enum { WINDOW = 256, HELP, VERSION };

// The options, in the order of their codes.
const option OPTIONS[] = {
    {"window", no_argument, nullptr, WINDOW},
    {"help", no_argument, nullptr, HELP},
    {"version", no_argument, nullptr, VERSION},
    {nullptr, 0, nullptr, 0},
};

// Ends the process for a bad command line: what is wrong with `argument` (before and after it), then the usage.
[[noreturn]] void refuse(const char* what, const char* argument, const char* after = "")
{
    std::fprintf(stderr, "k3lvana: %s '%s'%s\n%s", what, argument, after, USAGE);
    std::exit(EXIT_USAGE);
}

}  // namespace

#undef glutInit

// Takes the show's options out of the command line, then starts GLUT with the program's name alone.
void startGlut(int* argc, char** argv)
{
    opterr = 0;  // the messages are ours, the same on every platform
    // "+": options end at the first other argument; `at` is the argument being read.
    for (int at = optind, code; (code = getopt_long(*argc, argv, "+", OPTIONS, nullptr)) != -1; at = optind) {
        if (code == WINDOW) {
            keepWindow = true;
        } else if (code == HELP) {
            std::fputs(USAGE, stdout);
            std::exit(0);
        } else if (code == VERSION) {
            std::puts("k3lvana " K3L_VERSION);
            std::exit(0);
        } else {
            if (optopt >= WINDOW) {
                refuse("option", argv[at], " takes no value");
            }
            refuse("unknown option", argv[at]);
        }
    }
    if (optind < *argc) {
        refuse("unexpected argument", argv[optind]);
    }
    *argc = 1;
#ifdef _WIN32
    // freeglut reads DISPLAY as the name of a Windows display device; one set for an X server (Wine,
    // Cygwin, MSYS2) names none, and freeglut would warn on stderr, so it is removed from this process.
    _putenv("DISPLAY=");
#endif
    glutInit(argc, argv);
}
