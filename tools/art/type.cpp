#include "art/type.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace art {

namespace {

// Sets the face to a size given in pixels across and up (26.6 fixed point at 72 dpi).
void setSize(const Font& font, TypeSize size)
{
    FT_Set_Char_Size(font.face, static_cast<FT_F26Dot6>(std::lround(size.x * 64.0f)),
                     static_cast<FT_F26Dot6>(std::lround(size.y * 64.0f)), 72, 72);
}

// The kerning between two glyphs in pixels across.
float kerning(const Font& font, FT_UInt previous, FT_UInt glyph)
{
    if (previous == 0 || !FT_HAS_KERNING(font.face)) {
        return 0.0f;
    }
    FT_Vector delta;
    FT_Get_Kerning(font.face, previous, glyph, FT_KERNING_DEFAULT, &delta);
    return delta.x / 64.0f;
}

}  // namespace

Font openFont(const char* path)
{
    Font font;
    if (FT_Init_FreeType(&font.library) != 0) {
        std::fprintf(stderr, "make_art: FreeType does not start\n");
        std::exit(1);
    }
    if (FT_New_Face(font.library, path, 0, &font.face) != 0) {
        std::fprintf(stderr,
                     "make_art: cannot read the font %s; it comes with Debian's fonts-dejavu-core package "
                     "(apt-get install fonts-dejavu-core)\n",
                     path);
        std::exit(1);
    }
    return font;
}

void closeFont(Font& font)
{
    if (font.face) {
        FT_Done_Face(font.face);
    }
    if (font.library) {
        FT_Done_FreeType(font.library);
    }
    font = Font{};
}

InkBox measure(const Font& font, const std::string& text, TypeSize size)
{
    setSize(font, size);
    InkBox box;
    bool first = true;
    float pen = 0.0f;
    FT_UInt previous = 0;
    for (unsigned char ch : text) {
        const FT_UInt glyph = FT_Get_Char_Index(font.face, ch);
        pen += kerning(font, previous, glyph);
        previous = glyph;
        if (FT_Load_Glyph(font.face, glyph, FT_LOAD_DEFAULT) != 0) {
            continue;
        }
        const FT_Glyph_Metrics& m = font.face->glyph->metrics;
        if (m.width > 0 && m.height > 0) {
            const float left = pen + m.horiBearingX / 64.0f;
            const float right = left + m.width / 64.0f;
            const float top = m.horiBearingY / 64.0f;
            const float bottom = top - m.height / 64.0f;
            box.left = first ? left : std::min(box.left, left);
            box.right = first ? right : std::max(box.right, right);
            box.top = first ? top : std::max(box.top, top);
            box.bottom = first ? bottom : std::min(box.bottom, bottom);
            first = false;
        }
        pen += font.face->glyph->advance.x / 64.0f;
    }
    box.advance = pen;
    return box;
}

void drawText(Mask& mask, const Font& font, const std::string& text, float x, float baseline, TypeSize size,
              bool crisp, const std::vector<int>& lifts)
{
    setSize(font, size);
    const FT_Int32 flags = crisp ? FT_LOAD_RENDER | FT_LOAD_TARGET_MONO : FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT;
    float pen = x;
    FT_UInt previous = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const FT_UInt glyph = FT_Get_Char_Index(font.face, static_cast<unsigned char>(text[i]));
        pen += kerning(font, previous, glyph);
        previous = glyph;
        if (FT_Load_Glyph(font.face, glyph, flags) != 0) {
            continue;
        }
        const FT_GlyphSlot slot = font.face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        const int lift = i < lifts.size() ? lifts[i] : 0;
        const int left = static_cast<int>(std::lround(pen)) + slot->bitmap_left;
        const int top = static_cast<int>(std::lround(baseline)) + slot->bitmap_top + lift;
        for (unsigned row = 0; row < bitmap.rows; ++row) {
            const unsigned char* line = bitmap.buffer + static_cast<long>(row) * bitmap.pitch;
            for (unsigned col = 0; col < bitmap.width; ++col) {
                float cover = 0.0f;
                if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
                    cover = (line[col / 8] >> (7 - col % 8)) & 1 ? 1.0f : 0.0f;
                } else {
                    cover = line[col] / 255.0f;
                }
                const int px = left + static_cast<int>(col);
                const int py = top - 1 - static_cast<int>(row);
                if (cover > 0.0f && px >= 0 && py >= 0 && px < mask.width && py < mask.height) {
                    float& dst = mask.cover[static_cast<size_t>(py) * mask.width + px];
                    dst = std::max(dst, cover);
                }
            }
        }
        pen += slot->advance.x / 64.0f;
    }
}

TypeSize fitText(const Font& font, const std::string& text, float width, float height, float proportion)
{
    const float reference = 100.0f;  // pixels across, a size large enough to measure well
    const InkBox box = measure(font, text, TypeSize{reference, reference * proportion});
    const float across = width / std::max(1.0f, box.right - box.left);
    const float up = height / std::max(1.0f, box.top - box.bottom);
    const float scale = std::min(across, up);
    return TypeSize{reference * scale, reference * proportion * scale};
}

InkBox drawCentred(Mask& mask, const Font& font, const std::string& text, float centreX, float baseline,
                   TypeSize size, bool crisp)
{
    const InkBox box = measure(font, text, size);
    const float x = std::round(centreX - (box.left + box.right) / 2.0f);
    drawText(mask, font, text, x, baseline, size, crisp);
    InkBox placed = box;
    placed.left += x;
    placed.right += x;
    placed.advance += x;
    return placed;
}

}  // namespace art
