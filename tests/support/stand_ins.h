#pragma once
// The machine as unit tests see it: a clock set by hand, and a module player and
// GLUT calls that only write down what the show asked of them.
#include <cstdint>

#include "platform/fmod.h"

struct FakeClock {
    bool hasCounter = true;       // whether a high-resolution counter exists
    int64_t frequency = 1000000;  // counts per second
    int64_t counter = 0;          // the counter's current value
    uint32_t tickCount = 0;       // milliseconds
};
// Written by the tests, read by the clock calls.
extern FakeClock fakeClock;

// The player's and GLUT's calls in order, each name followed by ';' (the module calls
// with "(song)" or "(null)"): written by the stand-ins, read and cleared by the tests.
extern char callLog[1024];
void clearCallLog();

// How the stand-in player answers: written by the tests, read by the calls.
extern bool loadSucceeds;
// What the show handed the player: written by the calls, read by the tests.
extern const char* loadedPath;
extern FMUSIC_CALLBACK registeredHandler;

// A handle the stand-in player gives out for a loaded song.
FMUSIC_MODULE* recordedSong();

// glutPostRedisplay calls counted: written by the stand-in, read and reset by the tests.
extern int redisplays;
