#pragma once
// The capture's progress on stderr (stdout keeps the show's own console text): a
// bar redrawn in place on a terminal, a line every tenth of the way otherwise.
#include <cstdint>
#include <string>

// Starts the wall clock; `expectedSeconds` is the show time the capture should cover (0: unknown).
void startProgress(bool enabled, double expectedSeconds);

// Reports `frames` video frames written, up to `showSeconds` of show time.
void updateProgress(int64_t frames, double showSeconds);

// Ends the bar and says what was written, how long it took and how fast that was.
void endProgress(int64_t frames, double showSeconds, const std::string& output);

// Clears the bar so that a message can be printed on a clean line.
void clearProgress();
