#pragma once
// Keeps the audio libraries under PortAudio off the console on Linux: libasound's messages and
// libjack's, which PortAudio's device scan provokes when no JACK server runs ("Cannot connect to
// server socket", "jack server is not running", "JackShmReadWritePtr::~JackShmReadWritePtr").
// Called before Pa_Initialize by the live player and by the studio's sound.
void quietAudioLibraries();
