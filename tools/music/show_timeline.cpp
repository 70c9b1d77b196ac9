// Prints the sync timeline of a module as libopenmpt plays it, or writes docs/show.md.
// Usage: show_timeline <module>
//        show_timeline --doc <module> <out.md>
#include <cstdio>
#include <exception>
#include <fstream>
#include <string>

#include "timeline.h"

// Reads the module back and prints or writes the timeline.
int main(int argc, char** argv)
{
    const bool doc = argc == 4 && std::string(argv[1]) == "--doc";
    if (argc != 2 && !doc) {
        std::fprintf(stderr, "usage: show_timeline <module>\n       show_timeline --doc <module> <out.md>\n");
        return 2;
    }
    const std::string path = doc ? argv[2] : argv[1];
    const std::vector<uint8_t> bytes = music::readFile(path);
    if (bytes.empty()) {
        std::fprintf(stderr, "show_timeline: cannot read %s\n", path.c_str());
        return 1;
    }
    try {
        const music::ReadBack played = music::readBack(bytes);
        if (!doc) {
            std::fputs(music::timelineTable(played.events).c_str(), stdout);
            return 0;
        }
        std::ofstream out(argv[3]);
        out << music::showDocument(played);
        if (!out) {
            std::fprintf(stderr, "show_timeline: cannot write %s\n", argv[3]);
            return 1;
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "show_timeline: %s: %s\n", path.c_str(), error.what());
        return 1;
    }
    return 0;
}
