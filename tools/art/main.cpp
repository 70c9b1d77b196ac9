// Draws the show's seventeen images and writes them as TGA files into a directory;
// given a second directory, also writes a contact sheet and scene mock-ups there.
// Usage: make_art <data directory> [<sheet directory>]
#include <cstdio>
#include <string>

#include "art/artwork.h"
#include "art/sheet.h"
#include "imagekit/tga_writer.h"

namespace {

// True for 1, 2, 4, 8, …: the only texture sizes OpenGL 1.1 takes.
bool powerOfTwo(int n)
{
    return n > 0 && (n & (n - 1)) == 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: make_art <data directory> [<sheet directory>]\n");
        return 2;
    }
    const std::string dataDir = argv[1];
    art::Fonts fonts{art::openFont(art::FONT_SANS_BOLD), art::openFont(art::FONT_MONO_BOLD)};
    const std::vector<art::Artwork> artworks = art::makeArtworks(fonts);
    for (const art::Artwork& a : artworks) {
        if (!powerOfTwo(a.picture.width) || !powerOfTwo(a.picture.height)) {
            std::fprintf(stderr, "make_art: %s is %d x %d, not a power of two\n", a.file.c_str(), a.picture.width,
                         a.picture.height);
            return 1;
        }
        const std::string path = dataDir + "/" + a.file;
        if (!imagekit::saveTGA(art::toImage(a.picture), a.bits, path)) {
            std::fprintf(stderr, "make_art: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    if (argc == 3) {
        const std::string sheetDir = argv[2];
        if (!art::savePNG(art::contactSheet(artworks, fonts), sheetDir + "/contact-sheet.png") ||
            !art::savePNG(art::sceneMockups(artworks, fonts), sheetDir + "/scenes.png")) {
            std::fprintf(stderr, "make_art: cannot write the sheets into %s\n", sheetDir.c_str());
            return 1;
        }
    }
    art::closeFont(fonts.mono);
    art::closeFont(fonts.sans);
    return 0;
}
