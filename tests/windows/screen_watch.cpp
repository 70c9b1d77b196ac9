// Watches what a window shows, until it is gone, and prints a line each time its dominant
// colour changes: milliseconds since the start and K (dark), R (red), B (blue) or O (other).
// Usage: screen_watch <window id>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {
constexpr int STEP = 8;           // pixels between two samples, both ways
constexpr double DARK = 40.0;     // mean level (of 255) below which the picture counts as dark
constexpr double DOMINANT = 1.5;  // how many times the other channels a dominant one is
constexpr int PERIOD_MS = 20;     // milliseconds between two looks

// The dominant colour of the window's picture, one letter.
char dominantColour(Display* display, Window window)
{
    XWindowAttributes attributes;
    XImage* image = XGetWindowAttributes(display, window, &attributes)
                        ? XGetImage(display, window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap)
                        : nullptr;
    if (image == nullptr) {
        return '-';  // no such window
    }
    double sum[3] = {0.0, 0.0, 0.0};
    int count = 0;
    for (int y = 0; y < image->height; y += STEP) {
        for (int x = 0; x < image->width; x += STEP, ++count) {
            const unsigned long pixel = XGetPixel(image, x, y);
            sum[0] += (pixel >> 16) & 0xFF;
            sum[1] += (pixel >> 8) & 0xFF;
            sum[2] += pixel & 0xFF;
        }
    }
    XDestroyImage(image);
    const double r = sum[0] / count, g = sum[1] / count, b = sum[2] / count;
    if (r < DARK && g < DARK && b < DARK) {
        return 'K';
    }
    return r > DOMINANT * g && r > DOMINANT * b ? 'R' : b > DOMINANT * r && b > DOMINANT * g ? 'B' : 'O';
}
}  // namespace

int main(int argc, char** argv)
{
    Display* display = argc == 2 ? XOpenDisplay(nullptr) : nullptr;
    if (display == nullptr) {
        std::fprintf(stderr, "usage: screen_watch <window id> (with an X display)\n");
        return 2;
    }
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });  // the window goes away in the end
    const Window window = static_cast<Window>(std::strtoul(argv[1], nullptr, 0));
    const auto start = std::chrono::steady_clock::now();
    char last = 0;
    for (char colour = dominantColour(display, window); colour != '-'; colour = dominantColour(display, window)) {
        if (colour != last) {
            const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
            std::printf("%ld %c\n", static_cast<long>(ms.count()), colour);
            std::fflush(stdout);
            last = colour;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(PERIOD_MS));
    }
    XCloseDisplay(display);
    return 0;
}
