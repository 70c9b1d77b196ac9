#include "capture/storyboard.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "imagekit/png_writer.h"

namespace {

constexpr int THUMB_WIDTH = 320;          // pixels: the canvas's own width
constexpr int COLUMNS = 4;                // frames across
constexpr int GUTTER = 8;                 // pixels around and between frames
constexpr int FONT_SCALE = 2;             // screen pixels per font pixel
constexpr int GLYPH_WIDTH = 5;            // font pixels
constexpr int GLYPH_HEIGHT = 7;           // font pixels
constexpr int GLYPH_ADVANCE = 6;          // font pixels from one character to the next
constexpr int LABEL_HEIGHT = GLYPH_HEIGHT * FONT_SCALE + 8;  // pixels under each frame
constexpr double AFTER_CUT = 0.3;         // seconds from a cut to the frame kept for it
constexpr double MIN_SPACING = 2.0;       // seconds: the least time between frames kept within a scene
constexpr double MAX_SPACING = 15.0;      // seconds: the most
constexpr double SPACINGS_PER_SHOW = 16;  // the spacing is the expected show time over this
constexpr int MAX_FRAMES = 64;            // frames kept at most
constexpr uint8_t BACKGROUND = 24;        // grey level between the frames
constexpr uint8_t INK = 235;              // grey level of the labels

// One 5 x 7 glyph: rows top to bottom, bit 4 the leftmost pixel.
struct Glyph {
    char character;
    uint8_t rows[GLYPH_HEIGHT];
};

// The characters the labels use.
constexpr Glyph FONT[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}},
    {'s', {0x00, 0x00, 0x0E, 0x10, 0x0E, 0x01, 0x1E}},
    {'c', {0x00, 0x00, 0x0E, 0x10, 0x10, 0x11, 0x0E}},
    {'e', {0x00, 0x00, 0x0E, 0x11, 0x1F, 0x10, 0x0E}},
    {'n', {0x00, 0x00, 0x16, 0x19, 0x11, 0x11, 0x11}},
};

// One frame kept: a small RGB copy, top row first, and what its label says.
struct Thumbnail {
    std::vector<uint8_t> rgb;
    double seconds;
    int scene;
};

// The storyboard being gathered: written by start/consider/close, read by write.
struct Board {
    int frameWidth = 0;       // pixels of a video frame
    int frameHeight = 0;
    int thumbWidth = 0;       // pixels of a kept frame
    int thumbHeight = 0;
    double spacing = MIN_SPACING;  // seconds between frames kept within a scene
    int scene = -1;           // scene of the last frame looked at
    double cutSeconds = 0.0;  // when that scene began
    bool cutKept = false;     // whether its frame after the cut is kept
    double lastKept = 0.0;    // show time of the last frame kept
    std::vector<Thumbnail> thumbnails;
};
Board board;

// Shrinks a frame to thumbnail size by averaging the pixels each thumbnail pixel covers.
std::vector<uint8_t> shrink(const uint8_t* bgr)
{
    std::vector<uint8_t> rgb(static_cast<size_t>(board.thumbWidth) * board.thumbHeight * 3);
    for (int ty = 0; ty < board.thumbHeight; ++ty) {
        const int y0 = ty * board.frameHeight / board.thumbHeight;
        const int y1 = std::max(y0 + 1, (ty + 1) * board.frameHeight / board.thumbHeight);
        for (int tx = 0; tx < board.thumbWidth; ++tx) {
            const int x0 = tx * board.frameWidth / board.thumbWidth;
            const int x1 = std::max(x0 + 1, (tx + 1) * board.frameWidth / board.thumbWidth);
            uint32_t sum[3] = {0, 0, 0};
            for (int y = y0; y < y1; ++y) {
                const uint8_t* row = bgr + static_cast<size_t>(y) * board.frameWidth * 3;
                for (int x = x0; x < x1; ++x) {
                    sum[2] += row[x * 3];
                    sum[1] += row[x * 3 + 1];
                    sum[0] += row[x * 3 + 2];
                }
            }
            const uint32_t area = static_cast<uint32_t>((y1 - y0) * (x1 - x0));
            uint8_t* to = &rgb[(static_cast<size_t>(ty) * board.thumbWidth + tx) * 3];
            for (int c = 0; c < 3; ++c) {
                to[c] = static_cast<uint8_t>((sum[c] + area / 2) / area);
            }
        }
    }
    return rgb;
}

// Keeps a small copy of the frame.
void keep(const uint8_t* bgr, double seconds, int scene)
{
    board.thumbnails.push_back(Thumbnail{shrink(bgr), seconds, scene});
    board.lastKept = seconds;
}

// Draws `text` into an RGB picture with its top left corner at (x, y), clipped to the picture.
void drawText(std::vector<uint8_t>& picture, int width, int height, int x, int y, const char* text)
{
    for (; *text != '\0'; ++text, x += GLYPH_ADVANCE * FONT_SCALE) {
        const Glyph* glyph = nullptr;
        for (const Glyph& candidate : FONT) {
            if (candidate.character == *text) {
                glyph = &candidate;
            }
        }
        if (glyph == nullptr) {
            continue;
        }
        for (int row = 0; row < GLYPH_HEIGHT * FONT_SCALE; ++row) {
            for (int column = 0; column < GLYPH_WIDTH * FONT_SCALE; ++column) {
                const bool ink = (glyph->rows[row / FONT_SCALE] >> (GLYPH_WIDTH - 1 - column / FONT_SCALE)) & 1;
                const int px = x + column;
                const int py = y + row;
                if (ink && px >= 0 && py >= 0 && px < width && py < height) {
                    uint8_t* pixel = &picture[(static_cast<size_t>(py) * width + px) * 3];
                    pixel[0] = pixel[1] = pixel[2] = INK;
                }
            }
        }
    }
}

}  // namespace

void startStoryboard(int frameWidth, int frameHeight, double expectedSeconds)
{
    board = Board{};
    board.frameWidth = frameWidth;
    board.frameHeight = frameHeight;
    board.thumbWidth = std::min(THUMB_WIDTH, frameWidth);
    board.thumbHeight = std::max(1, board.thumbWidth * frameHeight / frameWidth);
    board.spacing = std::clamp(expectedSeconds / SPACINGS_PER_SHOW, MIN_SPACING, MAX_SPACING);
}

void considerStoryboardFrame(const uint8_t* bgr, double seconds, int scene)
{
    if (scene != board.scene) {
        board.scene = scene;
        board.cutSeconds = seconds;
        board.cutKept = false;
    }
    if (static_cast<int>(board.thumbnails.size()) >= MAX_FRAMES) {
        return;
    }
    if (!board.cutKept && seconds >= board.cutSeconds + AFTER_CUT) {
        keep(bgr, seconds, scene);
        board.cutKept = true;
    } else if (board.cutKept && seconds >= board.lastKept + board.spacing) {
        keep(bgr, seconds, scene);
    }
}

void closeStoryboard(const uint8_t* bgr, double seconds, int scene)
{
    if (board.thumbnails.empty()) {
        keep(bgr, seconds, scene);
    }
}

int storyboardFrames()
{
    return static_cast<int>(board.thumbnails.size());
}

bool writeStoryboard(const std::string& path)
{
    const int count = static_cast<int>(board.thumbnails.size());
    const int columns = std::max(1, std::min(COLUMNS, count));
    const int rows = std::max(1, (count + columns - 1) / columns);
    const int cellWidth = board.thumbWidth + GUTTER;
    const int cellHeight = board.thumbHeight + LABEL_HEIGHT + GUTTER;
    const int width = GUTTER + columns * cellWidth;
    const int height = GUTTER + rows * cellHeight;
    std::vector<uint8_t> picture(static_cast<size_t>(width) * height * 3, BACKGROUND);
    for (int i = 0; i < count; ++i) {
        const Thumbnail& thumbnail = board.thumbnails[i];
        const int left = GUTTER + (i % columns) * cellWidth;
        const int top = GUTTER + (i / columns) * cellHeight;
        for (int y = 0; y < board.thumbHeight; ++y) {
            std::copy_n(&thumbnail.rgb[static_cast<size_t>(y) * board.thumbWidth * 3], board.thumbWidth * 3,
                        &picture[(static_cast<size_t>(top + y) * width + left) * 3]);
        }
        char label[64];
        std::snprintf(label, sizeof label, "%.2f s  scene %d", thumbnail.seconds, thumbnail.scene);
        drawText(picture, width, height, left, top + board.thumbHeight + 4, label);
    }
    return imagekit::writePng(path, width, height, picture.data(), imagekit::PngOrder::Rgb, imagekit::PngEffort::Small);
}
