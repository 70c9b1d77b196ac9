// The sync handler and the animation tick, on a clock set by hand.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "app/demo.h"
#include "app/frame_timer.h"
#include "shared/random.h"
#include "gfx/particles.h"
#include "gfx/rings.h"
#include "support/call_log.h"
#include "support/fake_clock.h"
#include "support/fmod_recorder.h"
#include "support/glut_stub.h"
#include "sync/music.h"
#include "sync/show_state.h"

namespace {

constexpr int64_t COUNTS_PER_SECOND = 1000000;  // a microsecond counter
constexpr int64_t COUNTS_PER_TICK = 55000;       // reads a hair below 55 ms: the float period

// Every field of the show state, copied out for comparison.
struct Snapshot {
    int32_t scene, tick, tickRandom, overlayMode, overlayPhase;
    float pulse;
    uint8_t beatFlash, showVersus, wisdomAlt, spinX, spinY, spinZ, fadeActive, quitRequested, fadeLevel;
    bool operator==(const Snapshot& o) const { return std::memcmp(this, &o, sizeof o) == 0; }
};

Snapshot snapshot()
{
    Snapshot s;
    std::memset(&s, 0, sizeof s);
    s.scene = show.scene;
    s.tick = show.tick;
    s.tickRandom = show.tickRandom;
    s.overlayMode = show.overlayMode;
    s.overlayPhase = show.overlayPhase;
    s.pulse = show.pulse;
    s.beatFlash = show.beatFlash;
    s.showVersus = show.showVersus;
    s.wisdomAlt = show.wisdomAlt;
    s.spinX = show.spinX;
    s.spinY = show.spinY;
    s.spinZ = show.spinZ;
    s.fadeActive = show.fadeActive;
    s.quitRequested = show.quitRequested;
    s.fadeLevel = show.fadeLevel;
    return s;
}

// Puts the show state back to its start, with some non-zero values to notice changes.
void resetShow()
{
    show.scene = 2;
    show.tick = 40;
    show.tickRandom = 1234;
    show.pulse = 0.0f;
    show.beatFlash = 0;
    show.showVersus = 1;
    show.wisdomAlt = 0;
    show.spinX = 1;
    show.spinY = 0;
    show.spinZ = 1;
    show.fadeActive = 0;
    show.quitRequested = 0;
    show.fadeLevel = 0;
    show.overlayMode = 1;
    show.overlayPhase = 3;
}

class ShowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetShow();
        fakeClock = FakeClock{};
        fakeClock.frequency = COUNTS_PER_SECOND;
        frameTimer = FrameTimer{};
        frameTimer.init();
        resetGlutStub();
        clearCallLog();
        initParticles();
    }

    // Moves the clock on and gives the idle handler one call.
    void idleAfter(int64_t counts)
    {
        fakeClock.counter += counts;
        onIdle();
    }

    // Exactly one tick, however long the wait.
    void tickOnce() { idleAfter(COUNTS_PER_TICK + 1); }
};

TEST_F(ShowTest, IgnoredParametersChangeNothing)
{
    for (int parameter = 0; parameter < 256; ++parameter) {
        const bool acted = parameter <= 7 || parameter == 10 || (parameter >= 12 && parameter <= 17) ||
                           parameter == 27;
        if (acted) {
            continue;
        }
        resetShow();
        const Snapshot before = snapshot();
        onSyncEvent(nullptr, static_cast<unsigned char>(parameter));
        EXPECT_TRUE(snapshot() == before) << "parameter " << parameter;
    }
}

TEST_F(ShowTest, CutsToScenesZeroToFourRestartTheTick)
{
    for (unsigned char target = 0; target <= 4; ++target) {
        resetShow();
        onSyncEvent(nullptr, target);
        EXPECT_EQ(show.scene, target);
        EXPECT_EQ(show.tick, 0);
    }
}

TEST_F(ShowTest, CutsToScenesFiveToSevenLetTheTickRunOn)
{
    for (unsigned char target = 5; target <= 7; ++target) {
        resetShow();
        onSyncEvent(nullptr, target);
        EXPECT_EQ(show.scene, target);
        EXPECT_EQ(show.tick, 40);
    }
    resetShow();
    onSyncEvent(nullptr, 6);
    tickOnce();
    EXPECT_EQ(show.tick, 41);
}

TEST_F(ShowTest, EachEventChangesOnlyItsOwnField)
{
    struct Case {
        unsigned char parameter;
        std::atomic<uint8_t>* flag;
    } cases[] = {{12, &show.showVersus}, {13, &show.wisdomAlt}, {14, &show.spinX},
                 {15, &show.spinY},      {16, &show.spinZ}};
    for (const Case& c : cases) {
        resetShow();
        Snapshot expected = snapshot();
        const uint8_t before = c.flag->load();
        onSyncEvent(nullptr, c.parameter);
        EXPECT_EQ(c.flag->load(), before ? 0 : 1) << int(c.parameter);
        c.flag->store(before);
        EXPECT_TRUE(snapshot() == expected) << int(c.parameter);
    }
}

TEST_F(ShowTest, TogglingAnyNonZeroValueClearsTheFlag)
{
    show.showVersus = 7;
    onSyncEvent(nullptr, 12);
    EXPECT_EQ(show.showVersus, 0);
    onSyncEvent(nullptr, 12);
    EXPECT_EQ(show.showVersus, 1);
    onSyncEvent(nullptr, 12);
    EXPECT_EQ(show.showVersus, 0);

    show.beatFlash = 200;
    onSyncEvent(nullptr, 10);
    EXPECT_EQ(show.beatFlash, 0);
}

TEST_F(ShowTest, FadeAndQuitOnlyEverSetTheirFlags)
{
    show.fadeActive = 1;
    onSyncEvent(nullptr, 17);
    EXPECT_EQ(show.fadeActive, 1);
    show.fadeActive = 0;
    onSyncEvent(nullptr, 17);
    EXPECT_EQ(show.fadeActive, 1);

    onSyncEvent(nullptr, 27);
    onSyncEvent(nullptr, 27);
    EXPECT_EQ(show.quitRequested, 1);
    // The handler itself does not end the show: the next tick does.
    EXPECT_EQ(std::strstr(callLog, "FMUSIC_StopSong"), nullptr);
}

TEST_F(ShowTest, TwoBeatsAddTwoAndFourTicksTakeOne)
{
    show.pulse = 0.5f;
    show.beatFlash = 1;
    onSyncEvent(nullptr, 10);
    onSyncEvent(nullptr, 10);
    EXPECT_EQ(show.pulse, 2.5f);
    EXPECT_EQ(show.beatFlash, 1);
    for (int i = 0; i < 4; ++i) {
        tickOnce();
    }
    EXPECT_EQ(show.pulse, 1.5f);
}

TEST_F(ShowTest, PulseDecaysToZeroAndRests)
{
    show.pulse = 1.0f;
    const float expected[] = {0.75f, 0.5f, 0.25f, 0.0f, 0.0f, 0.0f};
    for (const float value : expected) {
        tickOnce();
        EXPECT_EQ(show.pulse, value);
    }
}

TEST_F(ShowTest, TicksOnlyAfterMoreThanFiftyFiveMilliseconds)
{
    idleAfter(COUNTS_PER_TICK);
    EXPECT_EQ(show.tick, 40);
    EXPECT_EQ(glutStub.postRedisplay, 0);
    idleAfter(1);
    EXPECT_EQ(show.tick, 41);
    EXPECT_EQ(glutStub.postRedisplay, 1);

    // On the millisecond fallback a reading of exactly 55.0 waits as well.
    fakeClock.hasCounter = false;
    frameTimer = FrameTimer{};
    frameTimer.init();
    fakeClock.tickCount += 55;
    onIdle();
    EXPECT_EQ(show.tick, 41);
    fakeClock.tickCount += 1;
    onIdle();
    EXPECT_EQ(show.tick, 42);
    EXPECT_EQ(glutStub.postRedisplay, 2);
}

TEST_F(ShowTest, ALongStallGivesOneTickAndAFreshInterval)
{
    idleAfter(COUNTS_PER_SECOND / 2);  // 500 ms
    idleAfter(0);
    idleAfter(0);
    EXPECT_EQ(show.tick, 41);
    idleAfter(COUNTS_PER_TICK - 1);
    EXPECT_EQ(show.tick, 41);
    idleAfter(2);
    EXPECT_EQ(show.tick, 42);
}

TEST_F(ShowTest, FadeClimbsByFiveToTwoHundredFifty)
{
    onSyncEvent(nullptr, 17);
    for (int i = 0; i < 49; ++i) {
        tickOnce();
    }
    EXPECT_EQ(show.fadeLevel, 245);
    tickOnce();
    EXPECT_EQ(show.fadeLevel, 250);
    for (int i = 0; i < 5; ++i) {
        tickOnce();
    }
    EXPECT_EQ(show.fadeLevel, 250);

    show.fadeActive = 0;
    show.fadeLevel = 100;
    tickOnce();
    EXPECT_EQ(show.fadeLevel, 100);
}

TEST_F(ShowTest, RingsMoveOnlyInTheTunnelScene)
{
    initRings();
    for (int32_t scene = 0; scene <= 7; ++scene) {
        show.scene = scene;
        int32_t before[RING_COUNT];
        std::memcpy(before, ringDepths, sizeof before);
        tickOnce();
        const bool moved = std::memcmp(before, ringDepths, sizeof before) != 0;
        EXPECT_EQ(moved, scene == 5) << "scene " << scene;
    }
}

TEST_F(ShowTest, TickDrawsTickRandomFirstThenWalksTheSwarm)
{
    k3l::randState = 777;
    Particle start[PARTICLE_COUNT];
    std::memcpy(start, particles, sizeof start);

    tickOnce();

    k3l::randState = 777;
    EXPECT_EQ(show.tickRandom, k3l::rand());
    for (int i = 0; i < PARTICLE_COUNT; ++i) {
        const float dx = static_cast<float>((k3l::rand() % 3) * 0.5 - 0.5);
        const float dy = static_cast<float>((k3l::rand() % 3) * 0.5 - 0.5);
        EXPECT_EQ(particles[i].x, start[i].x + dx) << i;
        EXPECT_EQ(particles[i].y, start[i].y + dy) << i;
    }
    // Nothing else drew: the replay ends where the tick ended.
    const uint32_t replayed = k3l::randState;
    k3l::randState = 777;
    for (int i = 0; i < 1 + 2 * PARTICLE_COUNT; ++i) {
        k3l::rand();
    }
    EXPECT_EQ(k3l::randState, replayed);
}

TEST_F(ShowTest, QuitRequestEndsTheProcessAtTheNextTickBeforeARedisplay)
{
    song = recordedSong();
    onSyncEvent(nullptr, 27);
    EXPECT_EXIT(
        {
            std::atexit([] {
                std::fprintf(stderr, "calls:%s tick:%d<end>", callLog, show.tick.load());
            });
            tickOnce();
            std::fprintf(stderr, "returned");
        },
        ::testing::ExitedWithCode(0),
        "^calls:FMUSIC_StopSong\\(song\\);FMUSIC_FreeSong\\(song\\);FSOUND_Close;ShowCursor\\(TRUE\\); tick:41<end>");
    song = nullptr;
}

TEST_F(ShowTest, QuitWaitsForTheTick)
{
    onSyncEvent(nullptr, 27);
    idleAfter(COUNTS_PER_TICK);  // not yet a tick: the process goes on
    EXPECT_EQ(show.tick, 40);
}

TEST_F(ShowTest, ConcurrentBeatsAndDecaysLoseNoUpdate)
{
    // High enough that the decay never reaches zero while the beats come in.
    constexpr int BEATS = 20000;
    constexpr int TICKS = 20000;
    show.pulse = 100000.0f;
    std::thread music([] {
        for (int i = 0; i < BEATS; ++i) {
            onSyncEvent(nullptr, 10);
            onSyncEvent(nullptr, static_cast<unsigned char>(i % 5));
        }
    });
    for (int i = 0; i < TICKS; ++i) {
        tickOnce();
    }
    music.join();
    EXPECT_EQ(show.pulse, 100000.0f + BEATS * 1.0f - TICKS * 0.25f);
    // The last reset came from the music thread; afterwards only ticks counted.
    EXPECT_GE(show.tick, 0);
    EXPECT_LE(show.tick, TICKS);
}

}  // namespace
