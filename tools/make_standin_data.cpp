// Writes plain stand-in images for the show into a directory: seventeen simple
// pictures. (The music is written by tools/music/compose_music.)
// Usage: make_standin_data <directory>
#include <cmath>
#include <cstdio>
#include <string>

#include "imagekit/tga_writer.h"

namespace {

struct Colour {
    uint8_t r, g, b, a;
};

// A framed card: a border of one colour around a field of another, with a diagonal stripe.
imagekit::Image card(int size, Colour field, Colour border)
{
    imagekit::Image image(size, size);
    const int edge = size / 16 + 1;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const bool onBorder = x < edge || y < edge || x >= size - edge || y >= size - edge;
            const bool onStripe = std::abs(x - y) < edge;
            const Colour c = onBorder || onStripe ? border : field;
            uint8_t* pixel = image.at(x, y);
            pixel[0] = c.r;
            pixel[1] = c.g;
            pixel[2] = c.b;
            pixel[3] = c.a;
        }
    }
    return image;
}

// A background with a transparent window over the given rectangle (fractions of the size).
imagekit::Image backdrop(int size, Colour field, double x0, double y0, double x1, double y1)
{
    imagekit::Image image = card(size, field, Colour{255, 255, 255, 255});
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const double u = (x + 0.5) / size;
            const double v = (y + 0.5) / size;
            if (u >= x0 && u <= x1 && v >= y0 && v <= y1) {
                image.at(x, y)[3] = 0;
            }
        }
    }
    return image;
}

// Mostly transparent horizontal streaks.
imagekit::Image band(int size, Colour streak)
{
    imagekit::Image image(size, size);
    for (int y = 0; y < size; ++y) {
        const bool lit = (y * 7919) % 23 == 0;
        for (int x = 0; x < size; ++x) {
            uint8_t* pixel = image.at(x, y);
            pixel[0] = streak.r;
            pixel[1] = streak.g;
            pixel[2] = streak.b;
            pixel[3] = lit ? static_cast<uint8_t>(40 + (x * 13) % 60) : 0;
        }
    }
    return image;
}

// A soft round dot, opaque at the centre.
imagekit::Image dot(int size)
{
    imagekit::Image image(size, size);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const double dx = (x + 0.5) / size - 0.5;
            const double dy = (y + 0.5) / size - 0.5;
            const double fall = std::max(0.0, 1.0 - std::sqrt(dx * dx + dy * dy) * 2.0);
            uint8_t* pixel = image.at(x, y);
            pixel[0] = pixel[1] = pixel[2] = 255;
            pixel[3] = static_cast<uint8_t>(255.0 * fall * fall);
        }
    }
    return image;
}

bool writeImages(const std::string& dir)
{
    const Colour ink{20, 20, 30, 255};
    bool ok = true;
    ok &= imagekit::saveTGA(backdrop(512, Colour{90, 40, 60, 255}, 0.05, 0.0, 0.9, 1.0), 32, dir + "/afraid512.tga");
    ok &= imagekit::saveTGA(card(64, Colour{200, 60, 60, 255}, ink), 32, dir + "/afraid64.tga");
    ok &= imagekit::saveTGA(band(128, Colour{200, 200, 200, 0}), 32, dir + "/noise.tga");
    ok &= imagekit::saveTGA(card(128, Colour{230, 230, 230, 255}, ink), 32, dir + "/credits.tga");
    ok &= imagekit::saveTGA(band(128, Colour{120, 160, 220, 0}), 32, dir + "/noiseliscio.tga");
    ok &= imagekit::saveTGA(backdrop(512, Colour{40, 70, 110, 255}, 0.5, 0.0, 0.8, 0.7), 32, dir + "/confidence512.tga");
    ok &= imagekit::saveTGA(card(64, Colour{60, 120, 200, 255}, ink), 32, dir + "/confidence.tga");
    ok &= imagekit::saveTGA(card(64, Colour{128, 128, 128, 255}, ink), 24, dir + "/schizzi.tga");
    ok &= imagekit::saveTGA(dot(32), 32, dir + "/sprite.tga");
    ok &= imagekit::saveTGA(card(64, Colour{220, 160, 40, 255}, ink), 24, dir + "/scoramento.tga");
    ok &= imagekit::saveTGA(card(64, Colour{240, 200, 120, 255}, ink), 32, dir + "/gatto.tga");
    ok &= imagekit::saveTGA(card(128, Colour{240, 240, 200, 255}, ink), 24, dir + "/wisdom.tga");
    ok &= imagekit::saveTGA(card(64, Colour{200, 240, 120, 255}, ink), 32, dir + "/wisdom64.tga");
    ok &= imagekit::saveTGA(card(64, Colour{250, 80, 200, 255}, ink), 32, dir + "/vs.tga");
    ok &= imagekit::saveTGA(card(64, Colour{120, 200, 240, 255}, ink), 32, dir + "/uncertainty64.tga");
    ok &= imagekit::saveTGA(card(128, Colour{255, 140, 0, 255}, Colour{0, 0, 0, 255}), 24, dir + "/brave.tga");
    ok &= imagekit::saveTGA(card(128, Colour{250, 250, 250, 255}, ink), 32, dir + "/creditifinali.tga");
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_standin_data <directory>\n");
        return 2;
    }
    const std::string dir = argv[1];
    const bool ok = writeImages(dir);
    if (!ok) {
        std::fprintf(stderr, "make_standin_data: cannot write into %s\n", dir.c_str());
        return 1;
    }
    return 0;
}
