// Writes solid-colour 64 x 64 TGA images (32-bit, with alpha) for the tests that run the show.
// Usage: solid_images <directory> NAME:RRGGBBAA ...   e.g.  solid_images data afraid512:FF0000FF
#include <cstdio>
#include <string>

#include "imagekit/tga_writer.h"

int main(int argc, char** argv)
{
    constexpr int SIDE = 64;  // pixels
    for (int i = 2; i < argc; ++i) {
        char name[64];
        unsigned colour = 0;
        if (std::sscanf(argv[i], "%63[^:]:%8x", name, &colour) != 2) {
            std::fprintf(stderr, "solid_images: bad image %s\n", argv[i]);
            return 2;
        }
        imagekit::Image image(SIDE, SIDE);
        for (int p = 0; p < SIDE * SIDE; ++p) {
            for (int c = 0; c < 4; ++c) {
                image.rgba[static_cast<size_t>(p) * 4 + c] = static_cast<uint8_t>(colour >> (24 - 8 * c));
            }
        }
        if (!imagekit::saveTGA(image, 32, std::string(argv[1]) + "/" + name + ".tga")) {
            std::fprintf(stderr, "solid_images: cannot write %s\n", name);
            return 1;
        }
    }
    return 0;
}
