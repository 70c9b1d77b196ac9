// The pointer and full screen on Windows. ShowCursor is the system's, which keeps a
// display count per thread (shown while >= 0); freeglut's window creation calls
// ShowCursor(TRUE) itself, which would show a pointer hidden before the window existed.
#include <GL/freeglut.h>

#include "platform/command_line.h"

namespace {

// The calling thread's display count, left as it is (the pointer may hide for an instant, never show).
int displayCount()
{
    const int count = ShowCursor(FALSE) + 1;
    ShowCursor(TRUE);
    return count;
}

}  // namespace

// Full screen through freeglut, which needs no help on Windows; nothing with --window.
void fullScreenWindow()
{
    if (!keepWindow) {
        glutFullScreen();
    }
}

int createPointerWindow(const char* title)
{
    const int wanted = displayCount();
    const int window = glutCreateWindow(title);
    for (int count = displayCount(); count != wanted;) {
        count = ShowCursor(count < wanted ? TRUE : FALSE);
    }
    return window;
}
