#pragma once
// GLUT without a window for programs that run the show in virtual time (the capture, the
// studio): the GLUT calls the show makes, over an offscreen OpenGL context, with the show's
// handlers kept for the stepper (stepper.h); and reading a frame back.
#include <cstdint>

// What the show registered and asked for.
struct OfflineGlut {
    void (*display)() = nullptr;                       // written by glutDisplayFunc, called by the stepper
    void (*idle)() = nullptr;                          // written by glutIdleFunc, called by the stepper
    void (*keyboard)(unsigned char, int, int) = nullptr;  // written by glutKeyboardFunc; kept as GLUT would
    bool redisplayRequested = false;  // set by glutPostRedisplay, cleared by the stepper when it draws
    int64_t framesSwapped = 0;        // frames the show finished (glutSwapBuffers), read by the programs
    int windowId = 0;                 // 0 before openOfflineWindow
};

// The one offline GLUT state: written by the GLUT calls and the stepper, read by the stepper and the programs.
extern OfflineGlut offlineGlut;

// Creates the offscreen context at width x height as the show's window; false when none can be had.
bool openOfflineWindow(int width, int height);

// Copies the colour buffer into `bgr` as the encoder takes it: BGR, top row first.
void readFrame(uint8_t* bgr, int width, int height);
