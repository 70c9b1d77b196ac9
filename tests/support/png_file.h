#pragma once
// 8-bit RGB PNG files: the reference pictures and what the capture writes.
#include <cstdint>
#include <string>
#include <vector>

// A picture as RGB bytes, top row first.
struct RgbPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
};

// Reads a PNG file of any colour type as RGB; false when missing or unreadable.
bool readPng(const std::string& path, RgbPicture& picture);

// Writes the picture as an RGB PNG; false on failure.
bool writePng(const std::string& path, const RgbPicture& picture);
