#pragma once
// The capture as a whole: its options, its output files (written under temporary
// names in their own directories and renamed into place only when complete), and
// how it ends: finished from an exit handler when the show exits, or failed with a
// message, a non-zero status and no file left under an output's name.
#include <cstdint>
#include <string>

#include "capture/options.h"

// Reads the options, checks the data directory, claims the output files under
// temporary names and starts the encoder. Exits with a message on failure (status 2
// for a bad command line, 1 otherwise), or with status 0 after --help.
void startCapture(int argc, char** argv);

// The options in force.
const CaptureOptions& captureOptions();

// Starts the clock of the progress bar and the storyboard, once the show has loaded.
void beginCaptureOutput();

// The virtual count (since the show started) from which frames and music are written: 0 without --from.
int64_t captureFromCount();

// The virtual count where the capture stops by --to, or -1 without it.
int64_t captureToCount();

// Hands one video frame to every output: `index` counts from 0, `count` is its
// virtual count since the show started, `bgr` its pixels (BGR, top row first, in
// the buffer newFrameBuffer handed out last), `fresh` whether they changed since
// the previous frame, `scene` the scene they show.
void outputFrame(int64_t index, int64_t count, const uint8_t* bgr, bool fresh, int scene);

// Says what went wrong, stops the encoder, removes every temporary file and exits with status 1.
[[noreturn]] void failCapture(const std::string& message);

// Whether an interrupt or termination signal arrived.
bool captureInterrupted();
