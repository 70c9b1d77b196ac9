// Full screen for a GLUT window on X11. freeglut asks a window manager for full screen through
// _NET_WM_STATE; with none to answer (a kiosk started with xinit, an exhibition machine, a bare
// Xvfb) its fallback moves the window by the offset it was opened at, so it lands at (-100, -100)
// with the screen's size. Without a window manager the window is placed over the screen here.
#include <GL/freeglut.h>
#include <GL/glx.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "platform/command_line.h"

#undef glutFullScreen

namespace {

// Whether an X request failed since it was last cleared: written by the error handler, read by
// windowManagerRuns, both on the main thread.
bool requestFailed = false;

// Notes a failed request instead of ending the process (a stale check window).
int noteFailure(Display*, XErrorEvent*)
{
    requestFailed = true;
    return 0;
}

// The window named by a window's _NET_SUPPORTING_WM_CHECK property, None without one.
Window checkWindowOf(Display* display, Window window, Atom check)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long left = 0;
    unsigned char* data = nullptr;
    Window named = None;
    if (XGetWindowProperty(display, window, check, 0, 1, False, XA_WINDOW, &type, &format, &count, &left, &data) ==
            Success &&
        type == XA_WINDOW && format == 32 && count == 1) {
        named = *reinterpret_cast<Window*>(data);
    }
    if (data != nullptr) {
        XFree(data);
    }
    return named;
}

// Whether a window manager that follows the EWMH runs: the root names a check window that names
// itself (a manager that ended leaves the root's property naming a window that is gone).
bool windowManagerRuns(Display* display)
{
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
    if (check == None) {
        return false;
    }
    const Window named = checkWindowOf(display, DefaultRootWindow(display), check);
    if (named == None) {
        return false;
    }
    XSync(display, False);
    requestFailed = false;
    int (*previous)(Display*, XErrorEvent*) = XSetErrorHandler(noteFailure);
    const bool confirmed = checkWindowOf(display, named, check) == named;
    XSync(display, False);
    XSetErrorHandler(previous);
    return confirmed && !requestFailed;
}

}  // namespace

// Makes the current GLUT window cover its screen, with or without a window manager; nothing with --window.
void fullScreenWindow()
{
    if (keepWindow) {
        return;
    }
    Display* display = glXGetCurrentDisplay();
    const GLXDrawable window = glXGetCurrentDrawable();
    if (display == nullptr || window == None || windowManagerRuns(display)) {
        glutFullScreen();
        return;
    }
    Screen* screen = DefaultScreenOfDisplay(display);
    XMoveResizeWindow(display, window, 0, 0, static_cast<unsigned>(WidthOfScreen(screen)),
                      static_cast<unsigned>(HeightOfScreen(screen)));
    XFlush(display);
}
