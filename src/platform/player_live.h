#pragma once
// What the live player chose when the sound system started, for tests and tools.
// The show itself uses only platform/fmod.h.

enum PlayerOutput {
    PLAYER_OUTPUT_NONE,    // the sound system is not started
    PLAYER_OUTPUT_DEVICE,  // an audio device, through PortAudio
    PLAYER_OUTPUT_SILENT,  // no device could be opened: the music is consumed in silence, in real time
};

// The output in use.
PlayerOutput playerOutput();

// The audio device's output latency as opened, in milliseconds; 0 without a device.
double playerDeviceLatencyMs();
