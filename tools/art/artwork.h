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

// One image: its file name (without .tga), pixels, file depth and what it shows.
struct Artwork {
    std::string name;
    Picture picture;
    int bits = 32;           // 24 (opaque) or 32 (with alpha)
    std::string about;       // one line for the contact sheet
    Staging staging;
};

// Canvas to picture mapping of the two full-picture backgrounds: u = x / 320, v = (y − 30) / 180.
constexpr float CANVAS_WIDTH = 320.0f;    // canvas units
constexpr float PICTURE_BOTTOM = 30.0f;   // canvas y of the picture area's bottom
constexpr float PICTURE_HEIGHT = 180.0f;  // canvas units, 30..210

// The backgrounds (backgrounds.cpp).
Artwork makeAfraid512();
Artwork makeConfidence512();

// The noise bands (bands.cpp).
Artwork makeNoise();
Artwork makeNoiseLiscio();

// The words (words.cpp).
Artwork makeCredits(const Fonts& fonts);
Artwork makeAfraid64(const Fonts& fonts);
Artwork makeConfidence(const Fonts& fonts);
Artwork makeWisdom64(const Fonts& fonts);
Artwork makeUncertainty64(const Fonts& fonts);
Artwork makeVersus(const Fonts& fonts);
Artwork makeFinalCredits(const Fonts& fonts);

// The pictures (pictures.cpp).
Artwork makeSprite();
Artwork makeCat();
Artwork makeBrave(const Fonts& fonts);
Artwork makeWisdom(const Fonts& fonts);
Artwork makeDiscouragement();
Artwork makeSketches(const Fonts& fonts);

// All seventeen in the order the show loads them.
std::vector<Artwork> makeArtworks(const Fonts& fonts);

}  // namespace art
