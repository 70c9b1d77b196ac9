#pragma once
// GLUT calls of the show for test programs without a window: each call is
// counted instead of reaching a window system.

// Calls counted since the program started or since resetGlutStub.
struct GlutStubCounts {
    int postRedisplay = 0;
    int swapBuffers = 0;
    int fullScreen = 0;
    int pointerDisplayCount = 0;  // ShowCursor's running count
};

// Written by the stubbed calls, read and reset by the tests.
extern GlutStubCounts glutStub;

void resetGlutStub();
