#pragma once
// The studio's sound: the song as the capture hears it, kept whole in memory, played on the
// default audio device from the playhead (PortAudio). The picture follows the same playhead.
#include <cstdint>
#include <vector>

// Takes the song's frames (interleaved stereo float at 44.1 kHz, from its start); the device is
// stopped meanwhile. Opens the device the first time; false when there is none (silence then).
bool setStudioSound(std::vector<float>&& frames);

// Plays from virtual count `count` on, or holds silent when `playing` is false.
void playStudioSound(int64_t count, bool playing);

// Seconds between a frame handed to the device and its being heard; 0 without a device.
double studioSoundLatency();
