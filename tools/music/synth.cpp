#include "synth.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace music {

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr double PEAK = 0.95;  // fraction of 16-bit full scale a sample is normalised to

// White noise from a 32-bit xorshift generator: the same numbers on every build.
struct Noise {
    uint32_t state = 0x9E3779B9u;
};

// The next noise value, -1..1.
double nextNoise(Noise& noise)
{
    uint32_t x = noise.state;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    noise.state = x;
    return static_cast<double>(x) / 2147483648.0 - 1.0;
}

// A second-order filter section (direct form I) with its memory.
struct Biquad {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
};

enum class Response { LOW_PASS, HIGH_PASS, BAND_PASS };

// Sets a biquad to a low-pass, high-pass or band-pass response (the audio cookbook's formulas), keeping its memory.
void tune(Biquad& f, Response response, double hz, double q)
{
    const double w = 2.0 * PI * std::min(hz, RATE * 0.45) / RATE;
    const double alpha = std::sin(w) / (2.0 * q);
    const double c = std::cos(w);
    double b0 = 0, b1 = 0, b2 = 0;
    switch (response) {
    case Response::LOW_PASS: b0 = (1 - c) / 2; b1 = 1 - c; b2 = (1 - c) / 2; break;
    case Response::HIGH_PASS: b0 = (1 + c) / 2; b1 = -(1 + c); b2 = (1 + c) / 2; break;
    case Response::BAND_PASS: b0 = alpha; b1 = 0; b2 = -alpha; break;
    }
    const double a0 = 1 + alpha;
    f.b0 = b0 / a0;
    f.b1 = b1 / a0;
    f.b2 = b2 / a0;
    f.a1 = -2 * c / a0;
    f.a2 = (1 - alpha) / a0;
}

// Runs one value through a biquad.
double run(Biquad& f, double x)
{
    const double y = f.b0 * x + f.b1 * f.x1 + f.b2 * f.x2 - f.a1 * f.y1 - f.a2 * f.y2;
    f.x2 = f.x1;
    f.x1 = x;
    f.y2 = f.y1;
    f.y1 = y;
    return y;
}

// A biquad already tuned.
Biquad filter(Response response, double hz, double q)
{
    Biquad f;
    tune(f, response, hz, q);
    return f;
}

// Magnitude of a low-pass of the given order at frequency hz with corner cornerHz.
double lowPassGain(double hz, double cornerHz, int order)
{
    return 1.0 / std::sqrt(1.0 + std::pow(hz / cornerHz, 2.0 * order));
}

// Fades the first `frames` of a signal in along a half cosine.
void fadeHead(std::vector<double>& signal, int frames)
{
    const int n = std::min<int>(frames, static_cast<int>(signal.size()));
    for (int i = 0; i < n; ++i) {
        signal[i] *= 0.5 - 0.5 * std::cos(PI * i / frames);
    }
}

// Fades the last `frames` of a signal out along a half cosine, ending at exact zero.
void fadeTail(std::vector<double>& signal, int frames)
{
    const int size = static_cast<int>(signal.size());
    const int n = std::min(frames, size);
    for (int i = 0; i < n; ++i) {
        const int at = size - 1 - i;
        signal[at] *= 0.5 - 0.5 * std::cos(PI * i / frames);
    }
}

// The signal as a 16-bit sample whose peak is PEAK of full scale.
itw::Sample toSample(const std::string& name, const std::vector<double>& signal)
{
    double peak = 1e-9;
    for (const double v : signal) {
        peak = std::max(peak, std::fabs(v));
    }
    itw::Sample sample;
    sample.name = name;
    sample.frames.reserve(signal.size());
    for (const double v : signal) {
        sample.frames.push_back(static_cast<int16_t>(std::lround(v / peak * PEAK * 32767.0)));
    }
    return sample;
}

// Seconds of frame i.
double seconds(int i) { return static_cast<double>(i) / RATE; }

// Kick: a sine swept down from a click to 46 Hz, held briefly and decayed, softly saturated.
Instrument kick()
{
    const int length = RATE * 42 / 100;  // 0.42 s
    std::vector<double> out(length);
    Noise noise;
    Biquad clickTone = filter(Response::LOW_PASS, 3000.0, 0.7);
    double phase = 0.0;
    for (int i = 0; i < length; ++i) {
        const double t = seconds(i);
        const double hz = 46.0 + 115.0 * std::exp(-t / 0.03) + 260.0 * std::exp(-t / 0.0035);
        phase += 2.0 * PI * hz / RATE;
        const double body = t < 0.05 ? 1.0 : std::exp(-(t - 0.05) / 0.13);
        const double click = run(clickTone, nextNoise(noise)) * std::exp(-t / 0.0025) * 0.35;
        out[i] = std::tanh(1.6 * (std::sin(phase) * body + click)) / std::tanh(1.6);
    }
    fadeHead(out, RATE * 3 / 10000);
    fadeTail(out, RATE * 15 / 1000);
    return {toSample("kick", out), 0.0};
}

// Snare: two tuned membranes under a band of noise.
Instrument snare()
{
    const int length = RATE * 32 / 100;  // 0.32 s
    std::vector<double> out(length);
    Noise noise{0x1234567u};
    Biquad low = filter(Response::HIGH_PASS, 900.0, 0.7);
    Biquad high = filter(Response::LOW_PASS, 9000.0, 0.7);
    for (int i = 0; i < length; ++i) {
        const double t = seconds(i);
        const double tone = 0.6 * std::sin(2 * PI * 185.0 * t) * std::exp(-t / 0.05) +
                            0.35 * std::sin(2 * PI * 330.0 * t) * std::exp(-t / 0.03);
        const double hiss = run(high, run(low, nextNoise(noise))) * std::exp(-t / 0.1);
        out[i] = std::tanh(1.3 * (tone + 0.9 * hiss));
    }
    fadeHead(out, RATE / 2000);
    fadeTail(out, RATE * 20 / 1000);
    return {toSample("snare", out), 0.0};
}

// Clap: three quick bursts of band-passed noise and a short room tail.
Instrument clap()
{
    const int length = RATE * 40 / 100;  // 0.4 s
    std::vector<double> out(length);
    Noise noise{0xBADC0DEu};
    Biquad band = filter(Response::BAND_PASS, 1300.0, 1.1);
    Biquad air = filter(Response::HIGH_PASS, 500.0, 0.7);
    const double bursts[3] = {0.0, 0.011, 0.023};  // s
    for (int i = 0; i < length; ++i) {
        const double t = seconds(i);
        double envelope = 0.0;
        for (const double start : bursts) {
            if (t >= start) {
                envelope += std::exp(-(t - start) / 0.0055);
            }
        }
        if (t >= 0.03) {
            envelope += 0.75 * std::exp(-(t - 0.03) / 0.11) * std::min(1.0, (t - 0.03) / 0.004);
        }
        out[i] = run(air, run(band, nextNoise(noise))) * envelope;
    }
    fadeHead(out, RATE / 4000);
    fadeTail(out, RATE * 30 / 1000);
    return {toSample("clap", out), 0.0};
}

// Metal for the cymbals: six square waves at unrelated pitches plus noise, high-passed twice.
std::vector<double> metal(int length, double decaySeconds, uint32_t seed, double cornerHz)
{
    static const double pitches[6] = {263.0, 400.0, 421.0, 474.0, 587.0, 845.0};  // Hz
    std::vector<double> out(length);
    Noise noise{seed};
    Biquad first = filter(Response::HIGH_PASS, cornerHz, 0.7);
    Biquad second = filter(Response::HIGH_PASS, cornerHz, 0.7);
    for (int i = 0; i < length; ++i) {
        const double t = seconds(i);
        double squares = 0.0;
        for (const double hz : pitches) {
            squares += std::fmod(t * hz * 2.7, 1.0) < 0.5 ? 1.0 : -1.0;
        }
        const double raw = squares / 6.0 * 0.6 + nextNoise(noise) * 0.7;
        out[i] = run(second, run(first, raw)) * std::exp(-t / decaySeconds);
    }
    fadeHead(out, RATE / 4000);
    return out;
}

// Closed hi-hat: a very short burst of metal.
Instrument hat()
{
    std::vector<double> out = metal(RATE * 12 / 100, 0.022, 0x51u, 7000.0);
    fadeTail(out, RATE * 20 / 1000);
    return {toSample("hat", out), 0.0};
}

// Open hi-hat: the same metal left ringing.
Instrument openHat()
{
    std::vector<double> out = metal(RATE * 60 / 100, 0.15, 0x77u, 6500.0);
    fadeTail(out, RATE * 80 / 1000);
    return {toSample("open hat", out), 0.0};
}

// Crash: bright metal with a long decay, for the starts of sections.
Instrument crash()
{
    std::vector<double> out = metal(RATE * 22 / 10, 0.55, 0xC0FFEEu, 3500.0);
    fadeTail(out, RATE / 5);
    return {toSample("crash", out), 0.0};
}

// Riser: noise through a band that sweeps up over two bars at 125 BPM while it swells.
Instrument riser()
{
    const int length = RATE * 384 / 100;  // 3.84 s: two bars of 1.92 s
    std::vector<double> out(length);
    Noise noise{0x5EEDu};
    Biquad band;
    for (int i = 0; i < length; ++i) {
        const double x = static_cast<double>(i) / length;
        if (i % 32 == 0) {
            tune(band, Response::BAND_PASS, 350.0 * std::pow(9000.0 / 350.0, x), 2.2);
        }
        out[i] = run(band, nextNoise(noise)) * x * x;
    }
    fadeTail(out, RATE * 40 / 1000);
    return {toSample("riser", out), 0.0};
}

// Bass: a low-passed saw with a sine under it, brighter for its first 0.1 s.
// Recorded at 44100 / 200 = 220.5 Hz so that 200 frames hold one whole cycle.
Instrument bass()
{
    const int period = 200;                // frames per cycle
    const int attack = 22 * period;        // frames in which the tone darkens (0.1 s)
    const int loopCycles = 22;             // cycles in the loop
    const int length = attack + loopCycles * period;
    const int harmonics = 90;              // 90 × 220.5 Hz stays under 20 kHz
    const double steadyCorner = 7.0;       // harmonic number of the filter corner once settled
    std::vector<double> out(length);
    for (int i = 0; i < length; ++i) {
        const double fall = i < attack ? std::pow(1.0 - static_cast<double>(i) / attack, 3.0) : 0.0;
        const double corner = steadyCorner + 22.0 * fall;
        const double cycle = 2.0 * PI * (i % period) / period;
        double v = 0.55 * std::sin(cycle);
        for (int k = 1; k <= harmonics; ++k) {
            v += std::sin(k * cycle) / k * lowPassGain(k, corner, 2);
        }
        out[i] = std::tanh(1.2 * v);
    }
    fadeHead(out, 24);
    Instrument instrument{toSample("bass", out), static_cast<double>(RATE) / period};
    instrument.sample.loop = true;
    instrument.sample.loopBegin = attack;
    instrument.sample.loopEnd = length;
    return instrument;
}

// sin(2π·cycles/perLoop) for a phase counted in whole steps: exact, so loops repeat bit for bit.
double exactSine(int64_t steps, int64_t perCycle)
{
    return std::sin(2.0 * PI * static_cast<double>(steps % perCycle) / static_cast<double>(perCycle));
}

// Pad: five saws around 220 Hz, 0.5 Hz apart, and a soft sine an octave below, slowly swelling.
// Every partial is a whole number of half-hertz, so the 2 s loop holds whole cycles of all.
// The partials start at scattered phases: the same spectrum with far lower peaks.
Instrument pad()
{
    const int loopFrames = 2 * RATE;            // 2 s
    const int loopBegin = RATE / 2;             // 0.5 s, after the swell
    const int length = loopBegin + loopFrames;
    const int halfHz[5] = {438, 439, 440, 441, 442};  // voice pitches in half-hertz
    const int harmonics = 45;                   // 45 × 221 Hz ≈ 10 kHz
    const int64_t perCycle = 2LL * RATE;        // phase steps per cycle when counting in half-hertz
    std::vector<double> out(length, 0.0);
    Noise scatter{0xFACADEu};
    for (int v = 0; v < 5; ++v) {
        for (int k = 1; k <= harmonics; ++k) {
            const double gain = (1.0 / k) * lowPassGain(k * halfHz[v] / 2.0, 2200.0, 1) / 5.0;
            const int64_t step = static_cast<int64_t>(halfHz[v]) * k;
            const int64_t offset = static_cast<int64_t>((nextNoise(scatter) + 1.0) * 0.5 * perCycle);  // phase steps
            for (int i = 0; i < length; ++i) {
                out[i] += gain * exactSine(step * i + offset, perCycle);
            }
        }
    }
    for (int i = 0; i < length; ++i) {
        out[i] += 0.3 * exactSine(110LL * 2 * i, perCycle);
    }
    const int swell = RATE * 35 / 100;  // 0.35 s
    for (int i = 0; i < swell; ++i) {
        out[i] *= 0.5 - 0.5 * std::cos(PI * i / swell);
    }
    Instrument instrument{toSample("pad", out), 220.0};
    instrument.sample.loop = true;
    instrument.sample.loopBegin = loopBegin;
    instrument.sample.loopEnd = length;
    return instrument;
}

// Lead: two saws at 440 and 441 Hz and a square at 440 Hz, low-passed, with a brighter onset.
// Whole hertz each, so the 1 s loop holds whole cycles of every partial. The partials of the
// second saw start at scattered phases, which keeps the peaks down as the two drift.
Instrument lead()
{
    const int loopBegin = RATE / 4;   // 0.25 s
    const int length = loopBegin + RATE;
    const int attack = RATE * 8 / 100;  // frames of the brighter onset (80 ms)
    const int harmonics = 20;           // 20 × 441 Hz: stays under 22 kHz played up to C-6
    std::vector<double> out(length, 0.0);
    Noise scatter{0x1EADu};
    std::vector<int64_t> offsets(harmonics + 1);  // phase steps of the second saw's partials
    for (int64_t& offset : offsets) {
        offset = static_cast<int64_t>((nextNoise(scatter) + 1.0) * 0.5 * RATE);
    }
    for (int i = 0; i < length; ++i) {
        const double fall = i < attack ? std::pow(1.0 - static_cast<double>(i) / attack, 2.0) : 0.0;
        const double corner = 2600.0 + 4000.0 * fall;
        double v = 0.0;
        for (int k = 1; k <= harmonics; ++k) {
            const double sawA = exactSine(440LL * k * i, RATE);
            const double sawB = exactSine(441LL * k * i + offsets[static_cast<size_t>(k)], RATE);
            const double square = (k % 2 == 1) ? exactSine(440LL * k * i, RATE) : 0.0;
            v += (0.5 * (sawA + sawB) + 0.45 * square) / k * lowPassGain(440.0 * k, corner, 2);
        }
        out[i] = v;
    }
    fadeHead(out, RATE * 3 / 1000);
    Instrument instrument{toSample("lead", out), 440.0};
    instrument.sample.loop = true;
    instrument.sample.loopBegin = loopBegin;
    instrument.sample.loopEnd = length;
    return instrument;
}

// Bell: two-operator FM at a 1:2 ratio whose brightness falls away, with an inharmonic shimmer.
Instrument bell()
{
    const int length = RATE * 18 / 10;  // 1.8 s
    const double hz = 440.0;
    std::vector<double> out(length);
    for (int i = 0; i < length; ++i) {
        const double t = seconds(i);
        const double index = 0.4 + 2.2 * std::exp(-t / 0.2);
        const double body = std::sin(2 * PI * hz * t + index * std::sin(2 * PI * 2 * hz * t));
        const double shimmer = std::sin(2 * PI * hz * t + 1.2 * std::sin(2 * PI * 3.5 * hz * t)) * std::exp(-t / 0.08);
        out[i] = (body + 0.35 * shimmer) * std::exp(-t / 0.65);
    }
    fadeHead(out, RATE * 15 / 10000);
    fadeTail(out, RATE * 50 / 1000);
    return {toSample("bell", out), hz};
}

// Pluck: a saw whose low-pass closes quickly, decaying like a plucked string.
Instrument pluck()
{
    const int period = 100;             // frames per cycle: 441 Hz
    const int length = RATE * 6 / 10;   // 0.6 s
    const int harmonics = 25;
    std::vector<double> out(length);
    for (int i = 0; i < length; ++i) {
        const double t = seconds(i);
        const double corner = 350.0 + 5000.0 * std::exp(-t / 0.06);
        const double cycle = 2.0 * PI * (i % period) / period;
        double v = 0.0;
        for (int k = 1; k <= harmonics; ++k) {
            v += std::sin(k * cycle) / k * lowPassGain(441.0 * k, corner, 2);
        }
        out[i] = v * std::exp(-t / 0.2);
    }
    fadeHead(out, RATE / 1000);
    fadeTail(out, RATE * 30 / 1000);
    return {toSample("pluck", out), static_cast<double>(RATE) / period};
}

}  // namespace

uint32_t c5SpeedFor(double recordedHz)
{
    return static_cast<uint32_t>(std::lround(RATE * C5_HZ / recordedHz));
}

std::vector<Instrument> makeInstruments()
{
    std::vector<Instrument> all = {kick(), snare(), clap(), hat(), openHat(), crash(),
                                   riser(), bass(), pad(), lead(), bell(), pluck()};
    for (Instrument& instrument : all) {
        if (instrument.recordedHz > 0.0) {
            instrument.sample.c5Speed = c5SpeedFor(instrument.recordedHz);
        }
    }
    return all;
}

}  // namespace music
