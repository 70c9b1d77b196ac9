// The shared random sequence and the frame timer, on a clock set by hand.
#include <gtest/gtest.h>

#include <cstdint>

#include "app/frame_timer.h"
#include "shared/random.h"
#include "support/fake_clock.h"
#include "sync/show_state.h"

namespace {

// The first values of the sequence from state 1: the classic C library generator.
constexpr int FIRST_VALUES[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};

TEST(Random, StaticInitialisationDrawsTickRandomFirst)
{
    // Before main, tickRandom took the sequence's first value and nothing else drew.
    EXPECT_EQ(show.tickRandom, FIRST_VALUES[0]);
    EXPECT_EQ(k3l::randState, 1u * 214013u + 2531011u);
}

TEST(Random, SequenceFromTheInitialState)
{
    const uint32_t saved = k3l::randState;
    k3l::randState = 1;
    for (const int expected : FIRST_VALUES) {
        EXPECT_EQ(k3l::rand(), expected);
    }
    k3l::randState = saved;
}

TEST(Random, StaysWithinFifteenBitsAcrossTheStateWrap)
{
    const uint32_t saved = k3l::randState;
    k3l::randState = 0xFFFFFFF0u;
    for (int i = 0; i < 100000; ++i) {
        const int value = k3l::rand();
        ASSERT_GE(value, 0);
        ASSERT_LE(value, 32767);
    }
    k3l::randState = saved;
}

class FrameTimerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fakeClock = FakeClock{};
        timer = FrameTimer{};
    }
    FrameTimer timer;
};

TEST_F(FrameTimerTest, ConstructionChoosesTheCounterAndNothingElse)
{
    EXPECT_EQ(timer.useCounter, 1);
    EXPECT_EQ(timer.startCount, 0);
    EXPECT_EQ(timer.secondsPerCount, 0.0f);
    // The show's own timer is built the same way before main.
    EXPECT_EQ(frameTimer.useCounter, 1);
}

TEST_F(FrameTimerTest, ReadsNearZeroRightAfterReset)
{
    fakeClock.frequency = 1000000000;
    fakeClock.counter = 123456789;
    timer.init();
    fakeClock.counter += 5000000;
    timer.reset();
    EXPECT_NEAR(timer.elapsedMs(), 0.0, 1e-9);
    fakeClock.counter += 1500000;
    EXPECT_NEAR(timer.elapsedMs(), 1.5, 1e-6);
}

TEST_F(FrameTimerTest, FloatPeriodRoundsFiftyFiveThousandMicrosecondsBelowFiftyFive)
{
    fakeClock.frequency = 1000000;
    fakeClock.counter = 0;
    timer.init();
    EXPECT_EQ(timer.secondsPerCount, static_cast<float>(1.0 / 1000000.0));
    EXPECT_LT(timer.secondsPerCount, 1.0e-6);

    fakeClock.counter = 55000;
    EXPECT_LT(timer.elapsedMs(), 55.0);
    EXPECT_GT(timer.elapsedMs(), 54.9999);
    fakeClock.counter = 55001;
    EXPECT_GT(timer.elapsedMs(), 55.0);
}

TEST_F(FrameTimerTest, CounterReadingBelowTheStartIsNegative)
{
    fakeClock.counter = 1000;
    timer.init();
    fakeClock.counter = 400;
    EXPECT_LT(timer.elapsedMs(), 0.0);
}

TEST_F(FrameTimerTest, FallsBackToTheTickCountForGood)
{
    fakeClock.hasCounter = false;
    fakeClock.tickCount = 5000;
    timer.init();
    EXPECT_EQ(timer.useCounter, 0);
    EXPECT_EQ(timer.startCount, 5000);

    fakeClock.tickCount = 5055;
    EXPECT_EQ(timer.elapsedMs(), 55.0);

    // A counter appearing later does not bring the counter mode back.
    fakeClock.hasCounter = true;
    fakeClock.counter = 999999;
    timer.reset();
    EXPECT_EQ(timer.useCounter, 0);
    EXPECT_EQ(timer.startCount, 5055);
}

TEST_F(FrameTimerTest, TickCountDifferenceSurvivesTheWrap)
{
    fakeClock.hasCounter = false;
    fakeClock.tickCount = 4294967290u;  // six below 2^32
    timer.init();
    fakeClock.tickCount = 60;
    EXPECT_EQ(timer.elapsedMs(), 66.0);
}

}  // namespace
