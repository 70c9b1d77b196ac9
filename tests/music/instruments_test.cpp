// The synthesized instruments: seamless loops, silent ends, and pitches in tune.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "synth.h"

namespace {

const std::vector<music::Instrument>& instruments()
{
    static const std::vector<music::Instrument> made = music::makeInstruments();
    return made;
}

// Largest step between neighbouring frames in [begin, end).
int largestStep(const std::vector<int16_t>& frames, size_t begin, size_t end)
{
    int largest = 0;
    for (size_t i = begin + 1; i < end; ++i) {
        largest = std::max(largest, std::abs(frames[i] - frames[i - 1]));
    }
    return largest;
}

// Lag in frames, between lo and hi, at which the frames best match themselves.
int bestPeriod(const std::vector<int16_t>& frames, size_t begin, size_t length, int lo, int hi)
{
    int best = lo;
    double bestScore = -1e300;
    for (int lag = lo; lag <= hi; ++lag) {
        double score = 0.0;
        for (size_t i = begin; i < begin + length; ++i) {
            score += static_cast<double>(frames[i]) * frames[i + static_cast<size_t>(lag)];
        }
        if (score > bestScore) {
            bestScore = score;
            best = lag;
        }
    }
    return best;
}

}  // namespace

TEST(Instruments, ComeInSampleNumberOrderWithNamesAndSound)
{
    ASSERT_EQ(instruments().size(), static_cast<size_t>(music::PLUCK));
    EXPECT_EQ(instruments()[music::KICK - 1].sample.name, "kick");
    EXPECT_EQ(instruments()[music::PAD - 1].sample.name, "pad");
    EXPECT_EQ(instruments()[music::PLUCK - 1].sample.name, "pluck");
    for (const music::Instrument& instrument : instruments()) {
        const auto& frames = instrument.sample.frames;
        ASSERT_FALSE(frames.empty()) << instrument.sample.name;
        int peak = 0;
        for (const int16_t f : frames) peak = std::max(peak, std::abs(static_cast<int>(f)));
        EXPECT_GT(peak, 30000) << instrument.sample.name << " is normalised near full scale";
        EXPECT_LE(peak, 32767) << instrument.sample.name;
    }
}

// A loop seam is a click when the jump from the loop's last frame back to its first is larger
// than any step the waveform takes inside the loop.
TEST(Instruments, LoopsJoinWithoutAJump)
{
    int looped = 0;
    for (const music::Instrument& instrument : instruments()) {
        const itw::Sample& s = instrument.sample;
        if (!s.loop) continue;
        ++looped;
        ASSERT_LT(s.loopBegin, s.loopEnd) << s.name;
        ASSERT_LE(s.loopEnd, s.frames.size()) << s.name;
        const int seam = std::abs(s.frames[s.loopBegin] - s.frames[s.loopEnd - 1]);
        const int inside = largestStep(s.frames, s.loopBegin, s.loopEnd);
        EXPECT_LE(seam, inside) << s.name << ": seam " << seam << " vs largest step " << inside;
        // The loop holds whole cycles: the frames just before it repeat its last frames.
        const size_t length = s.loopEnd - s.loopBegin;
        ASSERT_GE(s.loopBegin, 64u) << s.name << " loops only after its onset";
        for (size_t i = 1; i <= 64; ++i) {
            EXPECT_NEAR(s.frames[s.loopBegin - i], s.frames[s.loopBegin - i + length], 2)
                << s.name << " at " << i << " frames before the loop";
        }
    }
    EXPECT_EQ(looped, 3) << "bass, pad and lead sustain";
}

// A one-shot that stops short of zero clicks when it ends.
TEST(Instruments, OneShotsFadeToSilence)
{
    for (const music::Instrument& instrument : instruments()) {
        const itw::Sample& s = instrument.sample;
        if (s.loop) continue;
        EXPECT_EQ(s.frames.back(), 0) << s.name;
        int tail = 0;
        for (size_t i = s.frames.size() - 32; i < s.frames.size(); ++i) {
            tail = std::max(tail, std::abs(static_cast<int>(s.frames[i])));
        }
        EXPECT_LT(tail, 330) << s.name << " ends within 1% of full scale over its last 32 frames";
        EXPECT_LT(std::abs(static_cast<int>(s.frames.front())), 330) << s.name << " starts near zero";
    }
}

// Played at C-5, every pitched instrument sounds C-5 (within 10 cents).
TEST(Instruments, PitchedInstrumentsSoundC5AtC5)
{
    int pitched = 0;
    for (const music::Instrument& instrument : instruments()) {
        const itw::Sample& s = instrument.sample;
        if (instrument.recordedHz <= 0.0) continue;
        ++pitched;
        const double expectedLag = music::RATE / instrument.recordedHz;
        const int lag = bestPeriod(s.frames, s.frames.size() / 3, 4000, static_cast<int>(expectedLag * 0.8),
                                   static_cast<int>(expectedLag * 1.25));
        const double recorded = static_cast<double>(music::RATE) / lag;
        const double atC5 = recorded * s.c5Speed / music::RATE;
        const double cents = 1200.0 * std::log2(atC5 / music::C5_HZ);
        // Whole-frame lags measure to within half a frame: about 4 cents at 200 frames.
        const double tolerance = 10.0 + 1200.0 * std::log2((lag + 0.5) / lag);
        EXPECT_LT(std::fabs(cents), tolerance) << s.name << " is " << cents << " cents off";
    }
    EXPECT_EQ(pitched, 5) << "bass, pad, lead, bell, pluck";
}
