#pragma once
// The capture's command line, as glutInit receives it.
#include <string>

#include "offline/moments.h"

// What to render and where to put it.
struct CaptureOptions {
    std::string output = "k3lvana.mp4";  // the MP4 file
    int width = 1280;                    // pixels
    int height = 720;                    // pixels
    int fps = 60;                        // video frames per second
    double seconds = 0.0;                // show time to render; 0: until the show ends
    ShowMoment from;                     // first moment written; none: the start
    ShowMoment to;                       // moment the capture stops; none: --seconds or the show's end
    std::string storyboard;              // PNG contact sheet of the show; empty: none
    std::string pngDir;                  // directory for every video frame as PNG; empty: none
    std::string frameLog;                // text file: scene and pixel hash of every frame, audio hash; empty: none
    std::string preset = "superfast";    // x264 preset
    int crf = 20;                        // x264 constant rate factor (0 lossless .. 51)
    bool progress = true;                // progress bar on stderr
    bool help = false;                   // --help was given
};

// The usage text.
const char* captureUsage();

// Reads the options in argv[1..argc-1]; false with a message in `error` on a bad one.
bool parseCaptureOptions(int argc, char** argv, CaptureOptions& options, std::string& error);
