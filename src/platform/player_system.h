#pragma once
// What the live player asks of the operating system and its audio stack, one body per
// platform (player_system_linux.cpp, player_system_windows.cpp).
#include <portaudio.h>
#include <semaphore.h>

#include <cstdint>

constexpr int MAX_OUTPUT_DEVICES = 2;  // devices a platform offers to try, best first

// Readies the system for the player's threads and keeps the audio libraries off the console.
void prepareAudioSystem();

// Undoes prepareAudioSystem and frees what the audio libraries cache, once the device is closed.
void releaseAudioSystem();

// Whether PortAudio may be started and is worth starting: false when the audio stack has no
// device that would ever play (the player then uses its silent output).
bool audioSystemUsable();

// After Pa_Initialize: the output devices to try, best first, in `devices`; returns how many.
int outputDevices(PaDeviceIndex devices[MAX_OUTPUT_DEVICES]);

// Asks for real-time priority for the callback thread of a stream opened on the given host API.
void prioritiseDeviceStream(PaStream* stream, PaHostApiTypeId api);

// Sleeps until `dueNs` on the monotonic clock or until the semaphore is posted (taking the post).
void waitSemaphoreUntil(sem_t* semaphore, int64_t dueNs);
