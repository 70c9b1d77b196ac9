// Writes plain stand-in data for the show into a directory: seventeen simple
// images and a short module whose sync track cuts through every scene, fades
// out and ends the show. Usage: make_standin_data <directory>
#include <cmath>
#include <cstdio>
#include <string>

#include "imagekit/tga_writer.h"
#include "itwriter/itwriter.h"

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr int RATE = 44100;  // Hz
constexpr int ROWS = 64;     // rows per pattern
constexpr int SYNC = 3;      // the sync channel

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

// A decaying sine sweep: the kick drum.
itw::Sample kick()
{
    itw::Sample sample;
    sample.name = "kick";
    const int length = RATE / 4;
    double phase = 0.0;
    for (int i = 0; i < length; ++i) {
        const double t = static_cast<double>(i) / RATE;
        phase += 2.0 * PI * (45.0 + 120.0 * std::exp(-t * 30.0)) / RATE;
        const double envelope = std::exp(-t * 9.0) * std::min(1.0, i / 40.0);
        sample.frames.push_back(static_cast<int16_t>(26000.0 * envelope * std::sin(phase)));
    }
    return sample;
}

// Short noise with a fast decay: the hi-hat.
itw::Sample hat()
{
    itw::Sample sample;
    sample.name = "hat";
    const int length = RATE / 20;
    uint32_t state = 12345;
    for (int i = 0; i < length; ++i) {
        state = state * 1664525u + 1013904223u;
        const double white = static_cast<double>(static_cast<int32_t>(state)) / 2147483648.0;
        const double envelope = std::exp(-static_cast<double>(i) / RATE * 60.0) * std::min(1.0, i / 20.0);
        sample.frames.push_back(static_cast<int16_t>(9000.0 * envelope * white));
    }
    return sample;
}

// A looped soft square wave at C-5 (one cycle of 84 frames ≈ 525 Hz at 44.1 kHz).
itw::Sample bass()
{
    itw::Sample sample;
    sample.name = "bass";
    const int cycle = 84;
    const int cycles = 50;
    for (int i = 0; i < cycle * cycles; ++i) {
        const double x = 2.0 * PI * i / cycle;
        const double value = std::sin(x) + std::sin(3.0 * x) / 3.0 + std::sin(5.0 * x) / 5.0;
        sample.frames.push_back(static_cast<int16_t>(9000.0 * value));
    }
    sample.loop = true;
    sample.loopBegin = 0;
    sample.loopEnd = cycle * cycles;
    sample.c5Speed = static_cast<uint32_t>(RATE * 523.251 / (RATE / static_cast<double>(cycle)));
    return sample;
}

void beat(itw::Pattern& pattern, int patternIndex)
{
    static const int bassLine[4] = {36, 36, 43, 41};  // C, C, G, F in octave 3
    for (int row = 0; row < ROWS; ++row) {
        if (row % 8 == 0 || (patternIndex >= 2 && row % 8 == 6)) {
            pattern.at(row, 0) = itw::Cell{itw::C5, 1, 64, 0, 0};
        }
        if (row % 4 == 2 && patternIndex >= 1) {
            pattern.at(row, 1) = itw::Cell{itw::C5, 2, 48, 0, 0};
        }
        if (row % 16 == 0) {
            pattern.at(row, 2) = itw::Cell{bassLine[(row / 16) % 4], 3, 40, 0, 0};
        }
        if (row % 16 == 12) {
            pattern.at(row, 2) = itw::Cell{itw::NOTE_OFF, 0, itw::VOLUME_NONE, 0, 0};
        }
        if (row % 8 == 0 && patternIndex >= 1 && patternIndex <= 6) {
            pattern.at(row, SYNC) = itw::Cell{itw::NOTE_NONE, 0, itw::VOLUME_NONE, 'Z', 0x0A};
        }
    }
}

void sync(itw::Pattern& pattern, int row, uint8_t event)
{
    pattern.at(row, SYNC) = itw::Cell{itw::NOTE_NONE, 0, itw::VOLUME_NONE, 'Z', event};
}

bool writeModule(const std::string& path)
{
    itw::Module module;
    module.name = "k3lvana stand-in";
    module.channels = 4;
    module.initialSpeed = 6;
    module.initialTempo = 125;
    module.samples = {kick(), hat(), bass()};
    for (int p = 0; p < 8; ++p) {
        itw::Pattern pattern(ROWS, module.channels);
        beat(pattern, p);
        module.patterns.push_back(pattern);
        module.orders.push_back(static_cast<uint8_t>(p));
    }
    // Bar lines of 8 rows, 0.96 s each; sync rows avoid the beat pulses on rows % 8 == 0.
    sync(module.patterns[0], 1, 0x00);
    sync(module.patterns[1], 1, 0x01);
    sync(module.patterns[2], 1, 0x02);
    sync(module.patterns[3], 1, 0x03);
    sync(module.patterns[4], 1, 0x04);
    sync(module.patterns[4], 17, 0x0C);
    sync(module.patterns[4], 33, 0x0D);
    sync(module.patterns[4], 49, 0x0C);
    sync(module.patterns[5], 1, 0x05);
    sync(module.patterns[6], 1, 0x06);
    sync(module.patterns[6], 9, 0x0E);
    sync(module.patterns[6], 17, 0x0F);
    sync(module.patterns[6], 25, 0x10);
    sync(module.patterns[6], 33, 0x11);
    sync(module.patterns[7], 9, 0x11);
    sync(module.patterns[7], 57, 0x1B);
    return itw::saveIT(module, path);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_standin_data <directory>\n");
        return 2;
    }
    const std::string dir = argv[1];
    const bool ok = writeImages(dir) && writeModule(dir + "/zelto-07.tga");
    if (!ok) {
        std::fprintf(stderr, "make_standin_data: cannot write into %s\n", dir.c_str());
        return 1;
    }
    return 0;
}
