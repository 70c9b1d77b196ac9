// Writes the fuzzers' seed corpus: valid images of every accepted kind and one
// file for each way the loader refuses a file.   Usage: make_seeds <directory>
#include <cstdio>
#include <string>
#include <vector>

#include "imagekit/tga_writer.h"

namespace {

using Bytes = std::vector<uint8_t>;

bool save(const std::string& path, const Bytes& bytes)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

// A small image with a gradient, so that the byte exchange shows.
imagekit::Image gradient(int width, int height)
{
    imagekit::Image image(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* pixel = image.at(x, y);
            pixel[0] = static_cast<uint8_t>(x * 40);
            pixel[1] = static_cast<uint8_t>(y * 40);
            pixel[2] = static_cast<uint8_t>(x * y);
            pixel[3] = static_cast<uint8_t>(255 - x * 10);
        }
    }
    return image;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds <directory>\n");
        return 2;
    }
    const std::string dir = argv[1];
    const Bytes rgb = imagekit::encodeTGA(gradient(4, 2), 24);
    const Bytes rgba = imagekit::encodeTGA(gradient(3, 3), 32);
    Bytes odd = imagekit::encodeTGA(gradient(3, 2), 24);
    Bytes topLeft = rgba;
    topLeft[17] = 0x28;
    Bytes footer = rgb;
    footer.insert(footer.end(), {0, 0, 0, 0, 0, 0, 0, 0, 'T', 'R', 'U', 'E', 'V', 'I', 'S', 'I', 'O', 'N', '-', 'X',
                                 'F', 'I', 'L', 'E', '.', 0});
    Bytes rle = rgb;
    rle[2] = 10;
    Bytes mapped = rgb;
    mapped[1] = 1;
    Bytes withId = rgb;
    withId[0] = 3;
    Bytes origin = rgb;
    origin[10] = 5;
    Bytes sixteen = rgb;
    sixteen[16] = 16;
    Bytes zeroWidth = rgb;
    zeroWidth[12] = zeroWidth[13] = 0;
    Bytes shortPixels = rgba;
    shortPixels.pop_back();
    Bytes huge = rgba;
    huge[12] = huge[13] = huge[14] = huge[15] = 0xFF;
    const Bytes shortHeader(rgb.begin(), rgb.begin() + 7);
    const Bytes shortSpec(rgb.begin(), rgb.begin() + 15);

    bool ok = true;
    ok &= save(dir + "/rgb.tga", rgb);
    ok &= save(dir + "/rgba.tga", rgba);
    ok &= save(dir + "/odd-row.tga", odd);
    ok &= save(dir + "/top-left.tga", topLeft);
    ok &= save(dir + "/footer.tga", footer);
    ok &= save(dir + "/rle.tga", rle);
    ok &= save(dir + "/colour-mapped.tga", mapped);
    ok &= save(dir + "/image-id.tga", withId);
    ok &= save(dir + "/origin.tga", origin);
    ok &= save(dir + "/sixteen-bit.tga", sixteen);
    ok &= save(dir + "/zero-width.tga", zeroWidth);
    ok &= save(dir + "/short-pixels.tga", shortPixels);
    ok &= save(dir + "/huge-claim.tga", huge);
    ok &= save(dir + "/short-header.tga", shortHeader);
    ok &= save(dir + "/short-spec.tga", shortSpec);
    return ok ? 0 : 1;
}
