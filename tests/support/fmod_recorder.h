#pragma once
// A module player for unit tests: it plays nothing and writes down, in order,
// every call the show makes, so that the loading and exit sequences can be checked.
#include "platform/fmod.h"

// Each call is also written to the call log (support/call_log.h), with "(song)"
// or "(null)" after the calls that take the module handle.
struct FmodRecorder {
    bool loadSucceeds = true;          // whether FMUSIC_LoadSong returns a handle
    const char* lastLoadPath = nullptr;
    FMUSIC_CALLBACK callback = nullptr;
};

// Written by the recording calls and by tests, read by tests.
extern FmodRecorder fmodRecorder;

// A handle the recorder gives out for a loaded song.
FMUSIC_MODULE* recordedSong();

void resetFmodRecorder();
