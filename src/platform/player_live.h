#pragma once
// What the live player's output is doing, for tests and tools. The show itself uses only
// platform/fmod.h.
#include <cstdint>

enum PlayerOutput {
    PLAYER_OUTPUT_NONE,    // the sound system is not started
    PLAYER_OUTPUT_DEVICE,  // an audio device, through PortAudio
    PLAYER_OUTPUT_SILENT,  // no device plays: the music is consumed in silence, in real time
};

// The output playing the song now.
PlayerOutput playerOutput();

// The audio device's output latency as opened, in milliseconds; 0 while no device plays.
double playerDeviceLatencyMs();

// How the audio device came and went since the sound system started.
struct PlayerChanges {
    int64_t losses;         // devices given up for lost
    int64_t lostAtNs;       // monotonic nanoseconds of the last buffer the first lost device asked for
    int64_t takenOverAtNs;  // monotonic nanoseconds when the silent output had taken over from it
    int64_t reopens;        // devices opened again after a loss or a start without one
    int64_t takenBackAtNs;  // monotonic nanoseconds when the last device opened again took the song over; 0 if none did
};
PlayerChanges playerChanges();
