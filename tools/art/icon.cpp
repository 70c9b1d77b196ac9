// Draws the desktop icon from the show's own images: scene 1's red backdrop with the cat
// of scene 4 over it, written as a 128 x 128 PNG. Usage: make_icon <png file>
#include <cstdio>

#include "art/artwork.h"
#include "art/sheet.h"

namespace {

constexpr int ICON_SIDE = 128;  // pixels

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icon <png file>\n");
        return 2;
    }
    art::Picture icon = art::makePicture(ICON_SIDE, ICON_SIDE, art::rgb(0, 0, 0));
    art::Fonts fonts{art::openFont(art::FONT_SANS_BOLD), art::openFont(art::FONT_MONO_BOLD)};
    const art::Artwork backdrop = art::afraid512(fonts);
    const art::Artwork cat = art::gatto(fonts);
    const float side = ICON_SIDE;
    // The backdrop's middle square, then the cat across most of it, as the show blends them.
    art::drawQuad(icon, backdrop.picture, art::Quad{0, 0, side, side, 0.25f, 0.0f, 0.75f, 1.0f}, art::rgb(255, 255, 255),
                  false, false);
    art::drawQuad(icon, cat.picture, art::Quad{side * 0.1f, side * 0.05f, side * 0.9f, side * 0.85f},
                  art::rgb(255, 255, 255), false, false);
    art::closeFont(fonts.mono);
    art::closeFont(fonts.sans);
    if (!art::savePNG(icon, argv[1])) {
        std::fprintf(stderr, "make_icon: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
