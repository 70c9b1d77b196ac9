// The pointer and GLUT's start on Windows. ShowCursor is the system's, which keeps a
// display count per thread (shown while >= 0); freeglut's window creation calls
// ShowCursor(TRUE) itself, which would show a pointer hidden before the window existed.
#include <GL/freeglut.h>

#include <cstdlib>

namespace {

// The calling thread's display count, left as it is (the pointer may hide for an instant, never show).
int displayCount()
{
    const int count = ShowCursor(FALSE) + 1;
    ShowCursor(TRUE);
    return count;
}

}  // namespace

// freeglut reads DISPLAY as the name of a Windows display device; one set for an X server (Wine,
// Cygwin, MSYS2) names none, and freeglut would warn on stderr, so it is removed from this process.
void startGlut(int* argc, char** argv)
{
    _putenv("DISPLAY=");
    glutInit(argc, argv);
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
