#pragma once
// PNG files of the capture's pictures (frames, the storyboard).
#include <cstdint>
#include <string>

// Turns `pixels` BGR pixels into RGB.
void bgrToRgb(const uint8_t* bgr, size_t pixels, uint8_t* rgb);

// Writes an 8-bit RGB picture (top row first) as PNG; `level` is zlib's 0 (none) .. 9 (smallest).
// False when the file cannot be written.
bool writeRgbPng(const std::string& path, int width, int height, const uint8_t* rgb, int level);
