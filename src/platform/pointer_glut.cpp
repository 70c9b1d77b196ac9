#include <GL/freeglut.h>

#include "platform/pointer_count.h"

namespace {
// The show's window, 0 until created: written by createPointerWindow, read by ShowCursor.
int pointerWindow = 0;

void applyPointer()
{
    const int current = glutGetWindow();
    glutSetWindow(pointerWindow);
    glutSetCursor(pointerShown() ? GLUT_CURSOR_INHERIT : GLUT_CURSOR_NONE);
    if (current != 0) {
        glutSetWindow(current);
    }
}
}  // namespace

int ShowCursor(bool visible)
{
    const int count = countPointer(visible);
    if (pointerWindow != 0 && glutGet(GLUT_INIT_STATE)) {
        applyPointer();
    }
    return count;
}

int createPointerWindow(const char* title)
{
    pointerWindow = glutCreateWindow(title);
    applyPointer();
    return pointerWindow;
}
