#pragma once
// Text through FreeType from the fonts of Debian's fonts-dejavu-core package.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <string>
#include <vector>

#include "art/picture.h"

namespace art {

// The fonts the show's images use; each path is fixed so every build reads the same file.
constexpr const char* FONT_SANS_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
constexpr const char* FONT_MONO_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf";

// One open font face.
struct Font {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
};

// The size of the type in pixels: across (em width) and up (em height); they differ for
// images that the show stretches unevenly, so the letters come out right on screen.
struct TypeSize {
    float x = 16.0f;
    float y = 16.0f;
};

// Where a line of text puts ink, in pixels from the pen's start on the baseline.
struct InkBox {
    float left = 0.0f;     // first inked column
    float right = 0.0f;    // just past the last inked column
    float bottom = 0.0f;   // lowest ink (negative below the baseline)
    float top = 0.0f;      // highest ink
    float advance = 0.0f;  // where the pen ends
};

// Opens a font; stops the program with a message naming the missing package when it can't.
Font openFont(const char* path);

// Closes a font opened by openFont.
void closeFont(Font& font);

// The ink box of a line of text at a size.
InkBox measure(const Font& font, const std::string& text, TypeSize size);

// Draws a line of text into a mask with its pen starting at (x, baseline), y up.
// crisp renders one-bit pixels (for nearest-filtered pixel art); otherwise anti-aliased.
// lifts, when given, raises each character by its own number of pixels.
void drawText(Mask& mask, const Font& font, const std::string& text, float x, float baseline, TypeSize size,
              bool crisp, const std::vector<int>& lifts = {});

// The size of the given proportion (y / x) whose ink fills width across or height up, whichever is tighter.
TypeSize fitText(const Font& font, const std::string& text, float width, float height, float proportion);

// Draws a line centred on x (by its ink), baseline at the given height; returns its ink box.
InkBox drawCentred(Mask& mask, const Font& font, const std::string& text, float centreX, float baseline,
                   TypeSize size, bool crisp);

}  // namespace art
