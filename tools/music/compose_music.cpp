// Writes the show's music, an IT module, to a file (the show reads it as zelto-07.tga).
// Usage: compose_music <file>
#include <cstdio>
#include <exception>

#include "song.h"

// Composes the module and writes it; fails without writing when the score has a mistake.
int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: compose_music <file>\n");
        return 2;
    }
    std::vector<uint8_t> bytes;
    try {
        bytes = music::moduleBytes();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "compose_music: %s\n", error.what());
        return 1;
    }
    FILE* file = std::fopen(argv[1], "wb");
    if (!file) {
        std::fprintf(stderr, "compose_music: cannot write %s\n", argv[1]);
        return 1;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (std::fclose(file) != 0 || !written) {
        std::fprintf(stderr, "compose_music: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
