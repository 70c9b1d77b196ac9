#pragma once
// Writes 8-bit colour PNG files through libpng's simplified API: the art tools' sheets, the
// capture's frames and storyboard, the tests' pictures.
#include <cstdint>
#include <string>

namespace imagekit {

// The order of a pixel's three bytes.
enum class PngOrder { Rgb, Bgr };

// How hard zlib works: Small for files people keep, Fast for frames written by the thousand.
enum class PngEffort { Small, Fast };

// Writes width x height pixels of three bytes each, top row first, as an RGB PNG file;
// false when it cannot be written.
bool writePng(const std::string& path, int width, int height, const uint8_t* pixels, PngOrder order,
              PngEffort effort);

}  // namespace imagekit
