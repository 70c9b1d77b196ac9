#pragma once
// The live show's command line, read by startGlut (glut.h) before GLUT or the show sees it:
//   --window   the show stays in its 640 x 480 window, never full screen
//   --help     the usage on stdout, status 0
//   --version  "k3lvana VERSION" on stdout, status 0 (the version the releases are named by)
// Anything else, GLUT's own options (-display, -geometry, ...) included, is refused before any
// window opens: a line and the usage on stderr, status 2.

// Whether the show stays in its window: written by startGlut, read by fullScreenWindow.
extern bool keepWindow;
