#pragma once
// GLUT as the show uses it. Like the Windows GLUT header, which routes
// glutCreateWindow through an entry point of its own, this header routes it
// through createPointerWindow, so that the new window takes the pointer state
// set by ShowCursor before it existed.
#include <GL/freeglut.h>

#ifdef _WIN32
// freeglut's header brings windows.h (lean, without min and max): ShowCursor is the system's own.

// Starts GLUT as glutInit does, without a DISPLAY variable of a Unix-like environment.
void startGlut(int* argc, char** argv);

#define glutInit startGlut
#else
// Shows (true) or hides (false) the mouse pointer over the show's window, now or
// as soon as the window exists; returns the display count (shown while >= 0).
int ShowCursor(bool visible);
#endif

#if !defined(_WIN32) && !defined(__EMSCRIPTEN__)
// Makes the window cover the screen, as glutFullScreen does where a window manager answers, and
// where none does (fullscreen_x11.cpp).
void fullScreenWindow();

#define glutFullScreen fullScreenWindow
#endif

// Creates the GLUT window and gives it the pointer state set so far.
int createPointerWindow(const char* title);

#define glutCreateWindow createPointerWindow
