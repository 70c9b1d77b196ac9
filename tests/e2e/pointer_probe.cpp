// Tells whether the mouse pointer is visible over a window: moves the pointer
// to the window's centre and reads the cursor image the X server shows there.
// Usage: pointer_probe <window id>   prints "hidden" or "visible"
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: pointer_probe <window id>\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "pointer_probe: no X display\n");
        return 2;
    }
    const Window window = static_cast<Window>(std::strtoul(argv[1], nullptr, 0));
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes)) {
        std::fprintf(stderr, "pointer_probe: no such window\n");
        return 2;
    }
    XWarpPointer(display, None, window, 0, 0, 0, 0, attributes.width / 2, attributes.height / 2);
    XSync(display, False);
    XFixesCursorImage* image = XFixesGetCursorImage(display);
    if (!image) {
        std::fprintf(stderr, "pointer_probe: no cursor image\n");
        return 2;
    }
    bool visible = false;
    for (int i = 0; i < image->width * image->height; ++i) {
        visible = visible || (image->pixels[i] >> 24) != 0;
    }
    std::printf("%s\n", visible ? "visible" : "hidden");
    XFree(image);
    XCloseDisplay(display);
    return 0;
}
