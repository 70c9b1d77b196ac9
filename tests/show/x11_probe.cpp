// What a person at the X display would see and do to the show's window:
//   x11_probe pointer WINDOW   moves the pointer over the window's centre and prints "hidden" or
//                              "visible", after the cursor image the X server shows there
//   x11_probe close WINDOW     asks the window to close as a window manager does (a WM_PROTOCOLS
//                              client message carrying WM_DELETE_WINDOW; Xvfb runs none)
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    Display* display = argc == 3 ? XOpenDisplay(nullptr) : nullptr;
    if (display == nullptr) {
        std::fprintf(stderr, "usage: x11_probe pointer|close WINDOW, with an X display\n");
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
