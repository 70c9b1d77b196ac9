#pragma once
#include <cstdint>

// What a test asks of the PortAudio stand-in (pace_device.cpp).

// How the stand-in's stream fails.
enum class DeviceFailure {
    none,    // it plays
    silent,  // it stops asking for buffers, and says nothing
    ended,   // its host fails: the stream ends and calls its finished callback
};

// Whether the next stream asks for one buffer at a time, on time (else in jittery pairs).
void setDeviceSteady(bool steady);

// Makes the next stream jittery for its first `ms` milliseconds and steady after them (-1: as
// setDeviceSteady says).
void setDeviceSettlesAfter(int ms);

// When the stream last started asking for buffers steadily (the monotonic clock's nanoseconds), -1
// if it has not.
int64_t firstSteadyCallNs();

// Makes the open stream fail; the next stream opened plays again.
void failDevice(DeviceFailure how);

// Whether the device is gone: streams then fail to open.
void unplugDevice(bool gone);
