#include <GL/freeglut.h>

namespace {
// Windows-style display count: written by ShowCursor, read when a window takes its pointer.
int displayCount = 0;
// The show's window, 0 until created: written by createPointerWindow, read by ShowCursor.
int pointerWindow = 0;

void applyPointer()
{
    const int current = glutGetWindow();
    glutSetWindow(pointerWindow);
    glutSetCursor(displayCount >= 0 ? GLUT_CURSOR_INHERIT : GLUT_CURSOR_NONE);
    if (current != 0) {
        glutSetWindow(current);
    }
}
}  // namespace

int ShowCursor(bool visible)
{
    displayCount += visible ? 1 : -1;
    if (pointerWindow != 0 && glutGet(GLUT_INIT_STATE)) {
        applyPointer();
    }
    return displayCount;
}

int createPointerWindow(const char* title)
{
    pointerWindow = glutCreateWindow(title);
    applyPointer();
    return pointerWindow;
}
