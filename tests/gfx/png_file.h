#pragma once
// 8-bit RGB PNG files for the reference pictures.
#include <cstdint>
#include <string>
#include <vector>

// A picture as RGB bytes, top row first.
struct RgbPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
};

// Writes the picture as an 8-bit RGB PNG; false on failure.
bool writePng(const std::string& path, const RgbPicture& picture);

// Reads an 8-bit RGB or RGBA PNG (alpha dropped); false when missing or unreadable.
bool readPng(const std::string& path, RgbPicture& picture);
