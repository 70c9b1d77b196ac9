#pragma once
// Writes uncompressed true-colour TGA files (image type 2, bottom-left origin).
#include <cstdint>
#include <string>
#include <vector>

namespace imagekit {

// An RGBA image; row 0 is the bottom row, as the show's loader takes it.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;  // width x height x 4 bytes

    Image(int w, int h) : width(w), height(h), rgba(static_cast<size_t>(w) * h * 4, 0) {}
    uint8_t* at(int x, int y) { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
    const uint8_t* at(int x, int y) const { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
};

// The TGA file bytes: 32-bit with alpha, or 24-bit with the alpha dropped.
std::vector<uint8_t> encodeTGA(const Image& image, int bitsPerPixel);

// Writes the image as a TGA file; false when it cannot be written.
bool saveTGA(const Image& image, int bitsPerPixel, const std::string& path);

}  // namespace imagekit
