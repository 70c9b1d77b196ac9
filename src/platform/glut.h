#pragma once
// GLUT as the show uses it. Like the Windows GLUT header, which routes
// glutCreateWindow through an entry point of its own, this header routes it
// through createPointerWindow, so that the new window takes the pointer state
// set by ShowCursor before it existed. Each program defines the routed names
// (the live one in this folder, the capture and the studio their own).
#include <GL/freeglut.h>

#ifndef _WIN32
// Shows (true) or hides (false) the mouse pointer over the show's window, now or
// as soon as the window exists; returns the display count (shown while >= 0).
int ShowCursor(bool visible);
#endif
// On Windows freeglut's header brings windows.h (lean, without min and max): ShowCursor is the system's own.

#ifndef __EMSCRIPTEN__
// Starts GLUT as glutInit does, once the program has taken its own options out of the command
// line (the live show: command_line.cpp).
void startGlut(int* argc, char** argv);

#define glutInit startGlut

// Makes the window cover the screen, as glutFullScreen does, where a window manager answers and
// where none does (fullscreen_x11.cpp), unless the command line keeps the show in its window.
void fullScreenWindow();

#define glutFullScreen fullScreenWindow
#endif

// Creates the GLUT window and gives it the pointer state set so far.
int createPointerWindow(const char* title);

#define glutCreateWindow createPointerWindow
