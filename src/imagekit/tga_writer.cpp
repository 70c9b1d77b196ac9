#include "tga_writer.h"

#include <cstdio>

namespace imagekit {

std::vector<uint8_t> encodeTGA(const Image& image, int bitsPerPixel)
{
    std::vector<uint8_t> out(18, 0);
    out[2] = 2;
    out[12] = static_cast<uint8_t>(image.width);
    out[13] = static_cast<uint8_t>(image.width >> 8);
    out[14] = static_cast<uint8_t>(image.height);
    out[15] = static_cast<uint8_t>(image.height >> 8);
    out[16] = static_cast<uint8_t>(bitsPerPixel);
    out[17] = bitsPerPixel == 32 ? 8 : 0;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const uint8_t* pixel = image.at(x, y);
            out.push_back(pixel[2]);
            out.push_back(pixel[1]);
            out.push_back(pixel[0]);
            if (bitsPerPixel == 32) {
                out.push_back(pixel[3]);
            }
        }
    }
    return out;
}

bool saveTGA(const Image& image, int bitsPerPixel, const std::string& path)
{
    const std::vector<uint8_t> bytes = encodeTGA(image, bitsPerPixel);
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace imagekit
