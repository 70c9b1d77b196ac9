#pragma once
// The show's instruments, synthesized: drums from shaped noise and swept sines,
// melodic voices from additive partials and FM. Every looped voice repeats
// whole cycles of every partial inside its loop, so the loop seam is silent;
// every one-shot fades to zero before its last frame.
#include <string>
#include <vector>

#include "itwriter/itwriter.h"

namespace music {

constexpr int RATE = 44100;              // Hz, the rate every sample is made at
constexpr double C5_HZ = 523.2511306;    // Hz of C-5 (equal temperament, A-4 = 440 Hz)

// Sample numbers in the module: the order of makeInstruments(), 1-based.
enum SampleNumber {
    KICK = 1,
    SNARE,
    CLAP,
    HAT,
    OPEN_HAT,
    CRASH,
    RISER,
    BASS,
    PAD,
    LEAD,
    BELL,
    PLUCK,
};

// A made instrument and the pitch it was recorded at.
struct Instrument {
    itw::Sample sample;
    double recordedHz = 0.0;  // fundamental at the recorded rate; 0 for unpitched drums
};

// All instruments, in SampleNumber order.
std::vector<Instrument> makeInstruments();

// The C-5 speed that makes a sample recorded at recordedHz sound C-5 at C-5.
uint32_t c5SpeedFor(double recordedHz);

}  // namespace music
