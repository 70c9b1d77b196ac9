// What a person at the X display would see and do to the show's window:
//   x11_probe pointer WINDOW   moves the pointer over the window's centre and prints "hidden" or
//                              "visible", after the cursor image the X server shows there
//   x11_probe close WINDOW     asks the window to close as a window manager does (a WM_PROTOCOLS
//                              client message carrying WM_DELETE_WINDOW; Xvfb runs none)
//   x11_probe watch WINDOW     until the window is gone, prints a line each time its dominant colour
//                              changes: milliseconds since the start and K (dark), R (red), B (blue)
//                              or O (other)
//   x11_probe edges WINDOW     prints the colours of the pixels in the middle of the screen's left,
//                              right, top and bottom edges, in those letters
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {
constexpr int STEP = 8;           // pixels between two samples, both ways
constexpr double DARK = 40.0;     // mean level (of 255) below which the picture counts as dark
constexpr double DOMINANT = 1.5;  // how many times the other channels a dominant one is
constexpr int PERIOD_MS = 20;     // milliseconds between two looks

// The letter of a mean colour: K (dark), R (red), B (blue) or O (other).
char letterOf(double r, double g, double b)
{
    if (r < DARK && g < DARK && b < DARK) {
        return 'K';
    }
    return r > DOMINANT * g && r > DOMINANT * b ? 'R' : b > DOMINANT * r && b > DOMINANT * g ? 'B' : 'O';
}

// The dominant colour of the window's picture, one letter; '-' once the window is gone.
char dominantColour(Display* display, Window window)
{
    // Only the part on the screen can be read (a full-screen window may reach past its edges).
    XWindowAttributes attributes;
    XWindowAttributes root;
    int x = 0;
    int y = 0;
    Window child;
    XImage* image = nullptr;
    if (XGetWindowAttributes(display, window, &attributes) &&
        XGetWindowAttributes(display, attributes.root, &root) &&
        XTranslateCoordinates(display, window, attributes.root, 0, 0, &x, &y, &child)) {
        const int width = std::min(x + attributes.width, root.width) - std::max(x, 0);
        const int height = std::min(y + attributes.height, root.height) - std::max(y, 0);
        if (width > 0 && height > 0) {
            image = XGetImage(display, window, std::max(-x, 0), std::max(-y, 0), width, height, AllPlanes, ZPixmap);
        }
    }
    if (image == nullptr) {
        return '-';
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
    return letterOf(sum[0] / count, sum[1] / count, sum[2] / count);
}

// Prints the colours the screen shows in the middle of its four edges, whatever window is there.
void edges(Display* display, Window window)
{
    XWindowAttributes root;
    XGetWindowAttributes(display, window, &root);
    XGetWindowAttributes(display, root.root, &root);
    const int xs[] = {0, root.width - 1, root.width / 2, root.width / 2};
    const int ys[] = {root.height / 2, root.height / 2, 0, root.height - 1};
    for (int edge = 0; edge < 4; ++edge) {
        XImage* image = XGetImage(display, root.root, xs[edge], ys[edge], 1, 1, AllPlanes, ZPixmap);
        const unsigned long pixel = XGetPixel(image, 0, 0);
        XDestroyImage(image);
        std::putchar(letterOf((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF));
    }
    std::putchar('\n');
}

// Prints the window's colour changes until it is gone.
void watch(Display* display, Window window)
{
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });  // the window goes away in the end
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
}
}  // namespace

int main(int argc, char** argv)
{
    Display* display = argc == 3 ? XOpenDisplay(nullptr) : nullptr;
    if (display == nullptr) {
        std::fprintf(stderr, "usage: x11_probe pointer|close|watch|edges WINDOW, with an X display\n");
        return 2;
    }
    const Window window = static_cast<Window>(std::strtoul(argv[2], nullptr, 0));
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes)) {
        std::fprintf(stderr, "x11_probe: no such window\n");
        return 2;
    }
    if (std::strcmp(argv[1], "close") == 0) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
        const Status sent = XSendEvent(display, window, False, NoEventMask, &event);
        XCloseDisplay(display);
        return sent ? 0 : 1;
    }
    if (std::strcmp(argv[1], "edges") == 0) {
        edges(display, window);
        XCloseDisplay(display);
        return 0;
    }
    if (std::strcmp(argv[1], "watch") == 0) {
        watch(display, window);
        XCloseDisplay(display);
        return 0;
    }
    XWarpPointer(display, None, window, 0, 0, 0, 0, attributes.width / 2, attributes.height / 2);
    XSync(display, False);
    XFixesCursorImage* image = XFixesGetCursorImage(display);
    bool visible = false;
    for (int i = 0; image != nullptr && i < image->width * image->height; ++i) {
        visible = visible || (image->pixels[i] >> 24) != 0;
    }
    std::printf("%s\n", image == nullptr ? "unknown" : visible ? "visible" : "hidden");
    XFree(image);
    XCloseDisplay(display);
    return image == nullptr ? 2 : 0;
}
