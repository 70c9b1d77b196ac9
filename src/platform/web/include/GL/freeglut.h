#pragma once
// The GLUT header the show includes, for the browser: emscripten's GLUT has every
// call the show makes (the standard ones; none of freeglut's own).
#include <GL/glut.h>
