#pragma once
// The storyboard: a grid of small frames, one shortly after every scene cut and a
// few in between, each labelled with its show time and scene.
#include <cstdint>
#include <string>

// Prepares an empty storyboard for frames of the given size; `expectedSeconds` (the
// show time the capture should cover) sets how often a frame is kept between cuts.
void startStoryboard(int frameWidth, int frameHeight, double expectedSeconds);

// Looks at one video frame (BGR, top row first) shown at `seconds` of show time:
// keeps a small copy when it comes shortly after a cut or long enough after the last one kept.
void considerStoryboardFrame(const uint8_t* bgr, double seconds, int scene);

// Keeps this frame when no frame was kept at all (a very short capture).
void closeStoryboard(const uint8_t* bgr, double seconds, int scene);

// Frames kept so far.
int storyboardFrames();

// Writes the grid as a PNG file; false when it cannot be written.
bool writeStoryboard(const std::string& path);
