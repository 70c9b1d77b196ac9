#pragma once
// The seventeen images of the show and how the show draws each one.
#include <string>
#include <vector>

#include "art/picture.h"
#include "art/type.h"

namespace art {

// The fonts every image shares.
struct Fonts {
    Font sans;  // DejaVu Sans Bold: words and titles
    Font mono;  // DejaVu Sans Mono Bold: credits and small print
};

// How the show lays an image on its canvas (320 x 240 units): what the previews imitate.
struct Staging {
    float width = 64.0f;    // canvas units across the quad
    float height = 64.0f;   // canvas units up the quad
    Rgba ground;            // what lies behind it
    Rgba tint;              // the current colour it is modulated by
    bool nearest = false;   // GL_NEAREST instead of linear filtering
    bool additive = false;  // blended (src alpha, one) instead of (src alpha, 1 − src alpha)
};

// The show's images by their slot, in the order the show loads them (src/assets/image_table.h).
enum class Image {
#define K3L_IMAGE(slot, file) slot,
#include "assets/image_table.h"
#undef K3L_IMAGE
};

// One image: its pixels, file depth and what it shows; its slot and its file in data/
// ("afraid512.tga", from the show's image table) filled in by makeArtworks.
struct Artwork {
    Picture picture;
    int bits = 32;           // 24 (opaque) or 32 (with alpha)
    std::string about;       // one line for the contact sheet
    Staging staging;
    Image slot = Image::afraid512;
    std::string file = "";
};

// Canvas to picture mapping of the two full-picture backgrounds: u = x / 320, v = (y − 30) / 180.
constexpr float CANVAS_WIDTH = 320.0f;    // canvas units
constexpr float PICTURE_BOTTOM = 30.0f;   // canvas y of the picture area's bottom
constexpr float PICTURE_HEIGHT = 180.0f;  // canvas units, 30..210

// Each image is drawn by the function named after its slot; those without letters leave the fonts alone.
// The backgrounds (backgrounds.cpp).
Artwork afraid512(const Fonts& fonts);
Artwork confidence512(const Fonts& fonts);

// The noise bands (bands.cpp).
Artwork noise(const Fonts& fonts);
Artwork noiseliscio(const Fonts& fonts);

// The words (words.cpp).
Artwork credits(const Fonts& fonts);
Artwork afraid64(const Fonts& fonts);
Artwork confidence(const Fonts& fonts);
Artwork wisdom64(const Fonts& fonts);
Artwork uncertainty64(const Fonts& fonts);
Artwork vs(const Fonts& fonts);
Artwork creditifinali(const Fonts& fonts);

// The pictures (pictures.cpp).
Artwork sprite(const Fonts& fonts);
Artwork gatto(const Fonts& fonts);
Artwork brave(const Fonts& fonts);
Artwork wisdom(const Fonts& fonts);
Artwork scoramento(const Fonts& fonts);
Artwork schizzi(const Fonts& fonts);

// All seventeen, one for each line of the show's image table and in its order (a slot without
// its function fails the build).
std::vector<Artwork> makeArtworks(const Fonts& fonts);

// The picture of one image of makeArtworks' list.
const Picture& pictureOf(const std::vector<Artwork>& artworks, Image slot);
}  // namespace art
