// The random sequence, the frame timer, the sync events and the animation tick, on a clock set by hand.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <set>
#include <string>

#include "app/demo.h"
#include "app/frame_timer.h"
#include "gfx/particles.h"
#include "gfx/projection.h"
#include "gfx/rings.h"
#include "offline/carried.h"
#include "shared/fnv.h"
#include "shared/random.h"
#include "support/stand_ins.h"
#include "sync/music.h"
#include "sync/show_state.h"

namespace {

constexpr int64_t COUNTS_PER_SECOND = 1000000;  // a microsecond counter
constexpr int64_t COUNTS_PER_TICK = 55000;       // reads a hair below 55 ms: the float period

TEST(Random, TheClassicSequenceWhoseFirstNumberStaticInitialisationTook)
{
    // Before main, tickRandom took the sequence's first value and nothing else drew.
    EXPECT_EQ(show.tickRandom, 41);
    EXPECT_EQ(k3l::randState, 1u * 214013u + 2531011u);
    const uint32_t saved = k3l::randState;
    k3l::randState = 1;
    for (const int expected : {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464}) {
        EXPECT_EQ(k3l::rand(), expected);
    }
    k3l::randState = 0xFFFFFFFFu;  // across the state's wrap, still 15 bits
    EXPECT_EQ(k3l::rand(), 35);
    k3l::randState = saved;
}

TEST(Fnv1a64, GivesThePublishedTestVectorsAndContinuesAcrossPieces)
{
    const auto hashOf = [](const char* text) { return k3l::fnv1a64(text, std::strlen(text)); };
    EXPECT_EQ(hashOf(""), 0xcbf29ce484222325ull);
    EXPECT_EQ(hashOf("a"), 0xaf63dc4c8601ec8cull);
    EXPECT_EQ(hashOf("foobar"), 0x85944171f73967e8ull);
    EXPECT_EQ(hashOf("chongo was here!\n"), 0x46810940eff5f915ull);
    // A hash carried from one piece into the next equals the hash of the whole.
    EXPECT_EQ(k3l::fnv1a64("bar", 3, hashOf("foo")), hashOf("foobar"));
}

TEST(FrameTimer, ReadsTheCounterWithAFloatPeriodOrTheTickCountForGood)
{
    fakeClock = FakeClock{};
    FrameTimer timer;
    fakeClock.counter = 123456789;
    timer.init();
    EXPECT_EQ(timer.secondsPerCount, static_cast<float>(1.0 / 1000000.0));
    fakeClock.counter += 5000;
    timer.reset();
    fakeClock.counter += 1500;
    EXPECT_NEAR(timer.elapsedMs(), 1.5, 1e-6);
    fakeClock.counter -= 2000;  // a counter below the start reads negative
    EXPECT_LT(timer.elapsedMs(), 0.0);

    // Without a counter: the tick count, whose difference survives its wrap, for good.
    fakeClock.hasCounter = false;
    fakeClock.tickCount = 4294967290u;  // six below 2^32
    timer = FrameTimer{};
    timer.init();
    fakeClock.tickCount = 60;
    EXPECT_EQ(timer.elapsedMs(), 66.0);
    fakeClock.hasCounter = true;
    timer.reset();
    fakeClock.tickCount = 115;
    EXPECT_EQ(timer.elapsedMs(), 55.0);
}

// The show state's fields by their place in ShowValues.
enum Field { SCENE, TICK, PULSE, BEAT_FLASH, SHOW_VERSUS, WISDOM_ALT, SPIN_X, SPIN_Y, SPIN_Z, FADE_ACTIVE,
             QUIT_REQUESTED };

class ShowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A show in the middle of scene 2, some flags on (two with values other than 1), so that changes show.
        putShowValues(show, ShowValues{2, 40, 0.5f, 200, 7, 0, 1, 0, 1, 0, 0, 1234, 0, 1, 3});
        fakeClock = FakeClock{};
        fakeClock.frequency = COUNTS_PER_SECOND;
        frameTimer = FrameTimer{};
        frameTimer.init();
        redisplays = 0;
        clearCallLog();
        buildDegreeTables();
        initParticles();
        initRings();
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

TEST_F(ShowTest, EachEventChangesItsOwnFieldsAndNothingElse)
{
    const ShowValues rest = showValues(show);
    for (int parameter = 0; parameter < 256; ++parameter) {
        SetUp();
        onSyncEvent(nullptr, static_cast<unsigned char>(parameter));
        ShowValues expected = rest;
        if (parameter <= 7) {
            std::get<SCENE>(expected) = parameter;
            std::get<TICK>(expected) = parameter <= 4 ? 0 : 40;
        } else if (parameter == 10) {  // the beat adds to the pulse; toggles clear any non-zero value
            std::get<PULSE>(expected) = 1.5f;
            std::get<BEAT_FLASH>(expected) = 0;
        } else if (parameter == 12) {
            std::get<SHOW_VERSUS>(expected) = 0;
        } else if (parameter == 13) {
            std::get<WISDOM_ALT>(expected) = 1;
        } else if (parameter == 14) {
            std::get<SPIN_X>(expected) = 0;
        } else if (parameter == 15) {
            std::get<SPIN_Y>(expected) = 1;
        } else if (parameter == 16) {
            std::get<SPIN_Z>(expected) = 0;
        } else if (parameter == 17) {
            std::get<FADE_ACTIVE>(expected) = 1;
        } else if (parameter == 27) {
            std::get<QUIT_REQUESTED>(expected) = 1;
        }
        EXPECT_TRUE(showValues(show) == expected) << "Z" << std::hex << parameter;
        if (parameter == 17 || parameter == 27) {  // the fade and the quit only set
            onSyncEvent(nullptr, static_cast<unsigned char>(parameter));
            EXPECT_TRUE(showValues(show) == expected) << "Z" << std::hex << parameter << " twice";
        }
    }
    // The handler only sets the flag: the show goes on until the next tick.
    EXPECT_STREQ(callLog, "");
}

TEST_F(ShowTest, TicksOnlyAfterMoreThanFiftyFiveMillisecondsAndNeverCatchUp)
{
    idleAfter(COUNTS_PER_TICK);
    EXPECT_EQ(show.tick, 40);
    EXPECT_EQ(redisplays, 0);
    idleAfter(1);
    EXPECT_EQ(show.tick, 41);
    EXPECT_EQ(redisplays, 1);

    // After a 500 ms stall: one tick, and the next interval starts then.
    idleAfter(COUNTS_PER_SECOND / 2);
    idleAfter(0);
    EXPECT_EQ(show.tick, 42);
    idleAfter(COUNTS_PER_TICK - 1);
    EXPECT_EQ(show.tick, 42);
    idleAfter(2);
    EXPECT_EQ(show.tick, 43);

    // On the millisecond fallback a reading of exactly 55 waits as well.
    fakeClock.hasCounter = false;
    frameTimer = FrameTimer{};
    frameTimer.init();
    fakeClock.tickCount += 55;
    onIdle();
    EXPECT_EQ(show.tick, 43);
    fakeClock.tickCount += 1;
    onIdle();
    EXPECT_EQ(show.tick, 44);
}

TEST_F(ShowTest, PulseDecaysToRestAndTheFadeClimbsToTwoHundredFifty)
{
    show.pulse = 1.0f;
    for (const float value : {0.75f, 0.5f, 0.25f, 0.0f, 0.0f}) {
        tickOnce();
        EXPECT_EQ(show.pulse, value);
    }
    EXPECT_EQ(show.fadeLevel, 0);  // no fade without the flag

    onSyncEvent(nullptr, 17);
    for (int i = 0; i < 49; ++i) {
        tickOnce();
    }
    EXPECT_EQ(show.fadeLevel, 245);
    tickOnce();
    EXPECT_EQ(show.fadeLevel, 250);
    tickOnce();
    EXPECT_EQ(show.fadeLevel, 250);
}

TEST_F(ShowTest, RingsMoveOnlyInTheTunnelScene)
{
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
    Particle ticked[PARTICLE_COUNT];
    std::memcpy(ticked, particles, sizeof ticked);
    const uint32_t after = k3l::randState;

    // The same by hand: one draw for tickRandom, then one walk step, and nothing else.
    std::memcpy(particles, start, sizeof start);
    k3l::randState = 777;
    EXPECT_EQ(show.tickRandom, k3l::rand());
    stepParticles();
    EXPECT_EQ(k3l::randState, after);
    EXPECT_EQ(std::memcmp(particles, ticked, sizeof ticked), 0);
    EXPECT_NE(std::memcmp(particles, start, sizeof start), 0);
}

TEST_F(ShowTest, QuitRequestEndsTheProcessAtTheNextTickBeforeARedisplay)
{
    song = recordedSong();
    onSyncEvent(nullptr, 27);
    idleAfter(COUNTS_PER_TICK);  // not yet a tick: the process goes on
    EXPECT_EQ(show.tick, 40);
    EXPECT_EXIT(
        {
            std::atexit([] { std::fprintf(stderr, "calls:%s tick:%d<end>", callLog, show.tick.load()); });
            idleAfter(1);
            std::fprintf(stderr, "returned");
        },
        ::testing::ExitedWithCode(0),
        "^calls:FMUSIC_StopSong\\(song\\);FMUSIC_FreeSong\\(song\\);FSOUND_Close;ShowCursor\\(TRUE\\); tick:41<end>");
    song = nullptr;
    show.quitRequested = 0;
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
        }
    });
    for (int i = 0; i < TICKS; ++i) {
        tickOnce();
    }
    music.join();
    EXPECT_EQ(show.pulse, 100000.0f + BEATS * 1.0f - TICKS * 0.25f);
}

// Every variable the show's library defines carries from one moment to the next or is set up
// once while it loads: a new one (a static in a scene) must join one of the two lists.
TEST(CarriedState, CoversEveryVariableOfTheShow)
{
    std::set<std::string> listed(std::begin(CARRIED_NAMES), std::end(CARRIED_NAMES));
    listed.insert(std::begin(LOADED_ONCE), std::end(LOADED_ONCE));
    // Each writable variable's name from objdump's symbol table ("address flags section<TAB>size
    // name"): constants (.rodata, .data.rel.ro), section names and AddressSanitizer's own markers
    // left out, the anonymous namespace taken off.
    FILE* symbols = popen("objdump -t -C " K3L_SHOW_LIBRARY " | awk -F '\\t' 'NF == 2 {"
                          " n = split($1, head, \" \"); name = substr($2, index($2, \" \") + 1);"
                          " if (head[n] !~ /^[.]t?(data|bss)/ || head[n] ~ /^[.]data[.]rel[.]ro/) next;"
                          " if (name ~ /^([.]|__odr_asan)/) next;"
                          " sub(/^[(]anonymous namespace[)]::/, \"\", name); print name }'",
                          "r");
    ASSERT_NE(symbols, nullptr);
    bool sawShow = false;
    for (char line[1024]; std::fgets(line, sizeof line, symbols) != nullptr;) {
        const std::string name(line, std::strcspn(line, "\n"));
        sawShow = sawShow || name == "show";
        EXPECT_EQ(listed.count(name), 1u) << name << " is neither carried (offline/carried.h) nor loaded once";
    }
    EXPECT_EQ(pclose(symbols), 0);
    EXPECT_TRUE(sawShow) << "nm listed no variables of " K3L_SHOW_LIBRARY;
}

}  // namespace
